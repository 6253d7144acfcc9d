#include "fs/SafeFolder.h"

#include "fs/PathUtil.h"

#include <windows.h>
#include <shlobj.h>

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

std::vector<std::string> WellKnownFolders()
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
    DWORD n = ::GetTempPathA(sizeof path, path);
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
