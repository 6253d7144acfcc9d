// A reader of the registry data file's syntax, independent of the removal pass: the
// sections with the values their lines give (name, type, bytes), for staging an
// installation's footprint in the registry and checking what is left.
#pragma once

#include <windows.h>
#include <map>
#include <string>
#include <vector>

struct RegFileValue {
    std::string name;   // empty: the default value
    DWORD type = REG_NONE;
    std::string bytes;  // as stored
};

struct RegFileSection {
    std::string path;   // "HKEY_...\sub\key"
    HKEY root = nullptr;
    std::string subKey;
    std::vector<RegFileValue> values;
};

// Parses the file's bytes; false with a reason when a line does not fit the syntax.
bool ParseRegFile(const std::string& bytes, std::vector<RegFileSection>& sections, std::string& error);
// The data file embedded in this executable (resource "REGDATA_FILE" 129).
std::string EmbeddedRegData();
// Creates every listed key and value with the data and type its line gives.
bool StageSections(const std::vector<RegFileSection>& sections, std::string& error);

// A whole key tree: path below the root -> value name -> (type, bytes).
using RegTree = std::map<std::string, std::map<std::string, std::pair<DWORD, std::string>>>;
RegTree SnapshotTree(HKEY root, const std::string& path);
// The same through one view of the registry (KEY_WOW64_64KEY, KEY_WOW64_32KEY): a 32-bit
// program on 64-bit Windows sees the 32-bit view unless it names another.
RegTree SnapshotTree(HKEY root, const std::string& path, REGSAM view);
// Differences between two snapshots, one line each; empty when equal.
std::vector<std::string> DiffTrees(const RegTree& before, const RegTree& after);

// The trees an installation's footprint lives in (HKEY_CLASSES_ROOT is a view of the
// classes keys below them), in one snapshot, and the differences between two such,
// each line prefixed with its tree. Wine's own session state under Software\Wine is
// left out of the differences.
std::vector<RegTree> SnapshotFootprintTrees();
std::vector<RegTree> SnapshotFootprintTrees(REGSAM view);
std::vector<std::string> DiffFootprintTrees(const std::vector<RegTree>& before, const std::vector<RegTree>& after);
