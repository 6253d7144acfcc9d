#include "RegFile.h"

#include "RegScratch.h"
#include "res/resource.h"

namespace {

HKEY RootByName(const std::string& name)
{
    if (name == "HKEY_CLASSES_ROOT") return HKEY_CLASSES_ROOT;
    if (name == "HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
    if (name == "HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
    if (name == "HKEY_USERS") return HKEY_USERS;
    return nullptr;
}

bool ParseHexList(const std::string& text, std::string& out)
{
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ',' || text[i] == ' ') { ++i; continue; }
        if (i + 1 >= text.size()) return false;
        char pair[3] = {text[i], text[i + 1], 0};
        char* end = nullptr;
        long v = strtol(pair, &end, 16);
        if (end != pair + 2) return false;
        out += static_cast<char>(v);
        i += 2;
    }
    return true;
}

// A quoted string's text: between the first and the last quote, \" undone, walking
// double-byte characters as units.
bool ParseQuoted(const std::string& data, std::string& out)
{
    if (data.size() < 2 || data.front() != '"' || data.back() != '"')
        return false;
    const std::string body = data.substr(1, data.size() - 2);
    for (size_t i = 0; i < body.size();) {
        unsigned char c = static_cast<unsigned char>(body[i]);
        if (IsDBCSLeadByte(c) && i + 1 < body.size()) {
            out.append(body, i, 2);
            i += 2;
        } else if (c == '\\' && i + 1 < body.size() && body[i + 1] == '"') {
            out += '"';
            i += 2;
        } else {
            out += static_cast<char>(c);
            ++i;
        }
    }
    return true;
}

}  // namespace

bool ParseRegFile(const std::string& bytes, std::vector<RegFileSection>& sections, std::string& error)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            error = "last line without CR LF";
            return false;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        auto fail = [&](const char* why) {
            error = "line " + std::to_string(n + 1) + ": " + why + ": " + line.substr(0, 80);
            return false;
        };
        if (line.empty())
            continue;
        if (line.front() == '[') {
            if (line.back() != ']') return fail("header");
            RegFileSection s;
            s.path = line.substr(1, line.size() - 2);
            size_t slash = s.path.find('\\');
            if (slash == std::string::npos) return fail("no root");
            s.root = RootByName(s.path.substr(0, slash));
            s.subKey = s.path.substr(slash + 1);
            if (s.root == nullptr) return fail("root");
            sections.push_back(s);
            continue;
        }
        if (sections.empty()) return fail("entry before the first header");
        RegFileValue v;
        std::string data;
        if (line.compare(0, 2, "@=") == 0) {
            data = line.substr(2);
        } else if (line.front() == '"') {
            size_t close = line.find("\"=", 1);   // names hold no quote or equals sign
            if (close == std::string::npos) return fail("name");
            v.name = line.substr(1, close - 1);
            data = line.substr(close + 2);
        } else {
            return fail("unknown line");
        }
        if (data.compare(0, 6, "dword:") == 0) {
            DWORD d = strtoul(data.c_str() + 6, nullptr, 16);
            v.type = REG_DWORD;
            v.bytes.assign(reinterpret_cast<const char*>(&d), 4);
        } else if (data.compare(0, 4, "hex(") == 0 || data.compare(0, 4, "hex:") == 0) {
            v.type = REG_BINARY;
            size_t colon = data.find(':');
            if (data[3] == '(') v.type = strtoul(data.c_str() + 4, nullptr, 16);
            std::string list = data.substr(colon + 1);
            while (!list.empty() && list.back() == '\\') {
                list.pop_back();
                if (++n >= lines.size() || lines[n].compare(0, 2, "  ") != 0) return fail("continuation");
                list += lines[n];
            }
            if (!ParseHexList(list, v.bytes)) return fail("hex bytes");
        } else {
            v.type = REG_SZ;
            std::string text;
            if (!ParseQuoted(data, text)) return fail("string");
            v.bytes = text + '\0';
        }
        sections.back().values.push_back(v);
    }
    return true;
}

std::string EmbeddedRegData()
{
    HRSRC r = FindResourceExA(nullptr, REGDATA_TYPE_NAME, MAKEINTRESOURCEA(IDR_REGDATA),
                              MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    if (r == nullptr)
        return std::string();
    return std::string(static_cast<const char*>(LockResource(LoadResource(nullptr, r))), SizeofResource(nullptr, r));
}

bool StageSections(const std::vector<RegFileSection>& sections, std::string& error)
{
    for (const RegFileSection& s : sections) {
        HKEY key;
        if (RegCreateKeyExA(s.root, s.subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
            ERROR_SUCCESS) {
            error = "cannot create " + s.path;
            return false;
        }
        for (const RegFileValue& v : s.values) {
            if (RegSetValueExA(key, v.name.c_str(), 0, v.type, reinterpret_cast<const BYTE*>(v.bytes.data()),
                               static_cast<DWORD>(v.bytes.size())) != ERROR_SUCCESS) {
                error = "cannot set " + s.path + " " + v.name;
                RegCloseKey(key);
                return false;
            }
        }
        RegCloseKey(key);
    }
    return true;
}

static void Snapshot(HKEY root, const std::string& path, RegTree& tree, REGSAM view = 0)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return;
    auto& values = tree[path];
    for (DWORD i = 0;; ++i) {
        char name[16384];
        DWORD nameLen = sizeof name;
        DWORD type = 0, size = 0;
        LONG r = RegEnumValueA(key, i, name, &nameLen, nullptr, &type, nullptr, &size);
        if (r != ERROR_SUCCESS)
            break;
        std::string data(size, '\0');
        DWORD got = size;
        RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&data[0]), &got);
        values[std::string(name, nameLen)] = {type, data};
    }
    const std::vector<std::string> children = SubKeyNames(key);
    RegCloseKey(key);
    for (const std::string& c : children)
        Snapshot(root, path.empty() ? c : path + "\\" + c, tree, view);
}

RegTree SnapshotTree(HKEY root, const std::string& path)
{
    RegTree tree;
    Snapshot(root, path, tree);
    return tree;
}

RegTree SnapshotTree(HKEY root, const std::string& path, REGSAM view)
{
    RegTree tree;
    Snapshot(root, path, tree, view);
    return tree;
}

std::vector<std::string> DiffTrees(const RegTree& before, const RegTree& after)
{
    std::vector<std::string> out;
    for (const auto& [path, values] : before) {
        auto it = after.find(path);
        if (it == after.end()) {
            out.push_back("key gone: " + path);
            continue;
        }
        for (const auto& [name, v] : values) {
            auto jt = it->second.find(name);
            if (jt == it->second.end())
                out.push_back("value gone: " + path + " \"" + name + "\"");
            else if (jt->second != v)
                out.push_back("value changed: " + path + " \"" + name + "\"");
        }
        for (const auto& [name, v] : it->second)
            if (!values.count(name))
                out.push_back("value added: " + path + " \"" + name + "\"");
    }
    for (const auto& [path, values] : after)
        if (!before.count(path))
            out.push_back("key added: " + path);
    return out;
}

namespace {
struct Watched {
    HKEY root;
    const char* path;
} const kWatched[] = {
    {HKEY_LOCAL_MACHINE, "SOFTWARE"},
    {HKEY_CURRENT_USER, "Software"},
    {HKEY_USERS, ".DEFAULT\\Software"},
    {HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\EventLog"},
};
}  // namespace

std::vector<RegTree> SnapshotFootprintTrees()
{
    std::vector<RegTree> all;
    for (const Watched& w : kWatched)
        all.push_back(SnapshotTree(w.root, w.path));
    return all;
}

std::vector<RegTree> SnapshotFootprintTrees(REGSAM view)
{
    std::vector<RegTree> all;
    for (const Watched& w : kWatched)
        all.push_back(SnapshotTree(w.root, w.path, view));
    return all;
}

std::vector<std::string> DiffFootprintTrees(const std::vector<RegTree>& before, const std::vector<RegTree>& after)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < before.size() && i < after.size(); ++i)
        for (const std::string& d : DiffTrees(before[i], after[i])) {
            if (d.find(": Software\\Wine\\") != std::string::npos)
                continue;   // system parameters Wine keeps for the session
            out.push_back(std::string(kWatched[i].path) + ": " + d);
        }
    return out;
}
