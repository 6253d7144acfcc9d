#include "fs/SafeFolder.h"

#include "fs/PathUtil.h"
#include "fs/WidePath.h"
#include "platform/UserSid.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <knownfolders.h>

// The two identifiers of the known-folder manager, here rather than from libuuid, which
// would bring in every identifier it has.
static const CLSID kKnownFolderManager = {0x4df0c730, 0xdf9d, 0x4ae3, {0x91, 0x53, 0xaa, 0x6b, 0x82, 0xe9, 0x79, 0x5a}};
static const IID kIKnownFolderManager = {0x8be2d872, 0x86aa, 0x4d47, {0xb7, 0x76, 0x32, 0xcc, 0xa4, 0x0c, 0x70, 0x18}};

namespace {

// Upper-cases single-byte ASCII letters and turns '/' into '\', leaving double-byte
// characters (whose trail byte may look like either) alone.
std::string Fold(const std::string& path)
{
    std::string out;
    out.reserve(path.size());
    for (size_t i = 0; i < path.size();) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (::IsDBCSLeadByte(c) && i + 1 < path.size()) {
            out.append(path, i, 2);
            i += 2;
            continue;
        }
        if (c >= 'a' && c <= 'z')
            c = static_cast<unsigned char>(c - 'a' + 'A');
        if (c == '/')
            c = '\\';
        out += static_cast<char>(c);
        ++i;
    }
    return out;
}

// Splits a folded path into its components at single-byte backslashes.
std::vector<std::string> Components(const std::string& folded, size_t from)
{
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = from; i < folded.size();) {
        unsigned char c = static_cast<unsigned char>(folded[i]);
        size_t width = (::IsDBCSLeadByte(c) && i + 1 < folded.size()) ? 2 : 1;
        if (width == 1 && c == '\\') {
            parts.push_back(part);
            part.clear();
        } else {
            part.append(folded, i, width);
        }
        i += width;
    }
    parts.push_back(part);
    return parts;
}

std::string LongForm(const std::string& path)
{
    char buffer[MAX_PATH * 2];
    DWORD n = ::GetLongPathNameA(path.c_str(), buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer)
        return path;
    return buffer;
}

// "C:\A\B\" and "C:\A\B" -> "C:\A\B\", folded; the components checked on the way.
bool Normalise(const std::string& raw, std::string& out)
{
    std::string folded = Fold(raw);
    size_t rootEnd;   // index where the first component below the drive or share starts
    size_t minComponents;
    if (folded.size() >= 3 && folded[0] >= 'A' && folded[0] <= 'Z' && folded[1] == ':' && folded[2] == '\\') {
        rootEnd = 3;
        minComponents = 1;
    } else if (folded.size() >= 2 && folded[0] == '\\' && folded[1] == '\\') {
        rootEnd = 2;          // server and share are the first two components
        minComponents = 3;
    } else {
        return false;         // relative, drive-relative ("C:x") or rooted without a drive
    }
    std::vector<std::string> parts = Components(folded, rootEnd);
    if (!parts.empty() && parts.back().empty())
        parts.pop_back();     // the trailing backslash
    if (parts.size() < minComponents)
        return false;
    for (const std::string& p : parts) {
        if (p.empty() || p == "." || p == "..")
            return false;     // doubled separators, "." and ".."
        // Trail bytes are 0x40 and above, so these single-byte tests cannot hit one.
        char last = p.back();
        if (last == '.' || last == ' ')
            return false;     // Windows drops trailing dots and blanks: "Windows." is Windows
        if (p.find_first_of("*?\"<>:") != std::string::npos)
            return false;     // wildcards and stream names
    }
    if (rootEnd == 2 && (parts[0] == "?" || parts[0] == "."))
        return false;         // \\?\ and \\.\ device paths
    out = folded.substr(0, rootEnd);
    for (const std::string& p : parts)
        out += p + "\\";
    return true;
}

}  // namespace

std::vector<std::string> WellKnownFolders(bool withTemp)
{
    static const int kCsidl[] = {
        CSIDL_WINDOWS,          CSIDL_SYSTEM,          CSIDL_SYSTEMX86,
        CSIDL_PROGRAM_FILES,    CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON,
        CSIDL_PROGRAM_FILES_COMMONX86, CSIDL_COMMON_APPDATA, CSIDL_PROFILE,
        CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_PERSONAL,
        CSIDL_COMMON_DOCUMENTS, CSIDL_APPDATA,         CSIDL_LOCAL_APPDATA,
        CSIDL_STARTMENU,        CSIDL_COMMON_STARTMENU, CSIDL_PROGRAMS,
        CSIDL_COMMON_PROGRAMS,
    };
    std::vector<std::string> folders;
    char path[MAX_PATH + 1];
    for (int csidl : kCsidl) {
        path[0] = '\0';
        if (SUCCEEDED(::SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_DONT_VERIFY, nullptr, SHGFP_TYPE_CURRENT, path)) &&
            path[0] != '\0')
            folders.push_back(AddBackslash(path));
    }
    // The 64-bit Program Files folders, which a 32-bit process is not shown by the CSIDLs.
    for (const char* var : {"ProgramW6432", "CommonProgramW6432", "ProgramFiles", "ProgramFiles(x86)", "SystemRoot",
                            "windir", "USERPROFILE", "ALLUSERSPROFILE", "ProgramData", "PUBLIC"}) {
        DWORD n = ::GetEnvironmentVariableA(var, path, sizeof path);
        if (n != 0 && n < sizeof path)
            folders.push_back(AddBackslash(path));
    }
    // The profiles folder: the parent of the user's profile.
    if (SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, path))) {
        std::string profile = path;
        int slash = ReverseFindChar(profile.c_str(), '\\');
        if (slash > 0)
            folders.push_back(AddBackslash(profile.substr(0, static_cast<size_t>(slash))));
    }
    DWORD n = withTemp ? ::GetTempPathA(sizeof path, path) : 0;
    if (n != 0 && n < sizeof path)
        folders.push_back(AddBackslash(path));
    return folders;
}

bool IsRemovableFolder(const std::string& folder, const std::vector<std::string>& wellKnown)
{
    std::string candidate;
    if (!Normalise(folder, candidate))
        return false;
    std::string expanded;
    if (!Normalise(LongForm(folder), expanded))
        return false;
    for (const std::string& known : wellKnown) {
        for (const std::string& form : {known, LongForm(known)}) {
            std::string k;
            if (!Normalise(form, k)) {
                // A drive root or share among the well-known folders: nothing at or above
                // it can be a candidate anyway.
                continue;
            }
            // `c` is `k` or an ancestor of it when `k` starts with `c`: both end in a
            // backslash character, so the match ends on a character boundary.
            for (const std::string& c : {candidate, expanded}) {
                if (k.compare(0, c.size(), c) == 0)
                    return false;
            }
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Folders judged by what they are.
//
// The tool runs elevated, and three of the folders it works in are named by something it
// does not control: the registered installation folder (a registry value), the Start-menu
// programs folder and the temporary folder (the user's own settings, which any program
// of the user may change without elevation). Whatever they name, the folder acted on must
// be, once resolved (every link, junction and drive alias on the way seen through):
//   - on a volume of its own, not a share, a substituted or a network drive;
//   - not a volume's root, not the Windows folder nor anything in it;
//   - not the profiles folder nor a folder directly in it (every one of those is someone's
//     profile, whatever the system's lists say: Default, a removed account's leftover);
//   - not a profile, a known folder or a classic special folder of the system, nor a
//     folder that holds one (the lists are the system's own, read at run time);
// and each caller adds what it must be reached as (see the three Judge... functions).
//
// Under Wine 8 (measured): GetFinalPathNameByHandleW resolves links inside a drive
// (C:\users\All Users\Microsoft gives \\?\C:\ProgramData\Microsoft), but not a drive
// letter that stands for a folder (a dosdevices link S: -> C:\users\Public gives
// \\?\S:\Documents; once such a drive exists, C:\users\Public\Documents gives that too).
// Such a drive is a volume of its own to every call that asks (QueryDosDevice, volume
// name, serial); only the identity of its folders (volume serial and file index) shows
// that S:\ and C:\users\Public are one folder. On Windows a substituted drive answers
// QueryDosDevice with \??\..., a mapped one is DRIVE_REMOTE.

namespace {

struct Identity {
    DWORD volume = 0;
    ULONGLONG index = 0;
    bool valid = false;
    bool operator==(const Identity& o) const { return valid && o.valid && volume == o.volume && index == o.index; }
};

struct HeldFolder {
    WString spelled;    // C:\x\y, no trailing separator
    WString resolved;   // the same as the system resolves it
    Identity id;
};

// `inner` is `outer` or lies below it.
bool WithinW(const WString& inner, const WString& outer)
{
    if (outer.empty() || inner.size() < outer.size())
        return false;
    if (!SameText(inner.substr(0, outer.size()), outer))
        return false;
    return inner.size() == outer.size() || outer.back() == L'\\' || inner[outer.size()] == L'\\';
}

// The folder that holds `path` (no trailing separator); empty for a drive's top folder.
WString ParentOf(const WString& path)
{
    const size_t slash = path.rfind(L'\\');
    if (slash == WString::npos || path.size() <= 3)
        return WString();
    return slash == 2 ? path.substr(0, 3) : path.substr(0, slash);
}

// What `handle` holds: identity, resolved path, attributes. False when any is unknown.
bool Describe(HANDLE handle, HeldFolder& f, DWORD& attributes)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (::GetFileInformationByHandle(handle, &info)) {
        attributes = info.dwFileAttributes;
        f.id.volume = info.dwVolumeSerialNumber;
        f.id.index = (ULONGLONG(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        f.id.valid = true;
    }
    f.resolved = ResolvedPath(handle);
    return f.id.valid && !f.resolved.empty();
}

// Opens `path` as it stands (a link itself, not its target, where the system can).
// `exists` tells a missing folder from one that cannot be opened.
bool Inspect(const WString& path, HeldFolder& f, DWORD& attributes, bool& exists)
{
    f.spelled = path;
    HANDLE h = ::CreateFileW(LongPathForm(path).c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = ::GetLastError();
        exists = !(e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_NAME ||
                   e == ERROR_BAD_NETPATH || e == ERROR_BAD_NET_NAME);
        return false;
    }
    exists = true;
    const bool described = Describe(h, f, attributes);
    ::CloseHandle(h);
    return described;
}

// A folder of the system's lists, resolved where it exists, else as spelled.
HeldFolder Listed(const WString& full)
{
    HeldFolder f;
    DWORD attributes = 0;
    bool exists = false;
    if (!Inspect(full, f, attributes, exists)) {
        f.resolved = full;   // compared by its spelling only
        f.id = Identity();
    }
    return f;
}

// A path as the system's own lists record it, with the system's own folders put in for
// %SystemDrive%, %SystemRoot% and %windir%. Those are taken from the system, not from
// this process's environment, which the user sets. Empty when anything else would need
// expanding.
WString ExpandFromSystem(const WString& path)
{
    wchar_t windows[MAX_PATH + 1];
    const UINT n = ::GetSystemWindowsDirectoryW(windows, MAX_PATH + 1);
    if (n < 3 || n > MAX_PATH)
        return WString();
    const WString root = windows;
    const struct {
        const wchar_t* name;
        WString value;
    } vars[] = {{L"%SystemDrive%", root.substr(0, 2)}, {L"%SystemRoot%", root}, {L"%windir%", root}};
    WString out;
    for (size_t i = 0; i < path.size();) {
        if (path[i] != L'%') {
            out += path[i++];
            continue;
        }
        bool known = false;
        for (const auto& v : vars) {
            const WString name = v.name;
            if (path.size() - i >= name.size() && SameText(path.substr(i, name.size()), name)) {
                out += v.value;
                i += name.size();
                known = true;
                break;
            }
        }
        if (!known)
            return WString();
    }
    return out;
}

void AddProtected(std::vector<HeldFolder>& out, const WString& path)
{
    if (path.empty())
        return;
    // Both expansions where they differ: a folder protected once too often costs nothing.
    wchar_t expanded[32768];
    const DWORD n = ::ExpandEnvironmentStringsW(path.c_str(), expanded, 32768);
    const WString system = ExpandFromSystem(path);
    const WString process = n > 0 && n <= 32768 ? WString(expanded) : path;
    for (const WString& form : {system, SameText(process, system) ? WString() : process}) {
        const WString full = form.empty() ? WString() : FullPathW(form);
        if (!full.empty())
            out.push_back(Listed(full));
    }
}

WString RegText(HKEY key, const wchar_t* sub, const wchar_t* name)
{
    wchar_t data[32768];
    DWORD size = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegGetValueW(key, sub, name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type, data, &size) !=
        ERROR_SUCCESS)
        return WString();
    data[size / sizeof(wchar_t)] = L'\0';
    return data;
}

const wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

// A folder of the machine's profile list, expanded as the system does, full.
WString ProfileListFolder(const wchar_t* sub, const wchar_t* name)
{
    const WString expanded = ExpandFromSystem(RegText(HKEY_LOCAL_MACHINE, sub, name));
    return expanded.empty() ? WString() : FullPathW(expanded);
}

// The folders a judged folder may not be, hold, or lie directly in (the profiles folder),
// and the Windows folder it may not lie in: gathered from the system once per judgement.
struct SystemFolders {
    std::vector<HeldFolder> guarded;    // profiles, known and special folders
    std::vector<HeldFolder> profiles;   // the profiles folder(s): nothing directly in them
    HeldFolder windows;

    explicit SystemFolders(const std::vector<std::string>& wellKnown)
    {
        for (const wchar_t* name : {L"ProfilesDirectory", L"Default", L"Public", L"AllUsersProfile"})
            AddProtected(guarded, RegText(HKEY_LOCAL_MACHINE, kProfileList, name));
        HKEY list;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kProfileList, 0, KEY_READ, &list) == ERROR_SUCCESS) {
            wchar_t sid[256];
            for (DWORD i = 0;; ++i) {
                DWORD len = 256;
                if (::RegEnumKeyExW(list, i, sid, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                    break;
                const WString profile = RegText(list, sid, L"ProfileImagePath");
                AddProtected(guarded, profile);
                // Where the profiles really are, should ProfilesDirectory say otherwise.
                const WString parent = ParentOf(ExpandFromSystem(profile));
                if (!parent.empty())
                    profiles.push_back(Listed(FullPathW(parent)));
            }
            ::RegCloseKey(list);
        }
        const WString directory = ProfileListFolder(kProfileList, L"ProfilesDirectory");
        if (!directory.empty())
            profiles.push_back(Listed(directory));
        HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        IKnownFolderManager* manager = nullptr;
        if (SUCCEEDED(::CoCreateInstance(kKnownFolderManager, nullptr, CLSCTX_INPROC_SERVER, kIKnownFolderManager,
                                         reinterpret_cast<void**>(&manager)))) {
            KNOWNFOLDERID* ids = nullptr;
            UINT count = 0;
            if (SUCCEEDED(manager->GetFolderIds(&ids, &count))) {
                for (UINT i = 0; i < count; ++i) {
                    PWSTR path = nullptr;
                    if (SUCCEEDED(::SHGetKnownFolderPath(ids[i], KF_FLAG_DONT_VERIFY, nullptr, &path)) &&
                        path != nullptr)
                        AddProtected(guarded, path);
                    ::CoTaskMemFree(path);
                }
                ::CoTaskMemFree(ids);
            }
            manager->Release();
        }
        if (SUCCEEDED(init))
            ::CoUninitialize();
        for (const std::string& known : wellKnown)
            AddProtected(guarded, ToWide(known));
        wchar_t path[MAX_PATH + 1];
        const UINT n = ::GetSystemWindowsDirectoryW(path, MAX_PATH + 1);
        windows = Listed(n > 0 && n <= MAX_PATH ? FullPathW(path) : WString());
    }
};

bool OnAVolumeOfItsOwn(const WString& path)
{
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\')
        return false;   // a share, or nothing the system resolved to a drive
    const WString drive = path.substr(0, 2);
    wchar_t target[1024] = {};
    const UINT type = ::GetDriveTypeW((drive + L"\\").c_str());
    if (::QueryDosDeviceW(drive.c_str(), target, 1024) == 0)
        return false;
    const WString device = target;
    return device.compare(0, 8, L"\\Device\\") == 0 && device.compare(0, 11, L"\\Device\\Mup") != 0 &&
           device.find(L"Redirector") == WString::npos && (type == DRIVE_FIXED || type == DRIVE_REMOVABLE);
}

// The judgement every caller shares, of a folder already described (`candidate`: its
// resolved path and identity; its spelling as the caller reached it).
FolderVerdict JudgeDescribed(const HeldFolder& candidate, const SystemFolders& system)
{
    const WString& resolved = candidate.resolved;
    if (!OnAVolumeOfItsOwn(resolved) || !OnAVolumeOfItsOwn(candidate.spelled) || resolved.size() <= 3)
        return FolderVerdict::Refused;   // a share, a substituted or network drive, a volume's root
    const HeldFolder& windows = system.windows;
    if (WithinW(resolved, windows.resolved) || WithinW(candidate.spelled, windows.spelled))
        return FolderVerdict::Refused;
    for (const HeldFolder& p : system.profiles) {
        for (const WString& form : {resolved, candidate.spelled}) {
            const WString parent = ParentOf(form);
            if (SameText(form, p.resolved) || SameText(form, p.spelled) || SameText(parent, p.resolved) ||
                SameText(parent, p.spelled))
                return FolderVerdict::Refused;   // the profiles folder, or someone's profile
        }
    }
    for (const HeldFolder& g : system.guarded) {
        if (WithinW(g.resolved, resolved) || WithinW(g.spelled, candidate.spelled) || g.id == candidate.id)
            return FolderVerdict::Refused;   // is, or holds, a protected folder
    }
    // Every folder on the way down, by identity: one that is a protected folder or the
    // Windows folder under another name is an alias of it (a drive that stands for a
    // folder, under Wine seen only this way).
    for (size_t at = 2; at != WString::npos; at = resolved.find(L'\\', at + 1)) {
        const WString prefix = at == 2 ? resolved.substr(0, 3) : resolved.substr(0, at);
        HeldFolder step;
        DWORD a = 0;
        bool e = false;
        if (!Inspect(prefix, step, a, e))
            return FolderVerdict::Refused;
        if (step.id == windows.id && !SameText(prefix, windows.spelled) && !SameText(prefix, windows.resolved))
            return FolderVerdict::Refused;
        for (const HeldFolder& g : system.guarded)
            if (step.id == g.id && !SameText(prefix, g.spelled) && !SameText(prefix, g.resolved))
                return FolderVerdict::Refused;
    }
    return FolderVerdict::Removable;
}

}  // namespace

FolderVerdict JudgeRegisteredFolder(const std::string& folder)
{
    const WString loose = FullPathW(ToWide(folder));
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    HeldFolder candidate;
    bool exists = false;
    if (loose.empty())
        return FolderVerdict::Missing;
    const bool opened = Inspect(loose, candidate, attributes, exists);
    if (!exists || (opened && !(attributes & FILE_ATTRIBUTE_DIRECTORY)))
        return FolderVerdict::Missing;   // no folder there: nothing to remove, nothing to report
    const std::vector<std::string> wellKnown = WellKnownFolders();
    if (!opened || !IsRemovableFolder(folder, wellKnown))
        return FolderVerdict::Refused;
    // The path exactly as spelled (short names are the folder's own other names): no best
    // fit, no link at any level, no share.
    WString wide;
    const WString exact = ToWideExactly(folder, wide) ? FullPathW(wide) : WString();
    if (exact.empty() || !SameText(exact, loose) || exact.compare(0, 2, L"\\\\") == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !IsResolvedAs(candidate.resolved, exact))
        return FolderVerdict::Refused;
    candidate.spelled = LongNames(exact);
    return JudgeDescribed(candidate, SystemFolders(wellKnown));
}

WString OwnProfileFolder()
{
    const WString sid = CurrentUserSid();
    if (sid.empty())
        return WString();
    return ProfileListFolder((WString(kProfileList) + L"\\" + sid).c_str(), L"ProfileImagePath");
}

FolderVerdict JudgeStartMenuFolder(const WString& programs, const WString& name, const WString& profile,
                                   WString& removeBy)
{
    removeBy.clear();
    const WString programsFull = programs.empty() ? WString() : FullPathW(programs);
    if (programsFull.empty() || name.empty())
        return FolderVerdict::Missing;
    HeldFolder candidate;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    bool exists = false;
    const bool opened = Inspect(programsFull + L"\\" + name, candidate, attributes, exists);
    if (!exists || (opened && !(attributes & FILE_ATTRIBUTE_DIRECTORY)))
        return FolderVerdict::Missing;
    // Resolved against resolved: the programs folder and the profile may be reached through
    // a link (a profile moved to another drive); the product's folder itself may not.
    HeldFolder programsFolder, own;
    DWORD ignored = 0;
    bool e = false;
    if (!opened || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) || profile.empty() ||
        !Inspect(programsFull, programsFolder, ignored, e) || !Inspect(FullPathW(profile), own, ignored, e) ||
        !SameText(candidate.resolved, programsFolder.resolved + L"\\" + name) ||
        candidate.resolved.size() <= own.resolved.size() || !WithinW(candidate.resolved, own.resolved))
        return FolderVerdict::Refused;
    const FolderVerdict verdict = JudgeDescribed(candidate, SystemFolders(WellKnownFolders()));
    if (verdict == FolderVerdict::Removable)
        removeBy = candidate.resolved;
    return verdict;
}

HANDLE OpenJudgedFolder(const WString& path, WString& resolved)
{
    resolved.clear();
    const WString full = path.empty() ? WString() : FullPathW(path);
    if (full.empty())
        return INVALID_HANDLE_VALUE;
    // Links on the way are followed: what is judged is the folder the handle holds.
    HANDLE h = ::CreateFileW(LongPathForm(full).c_str(),
                             FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;
    HeldFolder folder;
    DWORD attributes = 0;
    if (!Describe(h, folder, attributes) || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        ::CloseHandle(h);
        return INVALID_HANDLE_VALUE;
    }
    folder.spelled = folder.resolved;
    // The folder may be the temporary folder itself, which the well-known list names.
    if (JudgeDescribed(folder, SystemFolders(WellKnownFolders(false))) != FolderVerdict::Removable) {
        ::CloseHandle(h);
        return INVALID_HANDLE_VALUE;
    }
    resolved = folder.resolved;
    return h;
}
