#include "registry/RegDataFile.h"

#include "fs/FolderRemoval.h"
#include "platform/afxfile.h"
#include "platform/afxwin.h"
#include "res/resource.h"

std::string ExtractRegDataFile()
{
    HMODULE module = ::GetModuleHandleA(nullptr);
    HRSRC info = ::FindResourceExA(module, REGDATA_TYPE_NAME, MAKEINTRESOURCEA(IDR_REGDATA),
                                   MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    if (info == nullptr)
        return std::string();
    HGLOBAL loaded = ::LoadResource(module, info);
    const void* bytes = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (bytes == nullptr)
        return std::string();
    DWORD size = ::SizeofResource(module, info);

    char folder[MAX_PATH + 1] = {};
    DWORD n = ::GetTempPathA(sizeof folder, folder);
    if (n == 0 || n >= sizeof folder)
        return std::string();
    // GetTempPathA ends the folder in a backslash: the name follows directly.
    std::string path = std::string(folder) + AfxLoadString(IDS_REGDATA_FILE);

    DeleteFileForce(path.c_str());   // an earlier copy, read-only or not
    CFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive))
        return std::string();
    try {
        file.Write(bytes, size);
        file.Close();
    } catch (const CFileException&) {
        // Never leave a cut-off data file behind.
        file.Abort();
        ::DeleteFileA(path.c_str());
        throw;
    }
    return path;
}
