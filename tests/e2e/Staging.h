// What an installation of the suite leaves on a machine, made for real in the Wine
// prefix: the folder tree at the registered folder, the Start-menu folder with its
// shortcuts, and every key and value of the shipped data file; plus decoys that an
// uninstall must leave alone.
#pragma once

#include <map>
#include <string>
#include <vector>

const char kInstallDir[] = "C:\\Program Files\\Velnor for QRX\\";
const char kProductKey[] = "SOFTWARE\\Halcyra\\ProductInfo\\1.0";

// The current user's and all users' Start-menu programs folders, with a backslash.
std::string UserProgramsFolder();
std::string CommonProgramsFolder();
std::string StartMenuFolder();   // UserProgramsFolder() + "Velnor for QRX\"

// Creates the installation. `installDir` is where the files go (the registered folder
// stays as the data file lists it). False with a reason on failure.
bool StageInstallation(std::string& error, const std::string& installDir = kInstallDir);
bool StageDecoys(std::string& error);
void RemoveDecoys();
bool DecoysIntact();
// Files and folders the stager creates below the installation folder.
std::vector<std::string> InstalledFiles(const std::string& installDir = kInstallDir);

// A folder tree: relative path -> size (folders: -1) and read-only bit.
using FileTree = std::map<std::string, std::pair<long long, bool>>;
FileTree SnapshotFiles(const std::string& folder);
std::vector<std::string> DiffFiles(const FileTree& before, const FileTree& after);

// The registry trees the footprint lives in, in one snapshot.
std::vector<std::string> RegistryDiffSince(const std::string& label);
void RememberRegistry(const std::string& label);

// Human-readable report of what of the installation and the decoys exists now.
std::string Report();
// Sets or removes a registration value for the scenarios (empty `data` with
// `remove` deletes it).
void SetRegistration(const char* name, const std::string& data, bool remove = false);
void RemoveInstallation();
