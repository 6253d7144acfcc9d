#include "platform/seams.h"

namespace seams {

void (*beforeEntryOpen)(const std::wstring& folder, const std::wstring& name) = nullptr;

void (*afterRegDataWritten)(const std::string& path) = nullptr;

}  // namespace seams
