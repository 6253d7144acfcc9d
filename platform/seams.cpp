#include "platform/seams.h"

namespace seams {

void (*beforeEntryOpen)(const wchar_t* folder, const wchar_t* name) = nullptr;

bool (*heldAsLink)(HANDLE handle) = nullptr;

void (*afterRegDataWritten)(const char* path) = nullptr;

namespace {
using SetFileInformationFn = LONG(NTAPI*)(HANDLE, void*, void*, ULONG, int);
SetFileInformationFn SystemSetFileInformation()
{
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr ? reinterpret_cast<SetFileInformationFn>(::GetProcAddress(ntdll, "NtSetInformationFile"))
                            : nullptr;
}
}  // namespace

LONG(NTAPI* setFileInformation)(HANDLE, void*, void*, ULONG, int) = SystemSetFileInformation();

BOOL(WINAPI* writeFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) = &::WriteFile;
BOOL(WINAPI* getTokenInformation)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD) = &::GetTokenInformation;

}  // namespace seams
