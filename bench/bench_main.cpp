// vnqrx_bench: timings of the tool's work in the Wine prefix (run by bench/bench.sh).
//   vnqrx_bench tree FILES FOLDERS RUNS [GOAL]  our folder removal against "cmd /c rd /s /q"
//   vnqrx_bench registry RUNS [GOAL]            the removal pass against regedit /s, same deletions
//   vnqrx_bench pass                            one pass over what is staged (for the relay trace)
//   vnqrx_bench regfiles                        write regedit's deletion and empty files only
//   vnqrx_bench stage                           stage the footprint and the decoys only
//   vnqrx_bench probe                           exit 0 (does this build run here?)
//   vnqrx_bench startup RUNS                    process start to the dialog being visible
//   vnqrx_bench wholerun RUNS                   click to the completion box, staged installation
//
// A comparison runs its two sides alternately (A B A B ..., the order within each pair
// and of each side's fixed cost turning from run to run), at least max(RUNS, 6) times.
// Each figure is the median of its runs, with the 95% interval of that median; a
// difference is the median of the per-run differences. A ratio is printed only when each
// difference it divides is clearly positive (its whole interval above zero, and no wider
// than the median itself); while one is not, or while a goal lies inside the ratio's
// range, the comparison takes more runs (up to 4 x RUNS, at least 40, begun within ten
// minutes of the first extra one). Then it prints the ratio and whether the goal is met,
// or "measurement failed" and why.
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
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
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

double Time(const std::function<void()>& work)
{
    double t0 = Now();
    work();
    return Now() - t0;
}

// The median of a figure's runs and the 95% interval of that median: the order
// statistics x(j) and x(n+1-j) for the largest j for which the true median lies between
// them with a probability of at least 0.95 (the sign test: the number of runs below the
// median is binomial(n, 1/2)). Fewer than 6 runs give no such interval.
struct Figure {
    size_t runs = 0;
    double median = 0, low = 0, high = 0;
    bool interval = false;
};

Figure Summarize(std::vector<double> v)
{
    Figure f;
    std::sort(v.begin(), v.end());
    const size_t n = f.runs = v.size();
    if (n == 0)
        return f;
    f.median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    f.low = v.front();
    f.high = v.back();
    double p = std::pow(0.5, static_cast<double>(n));   // P(binomial = k), from k = 0
    double below = 0;                                     // P(binomial < j)
    for (size_t j = 1; j <= n / 2; ++j) {
        below += p;
        p = p * static_cast<double>(n - (j - 1)) / static_cast<double>(j);
        if (1 - 2 * below < 0.95)
            break;
        f.interval = true;
        f.low = v[j - 1];
        f.high = v[n - j];
    }
    return f;
}

std::vector<double> Differences(const std::vector<double>& a, const std::vector<double>& b)
{
    std::vector<double> d;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        d.push_back(a[i] - b[i]);
    return d;
}

// "0.0204 s [0.0190, 0.0221]": the median and its 95% interval; with fewer than 6 runs
// the smallest and largest run instead, said so.
std::string Format(const Figure& f, int digits)
{
    char text[128];
    if (f.interval)
        std::snprintf(text, sizeof text, "%.*f s [%.*f, %.*f]", digits, f.median, digits, f.low, digits, f.high);
    else
        std::snprintf(text, sizeof text, "%.*f s [range of %zu runs %.*f, %.*f]", digits, f.median, f.runs, digits,
                      f.low, digits, f.high);
    return text;
}

// Why `d` cannot divide or be divided in a ratio, or "" when it can: clearly positive
// means its median and its whole interval above zero, and the interval no wider than the
// median (the median known to about half its size).
std::string Unclear(const std::string& what, const Figure& d, int digits)
{
    char text[256];
    if (!d.interval)
        std::snprintf(text, sizeof text, "%s: %zu runs give no 95%% interval", what.c_str(), d.runs);
    else if (d.median <= 0)
        std::snprintf(text, sizeof text, "%s is not positive: %s", what.c_str(), Format(d, digits).c_str());
    else if (d.low <= 0)
        std::snprintf(text, sizeof text, "%s is not clearly positive: its interval reaches zero, %s", what.c_str(),
                      Format(d, digits).c_str());
    else if (d.high - d.low > d.median)
        std::snprintf(text, sizeof text, "%s varies more than its size: %s", what.c_str(), Format(d, digits).c_str());
    else
        return "";
    return text;
}

// A ratio of two clearly positive figures, with the range their intervals allow, and
// where it stands against a goal (at most `goal`; none when goal <= 0).
struct Ratio {
    std::string unclear = "no runs";   // why there is no ratio; empty when there is one
    double value = 0, low = 0, high = 0;
    int verdict = 0;       // 1 goal met, -1 not met, 0 undecided or no goal
};

Ratio Divide(const std::string& numName, const Figure& num, const std::string& denName, const Figure& den,
             int digits, double goal)
{
    Ratio r;
    r.unclear.clear();
    for (const std::string& why : {Unclear(numName, num, digits), Unclear(denName, den, digits)})
        if (!why.empty())
            r.unclear += (r.unclear.empty() ? "" : "; ") + why;
    if (!r.unclear.empty())
        return r;
    r.value = num.median / den.median;
    r.low = num.low / den.high;
    r.high = num.high / den.low;
    if (goal > 0)
        r.verdict = r.high <= goal ? 1 : r.low > goal ? -1 : 0;
    return r;
}

// Is a comparison done: its ratio clear and, with a goal, the goal decided?
bool Settled(const Ratio& r, double goal)
{
    return r.unclear.empty() && (goal <= 0 || r.verdict != 0);
}

void PrintRatio(const char* label, const Ratio& r, size_t runs, double goal)
{
    if (!r.unclear.empty()) {
        std::printf("%s: measurement failed after %zu runs: %s\n", label, runs, r.unclear.c_str());
        return;
    }
    std::printf("%s: %.2f [%.2f, %.2f]\n", label, r.value, r.low, r.high);
    if (goal > 0)
        std::printf("%s goal (at most %.2f): %s\n", label, goal,
                    r.verdict > 0 ? "met" : r.verdict < 0 ? "not met" : "undecided: the ratio's range reaches it");
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

bool Gone(const char* folder)
{
    return GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES;
}

// How many runs a comparison asked for RUNS takes: at least max(RUNS, 6); then more while
// its figures are not clear, up to 4 x RUNS (at least 40), begun within ten minutes of
// the first extra one.
class RunBudget {
public:
    explicit RunBudget(int runs)
        : least_(static_cast<size_t>(std::max(runs, 6))),
          most_(std::max<size_t>(static_cast<size_t>(4 * std::max(runs, 0)), 40))
    {
    }
    size_t least() const { return least_; }
    bool More(size_t done, bool settled)
    {
        if (done < least_)
            return true;
        if (settled || done >= most_)
            return false;
        if (extraFrom_ < 0)
            extraFrom_ = Now();
        return Now() - extraFrom_ < 600;
    }

private:
    size_t least_, most_;
    double extraFrom_ = -1;
};

// Our removal against "rd /s /q", each on a fresh copy of the same tree, alternating;
// the start of cmd.exe alone, next to each rd, is subtracted from it.
int Tree(int files, int folders, int runs, double goal)
{
    const std::string src = "C:\\vnqrx\\bench\\src";
    const int entries = files + folders - 1;
    CreateDirectoryA("C:\\vnqrx\\bench", nullptr);
    MakeTree(src, files, folders);
    if (CountEntries(src) != entries) {
        std::printf("the generated tree has %d entries, not %d\n", CountEntries(src), entries);
        return 1;
    }
    std::vector<double> ours, theirs, cmdStart;
    auto oursRun = [&] {
        CopyTree(src, "C:\\vnqrx\\bench\\a");
        if (CountEntries("C:\\vnqrx\\bench\\a") != entries)
            return false;
        BOOL ok = FALSE;
        ours.push_back(Time([&] { ok = RemoveFolderTree("C:\\vnqrx\\bench\\a\\"); }));
        return ok && Gone("C:\\vnqrx\\bench\\a");
    };
    auto theirsRun = [&](bool startFirst) {
        CopyTree(src, "C:\\vnqrx\\bench\\b");
        if (CountEntries("C:\\vnqrx\\bench\\b") != entries)
            return false;
        if (startFirst)
            cmdStart.push_back(RunCmd("cmd.exe /c rem"));
        theirs.push_back(RunCmd("cmd.exe /c rd /s /q C:\\vnqrx\\bench\\b"));
        if (!startFirst)
            cmdStart.push_back(RunCmd("cmd.exe /c rem"));
        return theirs.back() >= 0 && cmdStart.back() >= 0 && Gone("C:\\vnqrx\\bench\\b");
    };
    Ratio ratio;
    RunBudget budget(runs);
    size_t r = 0;
    while (budget.More(r, Settled(ratio, goal))) {
        const bool ok = r % 2 == 0 ? oursRun() && theirsRun(r % 4 == 0) : theirsRun(r % 4 == 1) && oursRun();
        ++r;
        if (!ok) {
            std::printf("tree run %zu: a copy was incomplete, or a tree was not removed completely\n", r);
            return 1;
        }
        ratio = Divide("RemoveFolderTree", Summarize(ours), "rd /s /q less cmd's start",
                       Summarize(Differences(theirs, cmdStart)), 3, goal);
    }
    std::printf("tree %d files in %d folders, %zu alternating runs: RemoveFolderTree %s, rd /s /q %s, "
                "cmd start alone %s, rd less cmd start %s\n",
                files, folders, r, Format(Summarize(ours), 3).c_str(), Format(Summarize(theirs), 3).c_str(),
                Format(Summarize(cmdStart), 3).c_str(), Format(Summarize(Differences(theirs, cmdStart)), 3).c_str());
    const std::string label = "tree " + std::to_string(files) + " files ratio RemoveFolderTree/(rd less cmd start)";
    PrintRatio(label.c_str(), ratio, r, goal);
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

// The registry pass against regedit importing the same deletions, alternating, each on a
// freshly staged footprint (with the decoys) and each with its fixed cost: the pass with
// nothing left to delete, regedit importing an empty file. Every run must leave the
// registry as the first pass left it.
int Registry(int runs, double goal)
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
    auto stage = [&] {
        if (StageSections(sections, error) && StageRegistryDecoys())
            return true;
        std::printf("staging failed: %s\n", error.c_str());
        return false;
    };
    // The state every run starts from and must come back to: the footprint removed but
    // for the keys that hold the decoys.
    if (!stage())
        return 1;
    const size_t calls = RunRegistryPass(data);
    const std::vector<RegTree> removed = SnapshotFootprintTrees();
    RunCmd(importEmpty.c_str());   // warm: regedit's first start loads more
    auto leftAsRemoved = [&](const char* who) {
        std::vector<std::string> diff = DiffFootprintTrees(removed, SnapshotFootprintTrees());
        if (diff.empty())
            return true;
        std::printf("%s left a different registry from the first pass's (%zu differences), first: %s\n", who,
                    diff.size(), diff.front().c_str());
        return false;
    };
    auto timeImport = [&](const std::string& command, std::vector<double>& into) {
        into.push_back(RunCmd(command.c_str()));
        if (into.back() >= 0)
            return true;
        std::printf("regedit did not start: %s\n", command.c_str());
        return false;
    };

    std::vector<double> ours, oursFixed, theirs, theirsFixed, theirsNothing;
    auto oursRun = [&](bool fixedFirst) {
        if (fixedFirst)
            oursFixed.push_back(Time([&] { RunRegistryPass(data); }));
        if (!stage())
            return false;
        ours.push_back(Time([&] { RunRegistryPass(data); }));
        if (!leftAsRemoved("the pass"))
            return false;
        if (!fixedFirst)
            oursFixed.push_back(Time([&] { RunRegistryPass(data); }));
        return true;
    };
    auto theirsRun = [&](bool fixedFirst) {
        if (fixedFirst && !timeImport(importEmpty, theirsFixed))
            return false;
        if (!stage() || !timeImport(importDeletions, theirs) || !leftAsRemoved("regedit"))
            return false;
        if (!fixedFirst && !timeImport(importEmpty, theirsFixed))
            return false;
        return timeImport(importDeletions, theirsNothing);
    };
    Ratio ratio;
    RunBudget budget(runs);
    size_t r = 0;
    while (budget.More(r, Settled(ratio, goal))) {
        const bool fixedFirst = r % 4 >= 2;
        const bool ok = r % 2 == 0 ? oursRun(fixedFirst) && theirsRun(fixedFirst)
                                   : theirsRun(fixedFirst) && oursRun(fixedFirst);
        ++r;
        if (!ok)
            return 1;
        ratio = Divide("the pass's difference", Summarize(Differences(ours, oursFixed)), "regedit's difference",
                       Summarize(Differences(theirs, theirsFixed)), 4, goal);
    }
    RemoveRegistryDecoys();
    RunRegistryPass(data);
    // The reading alone: every section of the embedded bytes, as the pass reads them.
    std::vector<double> reading;
    for (size_t i = 0; i < budget.least(); ++i) {
        std::vector<char> names(65535), lines(65535);
        reading.push_back(Time([&] {
            data.GetSectionNames(names.data(), 65535);
            for (const char* p = names.data(); *p; p += strlen(p) + 1)
                data.GetSection(p, lines.data(), 65535);
        }));
    }
    std::printf("registry: reading the embedded data file alone %s\n", Format(Summarize(reading), 4).c_str());
    std::printf("registry, %zu alternating runs (%zu entries): pass %s, with nothing to delete %s, difference %s\n", r,
                calls, Format(Summarize(ours), 4).c_str(), Format(Summarize(oursFixed), 4).c_str(),
                Format(Summarize(Differences(ours, oursFixed)), 4).c_str());
    std::printf("registry, %zu alternating runs: regedit /s import %s, of an empty file %s, difference %s "
                "(the same import with nothing to delete: %s)\n",
                r, Format(Summarize(theirs), 4).c_str(), Format(Summarize(theirsFixed), 4).c_str(),
                Format(Summarize(Differences(theirs, theirsFixed)), 4).c_str(),
                Format(Summarize(theirsNothing), 4).c_str());
    PrintRatio("registry ratio pass/regedit (fixed costs subtracted)", ratio, r, goal);
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
    std::printf("start-up to visible dialog, %d runs: %s\n", runs, Format(Summarize(times), 3).c_str());
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
    std::printf("whole run, %d runs: click to confirmation %s, Yes to completion box %s (polling every 50 ms)\n",
                runs, Format(Summarize(toConfirm), 3).c_str(), Format(Summarize(work), 3).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 5 && !std::strcmp(argv[1], "tree"))
        return Tree(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), argc >= 6 ? std::atof(argv[5]) : 0);
    if (argc >= 3 && !std::strcmp(argv[1], "registry"))
        return Registry(std::atoi(argv[2]), argc >= 4 ? std::atof(argv[3]) : 0);
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
    std::fprintf(stderr, "usage: vnqrx_bench tree FILES FOLDERS RUNS [GOAL] | registry RUNS [GOAL] | startup RUNS | "
                         "wholerun RUNS\n");
    return 2;
}
