#include "Staging.h"

#include "support/RegFile.h"
#include "support/RegScratch.h"
#include "support/TestSupport.h"

#include <windows.h>
#include <shlobj.h>

#include <fstream>

namespace {

const char kDecoySibling[] = "C:\\Program Files\\Velnor Tools\\";

std::string ShellFolder(int csidl)
{
    char path[MAX_PATH + 1] = {};
    SHGetSpecialFolderPathA(nullptr, path, csidl, TRUE);
    std::string s = path;
    if (!s.empty() && s.back() != '\\')
        s += '\\';
    return s;
}

bool MakeDirs(const std::string& path)
{
    // Creates each level; path ends in a backslash. Walks double-byte characters as units.
    for (size_t i = 3; i < path.size();) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (IsDBCSLeadByte(c) && i + 1 < path.size()) {
            i += 2;
            continue;
        }
        if (c == '\\') {
            std::string part = path.substr(0, i);
            if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
        }
        ++i;
    }
    return true;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes, bool readOnly)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    if (readOnly)
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    return written == bytes.size();
}

void RemoveTree(const std::string& folder)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = folder + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full + "\\");
            } else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    std::string self = folder.substr(0, folder.size() - 1);
    RemoveDirectoryA(self.c_str());
}

std::vector<RegFileSection> Sections()
{
    std::vector<RegFileSection> sections;
    std::string error;
    ParseRegFile(EmbeddedRegData(), sections, error);
    return sections;
}

void Snapshot(const std::string& root, const std::string& rel, FileTree& tree)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((root + rel + "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        bool ro = (fd.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree[rel + name + "\\"] = {-1, ro};
            Snapshot(root, rel + name + "\\", tree);
        } else {
            tree[rel + name] = {(static_cast<long long>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow, ro};
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

std::map<std::string, std::vector<RegTree>>& Remembered()
{
    static std::map<std::string, std::vector<RegTree>> states;
    return states;
}

}  // namespace

std::string UserProgramsFolder() { return ShellFolder(CSIDL_PROGRAMS); }
std::string CommonProgramsFolder() { return ShellFolder(CSIDL_COMMON_PROGRAMS); }
std::string StartMenuFolder() { return UserProgramsFolder() + "Velnor for QRX\\"; }

std::vector<std::string> InstalledFiles(const std::string& installDir)
{
    // Double-byte names whose second byte is 0x5C at several depths, read-only files,
    // nested folders.
    const char* rel[] = {
        "VqPhone.exe", "VqMail.exe", "VqSchedule.exe", "readme.txt",
        "ソフト\\", "ソフト\\設定.ini", "ソフト\\表示\\", "ソフト\\表示\\能力.dat", "ソフト\\表示\\十予\\", "ソフト\\表示\\十予\\データ.bin",
        "Data\\", "Data\\phonebook.db", "Data\\Backup\\", "Data\\Backup\\2026\\", "Data\\Backup\\2026\\mail.bak",
        "Help\\", "Help\\ヘルプ.chm",
    };
    std::vector<std::string> out;
    for (const char* r : rel)
        out.push_back(installDir + Sjis(r));
    return out;
}

bool StageInstallation(std::string& error, const std::string& installDir)
{
    if (!MakeDirs(installDir)) {
        error = "cannot create " + installDir;
        return false;
    }
    int n = 0;
    for (const std::string& p : InstalledFiles(installDir)) {
        bool ok = p.back() == '\\' ? MakeDirs(p) : WriteFileBytes(p, std::string(100 + 37 * n, 'v'), n % 3 == 0);
        ++n;
        if (!ok) {
            error = "cannot create " + Utf8(p);
            return false;
        }
    }
    const std::string menu = StartMenuFolder();
    if (!MakeDirs(menu) || !WriteFileBytes(menu + "Velnor for QRX.lnk", "L shortcut", false) ||
        !WriteFileBytes(menu + Sjis("アンインストール.lnk"), "L shortcut", true) ||
        !WriteFileBytes(menu + Sjis("ソフト表示.lnk"), "L shortcut", false)) {
        error = "cannot create the Start-menu folder " + menu;
        return false;
    }
    return StageSections(Sections(), error);
}

bool StageDecoys(std::string& error)
{
    bool ok = MakeDirs(kDecoySibling) && WriteFileBytes(std::string(kDecoySibling) + "keep.txt", "keep", false) &&
              MakeDirs(CommonProgramsFolder() + "Velnor for QRX\\") &&
              WriteFileBytes(CommonProgramsFolder() + "Velnor for QRX\\keep.lnk", "L", false) &&
              StageRegistryDecoys();
    if (!ok)
        error = "cannot create the decoys";
    return ok;
}

void RemoveDecoys()
{
    RemoveTree(kDecoySibling);
    RemoveTree(CommonProgramsFolder() + "Velnor for QRX\\");
    RemoveRegistryDecoys();
}

bool DecoysIntact()
{
    return GetFileAttributesA((std::string(kDecoySibling) + "keep.txt").c_str()) != INVALID_FILE_ATTRIBUTES &&
           GetFileAttributesA((CommonProgramsFolder() + "Velnor for QRX\\keep.lnk").c_str()) != INVALID_FILE_ATTRIBUTES &&
           RegistryDecoysIntact();
}

void RemoveInstallation()
{
    RemoveTree(kInstallDir);
    RemoveTree(StartMenuFolder());
    std::vector<RegFileSection> sections = Sections();
    for (auto it = sections.rbegin(); it != sections.rend(); ++it) {
        HKEY key;
        if (RegOpenKeyExA(it->root, it->subKey.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            continue;
        for (const RegFileValue& v : it->values)
            RegDeleteValueA(key, v.name.c_str());
        RegCloseKey(key);
        // Keys only the installation creates go; shared ones (with other values) stay.
        RegDeleteKeyA(it->root, it->subKey.c_str());
    }
}

FileTree SnapshotFiles(const std::string& folder)
{
    FileTree tree;
    Snapshot(folder, "", tree);
    return tree;
}

std::vector<std::string> DiffFiles(const FileTree& before, const FileTree& after)
{
    std::vector<std::string> out;
    for (const auto& [p, v] : before) {
        auto it = after.find(p);
        if (it == after.end())
            out.push_back("gone: " + Utf8(p));
        else if (it->second != v)
            out.push_back("changed: " + Utf8(p));
    }
    for (const auto& [p, v] : after)
        if (!before.count(p))
            out.push_back("added: " + Utf8(p));
    return out;
}

void RememberRegistry(const std::string& label) { Remembered()[label] = SnapshotFootprintTrees(); }

std::vector<std::string> RegistryDiffSince(const std::string& label)
{
    std::vector<std::string> out;
    for (const std::string& d : DiffFootprintTrees(Remembered()[label], SnapshotFootprintTrees()))
        out.push_back(Utf8(d));
    return out;
}

void SetRegistration(const char* name, const std::string& data, bool remove)
{
    if (remove) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, name);
            RegCloseKey(key);
        }
        return;
    }
    SetString(HKEY_LOCAL_MACHINE, kProductKey, name, data);
}

std::string Report()
{
    std::string out;
    auto line = [&](const std::string& what, bool present) { out += (present ? "  present  " : "  gone     ") + what + "\n"; };
    FileTree install = SnapshotFiles(kInstallDir);
    line(std::string("installation folder ") + kInstallDir + " (" + std::to_string(install.size()) + " entries)",
         GetFileAttributesA(kInstallDir) != INVALID_FILE_ATTRIBUTES);
    FileTree menu = SnapshotFiles(StartMenuFolder());
    line("Start-menu folder " + Utf8(StartMenuFolder()) + " (" + std::to_string(menu.size()) + " entries)",
         GetFileAttributesA(StartMenuFolder().c_str()) != INVALID_FILE_ATTRIBUTES);
    size_t keys = 0, keysLeft = 0, values = 0, valuesLeft = 0;
    for (const RegFileSection& s : Sections()) {
        ++keys;
        keysLeft += KeyExists(s.root, s.subKey) ? 1 : 0;
        for (const RegFileValue& v : s.values) {
            ++values;
            valuesLeft += ValueExists(s.root, s.subKey, v.name) ? 1 : 0;
        }
    }
    out += "  registry: " + std::to_string(keysLeft) + " of " + std::to_string(keys) + " listed keys and " +
           std::to_string(valuesLeft) + " of " + std::to_string(values) + " listed values present\n";
    out += "  decoys:\n";
    line(std::string("    sibling folder ") + kDecoySibling, GetFileAttributesA(kDecoySibling) != INVALID_FILE_ATTRIBUTES);
    line("    all-users Start-menu folder " + Utf8(CommonProgramsFolder()) + "Velnor for QRX\\",
         GetFileAttributesA((CommonProgramsFolder() + "Velnor for QRX\\keep.lnk").c_str()) != INVALID_FILE_ATTRIBUTES);
    line(std::string("    value \"") + kDecoyFolderValue + "\" in HKLM\\" + kFoldersKey,
         ValueExists(HKEY_LOCAL_MACHINE, kFoldersKey, kDecoyFolderValue));
    line(std::string("    key HKLM\\") + kDecoyProductKey, KeyExists(HKEY_LOCAL_MACHINE, kDecoyProductKey));
    line(std::string("    key HKCR\\") + kDecoyClassKey, KeyExists(HKEY_CLASSES_ROOT, kDecoyClassKey));
    return out;
}
