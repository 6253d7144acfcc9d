#include "platform/seams.h"

namespace seams {

void (*beforeEntryOpen)(const wchar_t* folder, const wchar_t* name) = nullptr;

void (*afterRegDataWritten)(const std::string& path) = nullptr;

}  // namespace seams
