// vnqrx_bench: timings of the tool's work in the Wine prefix (run by bench/bench.sh).
//   vnqrx_bench tree FILES FOLDERS RUNS   our folder removal against "cmd /c rd /s /q"
//   vnqrx_bench registry RUNS             the removal pass against regedit /s, same deletions
//   vnqrx_bench pass                      one pass over what is staged (for the relay trace)
//   vnqrx_bench regfiles                  write regedit's deletion and empty files only
//   vnqrx_bench stage                     stage the footprint and the decoys only
//   vnqrx_bench probe                     exit 0 (does this build run here?)
//   vnqrx_bench startup RUNS              process start to the dialog being visible
//   vnqrx_bench wholerun RUNS             click to the completion box, staged installation
#include "e2e/Driver.h"
#include "e2e/Staging.h"
#include "fs/FolderRemoval.h"
#include "registry/ProfileText.h"
#include "registry/RegDataFile.h"
#include "registry/RegRemoval.h"
#include "res/resource.h"
#include "support/RegFile.h"
#include "support/RegScratch.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

double Now()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A tree of `files` files in `folders` folders (nested up to four deep), a third of the
// names double-byte with 0x5C trail bytes, every fifth file read-only.
void MakeTree(const std::string& root, int files, int folders)
{
    CreateDirectoryA(root.c_str(), nullptr);
    std::vector<std::string> dirs = {root};
    const std::string dbcs[] = {Sjis("ソフト"), Sjis("表示"), Sjis("能力"), Sjis("十予")};
    for (int i = 1; i < folders; ++i) {
        const std::string& parent = dirs[(i - 1) / 4];
        std::string name = (i % 3 == 0) ? dbcs[i % 4] + std::to_string(i) : "dir" + std::to_string(i);
        dirs.push_back(parent + "\\" + name);
        CreateDirectoryA(dirs.back().c_str(), nullptr);
    }
    for (int i = 0; i < files; ++i) {
        std::string name = (i % 3 == 0) ? dbcs[i % 4] + std::to_string(i) + ".dat" : "file" + std::to_string(i) + ".txt";
        std::string path = dirs[i % dirs.size()] + "\\" + name;
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD w;
        WriteFile(h, path.data(), static_cast<DWORD>(path.size()), &w, nullptr);
        CloseHandle(h);
        if (i % 5 == 0)
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    }
}

void CopyTree(const std::string& from, const std::string& to)
{
    CreateDirectoryA(to.c_str(), nullptr);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((from + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string n = fd.cFileName;
        if (n == "." || n == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyTree(from + "\\" + n, to + "\\" + n);
        else
            CopyFileA((from + "\\" + n).c_str(), (to + "\\" + n).c_str(), FALSE);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

int CountEntries(const std::string& folder)
{
    int n = 0;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        ++n;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            n += CountEntries(folder + "\\" + name);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return n;
}

double RunCmd(const char* commandLine)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    std::string cmd = commandLine;
    double t0 = Now();
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    double t = Now() - t0;
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return t;
}

int Tree(int files, int folders, int runs)
{
    const std::string src = "C:\\vnqrx\\bench\\src";
    CreateDirectoryA("C:\\vnqrx\\bench", nullptr);
    MakeTree(src, files, folders);
    if (CountEntries(src) != files + folders - 1) {
        std::printf("the generated tree has %d entries, not %d\n", CountEntries(src), files + folders - 1);
        return 1;
    }
    std::vector<double> ours, theirs, cmdStart;
    for (int r = 0; r < runs; ++r) {
        CopyTree(src, "C:\\vnqrx\\bench\\a");
        if (CountEntries("C:\\vnqrx\\bench\\a") != files + folders - 1)
            return 1;
        double t0 = Now();
        BOOL ok = RemoveFolderTree("C:\\vnqrx\\bench\\a\\");
        ours.push_back(Now() - t0);
        CopyTree(src, "C:\\vnqrx\\bench\\b");
        theirs.push_back(RunCmd("cmd.exe /c rd /s /q C:\\vnqrx\\bench\\b"));
        cmdStart.push_back(RunCmd("cmd.exe /c rem"));
        bool gone = GetFileAttributesA("C:\\vnqrx\\bench\\a") == INVALID_FILE_ATTRIBUTES &&
                    GetFileAttributesA("C:\\vnqrx\\bench\\b") == INVALID_FILE_ATTRIBUTES;
        if (!ok || !gone) {
            std::printf("run %d: a tree was not removed completely\n", r);
            return 1;
        }
    }
    double o = Median(ours), t = Median(theirs), s = Median(cmdStart);
    std::printf("tree %d files in %d folders, %d runs: RemoveFolderTree %.3f s, rd /s /q %.3f s "
                "(of which cmd start %.3f s), ratio ours/theirs %.2f, ours/(theirs - start) %.2f\n",
                files, folders, runs, o, t, s, o / t, o / (t - s));
    return 0;
}

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Does a staged decoy keep this listed key (the key itself or one below it)?
bool KeptByDecoy(const RegFileSection& s)
{
    const struct {
        HKEY root;
        const char* path;
    } decoys[] = {{HKEY_LOCAL_MACHINE, kFoldersKey}, {HKEY_LOCAL_MACHINE, kDecoyProductKey},
                  {HKEY_CLASSES_ROOT, kDecoyClassKey}};
    for (const auto& d : decoys) {
        const std::string key = Lower(s.subKey), decoy = Lower(d.path);
        if (d.root == s.root && (decoy == key || decoy.compare(0, key.size() + 1, key + "\\") == 0))
            return true;
    }
    return false;
}

// The deletions of the pass over the staged footprint, for regedit: last section first,
// "[-key]" for a key the pass deletes, "name"=- for each listed value of a key a decoy
// keeps. UTF-16 with its signature, so that double-byte names need no care.
void WriteRegeditFiles(const std::vector<RegFileSection>& sections, const char* deletions, const char* empty)
{
    std::wstring text = L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n";
    for (auto it = sections.rbegin(); it != sections.rend(); ++it) {
        if (!KeptByDecoy(*it)) {
            text += L"[-" + Wide(it->path) + L"]\r\n\r\n";
            continue;
        }
        text += L"[" + Wide(it->path) + L"]\r\n";
        for (const RegFileValue& v : it->values) {
            std::wstring name;
            for (wchar_t c : Wide(v.name)) {
                if (c == L'\\' || c == L'"')
                    name += L'\\';
                name += c;
            }
            text += (v.name.empty() ? std::wstring(L"@") : L"\"" + name + L"\"") + L"=-\r\n";
        }
        text += L"\r\n";
    }
    const std::wstring header = L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n";
    for (const auto& [path, body] : {std::make_pair(deletions, text), std::make_pair(empty, header)}) {
        HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD w;
        WriteFile(h, body.data(), static_cast<DWORD>(body.size() * sizeof(wchar_t)), &w, nullptr);
        CloseHandle(h);
    }
}

// Wine's regedit of this process's own bitness: it sees the registry view the pass sees.
std::string Regedit()
{
#ifdef _WIN64
    return "C:\\windows\\regedit.exe";
#else
    return "C:\\windows\\syswow64\\regedit.exe";
#endif
}

// The registry pass against regedit importing the same deletions, side by side, each on a
// freshly staged footprint (with the decoys) and each with its fixed cost: the pass with
// nothing left to delete, regedit importing an empty file. Both must leave the registry
// in the same state.
int Registry(int runs)
{
    std::vector<RegFileSection> sections;
    std::string error;
    ParseRegFile(EmbeddedRegData(), sections, error);
    CreateDirectoryA("C:\\vnqrx\\bench", nullptr);
    const char deletions[] = "C:\\vnqrx\\bench\\delete.reg";
    const char empty[] = "C:\\vnqrx\\bench\\empty.reg";
    WriteRegeditFiles(sections, deletions, empty);
    const std::string importDeletions = Regedit() + " /s " + deletions;
    const std::string importEmpty = Regedit() + " /s " + empty;

    ExtractRegDataFile();
    const CProfileText data(LoadRegData());
    std::vector<double> ours, oursFixed, theirs, theirsFixed, theirsNothing;
    size_t calls = 0;
    RunCmd(importEmpty.c_str());   // warm: regedit's first start loads more
    for (int r = 0; r < runs; ++r) {
        if (!StageSections(sections, error) || !StageRegistryDecoys()) {
            std::printf("%s\n", error.c_str());
            return 1;
        }
        double t0 = Now();
        calls = RunRegistryPass(data);
        ours.push_back(Now() - t0);
        const std::vector<RegTree> afterOurs = SnapshotFootprintTrees();
        t0 = Now();
        RunRegistryPass(data);
        oursFixed.push_back(Now() - t0);

        if (!StageSections(sections, error)) {
            std::printf("%s\n", error.c_str());
            return 1;
        }
        theirs.push_back(RunCmd(importDeletions.c_str()));
        std::vector<std::string> diff = DiffFootprintTrees(afterOurs, SnapshotFootprintTrees());
        if (!diff.empty()) {
            std::printf("regedit left a different registry from the pass's (%zu differences), first: %s\n",
                        diff.size(), diff.front().c_str());
            return 1;
        }
        theirsFixed.push_back(RunCmd(importEmpty.c_str()));
        theirsNothing.push_back(RunCmd(importDeletions.c_str()));
    }
    RemoveRegistryDecoys();
    RunRegistryPass(data);
    // The reading alone: every section of the embedded bytes, as the pass reads them.
    std::vector<double> reading;
    for (int r = 0; r < runs; ++r) {
        std::vector<char> names(65535), lines(65535);
        double t0 = Now();
        data.GetSectionNames(names.data(), 65535);
        for (const char* p = names.data(); *p; p += strlen(p) + 1)
            data.GetSection(p, lines.data(), 65535);
        reading.push_back(Now() - t0);
    }
    std::printf("registry: reading the embedded data file alone %.4f s\n", Median(reading));
    const double o = Median(ours), of = Median(oursFixed), t = Median(theirs), tf = Median(theirsFixed);
    std::printf("registry, %d runs (%zu entries): pass %.4f s, with nothing to delete %.4f s, difference %.4f s\n",
                runs, calls, o, of, o - of);
    std::printf("registry, %d runs: regedit /s import %.4f s, of an empty file %.4f s, difference %.4f s "
                "(the same import with nothing to delete: %.4f s)\n",
                runs, t, tf, t - tf, Median(theirsNothing));
    std::printf("registry ratio pass/regedit (fixed costs subtracted): %.2f\n", (o - of) / (t - tf));
    return 0;
}

// One pass over whatever is staged, for counting its registry calls from outside
// (bench.sh runs it under Wine's relay trace).
int PassOnce()
{
    ExtractRegDataFile();
    std::printf("entry calls: %zu\n", RunRegistryPass(CProfileText(LoadRegData())));
    return 0;
}

int Startup(int runs)
{
    std::vector<double> times;
    for (int r = 0; r < runs; ++r) {
        ToolProcess tool;
        double t0 = Now();
        if (!tool.Start())
            return 1;
        HWND main = tool.WaitMainWindow(20000);
        times.push_back(Now() - t0);
        if (!main)
            return 1;
        Press(main, IDOK);
        tool.WaitExit(20000);
    }
    std::printf("start-up to visible dialog, %d runs: %.3f s median\n", runs, Median(times));
    return 0;
}

int WholeRun(int runs)
{
    std::vector<double> toConfirm, work;
    for (int r = 0; r < runs; ++r) {
        std::string error;
        RemoveInstallation();
        if (!StageInstallation(error)) {
            std::printf("%s\n", error.c_str());
            return 1;
        }
        ToolProcess tool;
        tool.Start();
        HWND main = tool.WaitMainWindow(20000);
        if (!main)
            return 1;
        double t0 = Now();
        Press(main, IDC_UNINSTALL);
        HWND confirm = tool.WaitBox(20000);
        toConfirm.push_back(Now() - t0);
        double t1 = Now();
        Press(confirm, IDYES);
        WaitFor([&] { return !IsWindow(confirm); }, 20000);
        HWND done = tool.WaitBox(60000);
        work.push_back(Now() - t1);
        if (!done)
            return 1;
        Answer(done, IDOK);
        Press(main, IDOK);
        tool.WaitExit(20000);
    }
    std::printf("whole run, %d runs: click to confirmation %.3f s, Yes to completion box %.3f s (medians; "
                "polling every 50 ms)\n",
                runs, Median(toConfirm), Median(work));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 5 && !std::strcmp(argv[1], "tree"))
        return Tree(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
    if (argc >= 3 && !std::strcmp(argv[1], "registry"))
        return Registry(std::atoi(argv[2]));
    if (argc >= 2 && !std::strcmp(argv[1], "probe"))
        return 0;   // it started: this machine runs this build
    if (argc >= 2 && !std::strcmp(argv[1], "regfiles")) {
        std::vector<RegFileSection> sections;
        std::string error;
        ParseRegFile(EmbeddedRegData(), sections, error);
        CreateDirectoryA("C:\\vnqrx\\bench", nullptr);
        WriteRegeditFiles(sections, "C:\\vnqrx\\bench\\delete.reg", "C:\\vnqrx\\bench\\empty.reg");
        return 0;
    }
    if (argc >= 2 && !std::strcmp(argv[1], "stage")) {
        std::vector<RegFileSection> sections;
        std::string error;
        ParseRegFile(EmbeddedRegData(), sections, error);
        return StageSections(sections, error) && StageRegistryDecoys() ? 0 : 1;
    }
    if (argc >= 2 && !std::strcmp(argv[1], "pass"))
        return PassOnce();
    if (argc >= 3 && !std::strcmp(argv[1], "startup"))
        return Startup(std::atoi(argv[2]));
    if (argc >= 3 && !std::strcmp(argv[1], "wholerun"))
        return WholeRun(std::atoi(argv[2]));
    std::fprintf(stderr, "usage: vnqrx_bench tree FILES FOLDERS RUNS | registry RUNS | startup RUNS | wholerun RUNS\n");
    return 2;
}
