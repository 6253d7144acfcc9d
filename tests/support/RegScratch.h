// Scratch registry keys for tests, removed with everything below them.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

struct ScratchRoot {
    HKEY root;
    const char* rootName;   // as the data file spells it
    const char* path;       // the scratch key below the root
};

// One scratch key under each of the four roots.
extern const ScratchRoot kScratchRoots[4];

// Deletes root\path and everything below it; quiet when it does not exist. A registry
// link on the way down is deleted itself, never followed.
void DeleteTree(HKEY root, const std::string& path);
// Makes root\path a registry link to targetRoot\targetPath (which must exist), as any
// program of the user can in the user's own hive.
bool MakeRegistryLink(HKEY root, const std::string& path, HKEY targetRoot, const std::string& targetPath);
bool IsRegistryLink(HKEY root, const std::string& path);
// Creates root\path (and its parents).
bool CreateKey(HKEY root, const std::string& path);
bool KeyExists(HKEY root, const std::string& path);
bool SetString(HKEY root, const std::string& path, const std::string& name, const std::string& data,
               DWORD type = REG_SZ);
bool SetDword(HKEY root, const std::string& path, const std::string& name, DWORD data);
bool ValueExists(HKEY root, const std::string& path, const std::string& name);
void DeleteValue(HKEY root, const std::string& path, const std::string& name);
// Names of the subkeys of an open key.
std::vector<std::string> SubKeyNames(HKEY key);

// Registry decoys an uninstall must leave alone: another product's value in a listed
// shared key (the installer's Folders list), another product's key below a listed key
// (the maker's key), and an unlisted sibling of the suite's classes.
extern const char kFoldersKey[];
extern const char kDecoyFolderValue[];
extern const char kDecoyProductKey[];
extern const char kDecoyClassKey[];
bool StageRegistryDecoys();
void RemoveRegistryDecoys();
bool RegistryDecoysIntact();
