// Micro-benchmarks of the work the program repeats: loading the bundled
// 2003 season's files into their lists, the kick-off time conversions, and
// placing the division images as each scroll notification does, and what
// the window inspector costs: a dump, the idle pass after a message, and a
// blocking call such as each read of a download makes. They run
// inside the main window's loop (offscreen, in a temporary home) once its
// loading stages are over, then the file loads are held to their target.

#include "app/main_window.h"
#include "app/pages.h"
#include "app/resources/resource.h"
#include "app/startup.h"
#include "data/schedule_table.h"
#include "views/season_list.h"
#include "data/standings.h"
#include "platform/delivery.h"
#include "platform/inspect.h"
#include "platform/resources.h"
#include "platform/window.h"
#include "views/time_conversion.h"

#include <benchmark/benchmark.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr double kLoadTargetMs = 5.0;  // each file load stays under this

// One bundled file and the list it fills.
struct FileLoad {
    const char* name;             // benchmark name
    int list;                     // list view ID
    bool fillsPickers;            // the first load also fills the two pickers
    int (*load)(HWND, LPCWSTR);   // the loader
    const WCHAR* path;            // the installed file
};

const FileLoad kFileLoads[] = {
    {"LoadScheduleTable", IDC_SCHEDULE_TABLE, true, LoadScheduleTable, g_schedulePath},
    {"LoadStandings", IDC_STANDINGS_LIST, false, LoadStandings, g_standingsPath},
    {"LoadSeasonList", IDC_SEASON_LIST, false, LoadSeasonList, g_seasonPath},
};

// A private home so the registry and window station are the benchmark's own.
std::string MakeTempHome()
{
    std::string pattern = (fs::temp_directory_path() / "corvale-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        return {};
    const std::string home = pattern;
    fs::create_directories(home + "/config");
    fs::create_directories(home + "/runtime");
    fs::permissions(home + "/runtime", fs::perms::owner_all, fs::perm_options::replace);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return home;
}

// Copies the season's three files under the home and records it as `Install`.
bool InstallSeason(const std::string& home)
{
    const std::string dir = home + "/install";
    fs::create_directories(dir);
    std::error_code error;
    for (const char* name : {"Standings.dat", "Schedule.dat", "Season.dat"})
        fs::copy_file(std::string(CORVALE_SOURCE_DIR) + "/season/2003/" + name, dir + "/" + name,
                      fs::copy_options::overwrite_existing, error);
    if (error)
        return false;
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRegistryKey, 0, nullptr, 0, 0, nullptr, &key, nullptr);
    const std::wstring wide(dir.begin(), dir.end());
    RegSetValueExW(key, L"Install", 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                   static_cast<DWORD>((wide.size() + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
    return ReadInstallDirectory() == 1;
}

int RowCount(int list)
{
    return static_cast<int>(SendMessageW(GetDlgItem(g_mainWindow, list), LVM_GETITEMCOUNT, 0, 0));
}

void ClearList(int list)
{
    SendMessageW(GetDlgItem(g_mainWindow, list), LVM_DELETEALLITEMS, 0, 0);
}

// Empties the file's list, and the pickers it fills, as before start-up.
void ResetForLoad(const FileLoad& file)
{
    ClearList(file.list);
    if (!file.fillsPickers)
        return;
    SendMessageW(GetDlgItem(g_mainWindow, IDC_TEAM_PICKER), CB_RESETCONTENT, 0, 0);
    SendMessageW(GetDlgItem(g_mainWindow, IDC_WEEK_PICKER), CB_RESETCONTENT, 0, 0);
}

// One file into its emptied list per iteration, as at start-up.
void BenchFileLoad(benchmark::State& state, const FileLoad& file)
{
    for (auto _ : state) {
        state.PauseTiming();
        ResetForLoad(file);
        state.ResumeTiming();
        if (file.load(g_mainWindow, file.path) != 1) {
            state.SkipWithError("the file did not load");
            break;
        }
    }
    state.counters["rows"] = RowCount(file.list);
}

void BenchConvertGameDateTime(benchmark::State& state)
{
    for (auto _ : state) {
        ConvertGameDateTime(L"11/23/2003 20:30");
        benchmark::DoNotOptimize(g_gameTimeText);
    }
    if (std::wcscmp(g_gameDateText, L"11/23") != 0)
        state.SkipWithError("the date did not convert");
}

void BenchConvertClockTime(benchmark::State& state)
{
    WCHAR clock[kClockChars];
    for (auto _ : state) {
        std::wcscpy(clock, L"13:00");
        benchmark::DoNotOptimize(ConvertClockTime(clock));
    }
}

// The cost of one scroll notification on the Standings page, 40 rows loaded.
void BenchPlaceDivisionHeaders(benchmark::State& state)
{
    ClearList(IDC_STANDINGS_LIST);
    LoadStandings(g_mainWindow, g_standingsPath);
    if (RowCount(IDC_STANDINGS_LIST) != 40) {
        state.SkipWithError("the standings list does not hold 40 rows");
        return;
    }
    for (auto _ : state)
        PlaceDivisionHeaders(g_mainWindow);
    state.counters["rows"] = RowCount(IDC_STANDINGS_LIST);
}

// What the window inspector's dump of the main window costs to make: all
// 32 controls, the 32 x 108 schedule table among them, written as JSON.
void BenchDumpMainWindow(benchmark::State& state)
{
    size_t bytes = 0;
    for (auto _ : state)
        bytes = platform::DescribeWindow(g_mainWindow, true).size();
    state.counters["chars"] = static_cast<double>(bytes);
}

// What the GUI thread does for the window station when it next waits after
// the program changed one cell of a list: the cost the inspector adds to
// every message while nobody asks it anything.
void BenchIdleAfterAMessage(benchmark::State& state)
{
    HWND list = GetDlgItem(g_mainWindow, IDC_STANDINGS_LIST);
    WCHAR text[] = L"14";
    LVITEMW cell = {};
    cell.iSubItem = 1;
    cell.pszText = text;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    for (auto _ : state) {
        SendMessageW(list, LVM_SETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&cell));
        emit dispatcher->aboutToBlock();
    }
}

// What a blocking call (each read of a download is one) costs the window
// station when nothing shown has changed since the last one.
void BenchBlockingCallsInARow(benchmark::State& state)
{
    for (auto _ : state)
        platform::BlockingCall call;
}

void RegisterBenchmarks()
{
    for (const FileLoad& file : kFileLoads)
        benchmark::RegisterBenchmark(file.name, BenchFileLoad, file)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ConvertGameDateTime", BenchConvertGameDateTime)->Unit(benchmark::kNanosecond);
    benchmark::RegisterBenchmark("ConvertClockTime", BenchConvertClockTime)->Unit(benchmark::kNanosecond);
    benchmark::RegisterBenchmark("PlaceDivisionHeaders", BenchPlaceDivisionHeaders)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("DumpMainWindow", BenchDumpMainWindow)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("IdleAfterAMessage", BenchIdleAfterAMessage)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BlockingCallsInARow", BenchBlockingCallsInARow)->Unit(benchmark::kMicrosecond);
}

// The console report, with each run's time per iteration kept for the targets.
class TargetReporter : public benchmark::ConsoleReporter {
public:
    TargetReporter() : ConsoleReporter(OO_Tabular) {}

    struct Result {
        std::string name;
        double ms;
        bool failed;
    };

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration)
                continue;
            double ms = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e3;
            results.push_back({run.benchmark_name(), ms, run.error_occurred});
        }
    }

    std::vector<Result> results;
};

// Prints each file load against its target.
void PrintLoadTargets(const TargetReporter& reporter)
{
    std::printf("\nTarget: each file load under %.0f ms\n", kLoadTargetMs);
    for (const FileLoad& file : kFileLoads) {
        const TargetReporter::Result* found = nullptr;
        for (const TargetReporter::Result& result : reporter.results)
            if (result.name == file.name)
                found = &result;
        if (!found) {
            std::printf("  %-18s  not run\n", file.name);
            continue;
        }
        bool met = !found->failed && found->ms < kLoadTargetMs;
        std::printf("  %-18s %8.3f ms  %s\n", file.name, found->ms, found->failed ? "failed" : met ? "met" : "not met");
    }
}

bool WaitUntilReady(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (platform::CursorName() != "none" && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return platform::CursorName() == "none";
}

// Runs the main window from its template with the benchmarks inside its
// loop once the loading stages are over; the window closes after them.
int RunInsideMainWindow()
{
    HRSRC resource = FindResourceW(g_instance, MAKEINTRESOURCEW(IDD_MAIN), RT_DIALOG);
    if (!resource)
        return 1;
    int status = 1;
    QTimer::singleShot(0, [&status] {
        if (WaitUntilReady(5000)) {
            TargetReporter reporter;
            benchmark::RunSpecifiedBenchmarks(&reporter);
            PrintLoadTargets(reporter);
            status = 0;
        } else {
            std::fprintf(stderr, "micro_bench: the main window never finished loading\n");
        }
        PostMessageW(g_mainWindow, WM_COMMAND, IDCANCEL, 0);
    });
    DialogBoxIndirectParamW(g_instance, static_cast<const DLGTEMPLATEW*>(LoadResource(g_instance, resource)), nullptr,
                            MainDialogProc, 0);
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const std::string home = MakeTempHome();
    if (home.empty()) {
        std::fprintf(stderr, "micro_bench: no temporary home\n");
        return 1;
    }
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    platform::SetProcessModule(&g_moduleResources);
    g_instance = GetModuleHandleW(nullptr);
    int status = 1;
    if (InstallSeason(home)) {
        RegisterBenchmarks();
        status = RunInsideMainWindow();
    } else {
        std::fprintf(stderr, "micro_bench: the 2003 season could not be installed\n");
    }
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(home, ignored);
    return status;
}
