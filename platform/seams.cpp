#include "platform/seams.h"

namespace seams {

void (*beforeEntryOpen)(const wchar_t* folder, const wchar_t* name) = nullptr;

void (*afterRegDataWritten)(const char* path) = nullptr;

}  // namespace seams
