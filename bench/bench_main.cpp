// vnqrx_bench: timings of the tool's work in the Wine prefix (run by bench/bench.sh).
//   vnqrx_bench tree FILES FOLDERS RUNS   our folder removal against "cmd /c rd /s /q"
//   vnqrx_bench registry RUNS             the removal pass over the shipped data file
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

int Registry(int runs)
{
    std::vector<RegFileSection> sections;
    std::string error;
    ParseRegFile(EmbeddedRegData(), sections, error);
    std::vector<double> times;
    size_t calls = 0;
    const std::string path = ExtractRegDataFile();
    const CProfileText data(LoadRegData());
    for (int r = 0; r < runs; ++r) {
        if (!StageSections(sections, error)) {
            std::printf("%s\n", error.c_str());
            return 1;
        }
        double t0 = Now();
        calls = RunRegistryPass(data);
        times.push_back(Now() - t0);
    }
    // Where the time goes: the same pass with nothing left to delete (every open fails),
    // and the profile reader alone.
    std::vector<double> absent, reading;
    for (int r = 0; r < runs; ++r) {
        double t0 = Now();
        RunRegistryPass(data);
        absent.push_back(Now() - t0);
        std::vector<char> names(65535), lines(65535);
        t0 = Now();
        GetPrivateProfileSectionNamesA(names.data(), 65535, path.c_str());
        for (const char* p = names.data(); *p; p += strlen(p) + 1)
            GetPrivateProfileSectionA(p, lines.data(), 65535, path.c_str());
        reading.push_back(Now() - t0);
    }
    std::printf("registry pass, %d runs: %.3f s median, %zu entry calls; with nothing to delete %.3f s; "
                "profile reader alone %.3f s\n",
                runs, Median(times), calls, Median(absent), Median(reading));
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
    if (argc >= 2 && !std::strcmp(argv[1], "pass"))
        return PassOnce();
    if (argc >= 3 && !std::strcmp(argv[1], "startup"))
        return Startup(std::atoi(argv[2]));
    if (argc >= 3 && !std::strcmp(argv[1], "wholerun"))
        return WholeRun(std::atoi(argv[2]));
    std::fprintf(stderr, "usage: vnqrx_bench tree FILES FOLDERS RUNS | registry RUNS | startup RUNS | wholerun RUNS\n");
    return 2;
}
