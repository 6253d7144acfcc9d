#include "platform/seams.h"

namespace seams {

void (*beforeEntryOpen)(const std::wstring& folder, const std::wstring& name) = nullptr;

}  // namespace seams
