// The test seams: faults set by tests, each failing the Nth matching call
// once or from then on; the watcher that hears every call that can fail;
// the clock's speed. The shipped program sets none of them.
//
// Divisions: faults and the watcher, the clock.

#include "platform/seams.h"

#include "platform/testing.h"
#include "platform/text.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace platform {

namespace {

struct FaultEntry {
    std::string operation;  // the call that fails
    std::string file;       // the start of the file name it is on; empty for any
    int nth;                // which matching call fails first (1: the next one)
    int error;              // the system error number it fails with
    Fault repeat;           // once, or from then on
    int seen = 0;           // matching calls so far
};

std::mutex g_seamMutex;
std::vector<FaultEntry> g_faults;
CallWatcher g_watcher;
// The clock: platform time runs `speed` times as fast as real time since
// the real moment `since`, when it read `at`; a change of speed never makes
// it jump.
std::atomic<int> g_speed{1};
std::mutex g_clockMutex;
Clock::time_point g_since = Clock::now();
Clock::time_point g_at = g_since;

bool Matches(const FaultEntry& fault, const char* operation, const std::string& path)
{
    std::string name = path.substr(path.rfind('/') + 1);
    return fault.operation == operation && name.rfind(fault.file, 0) == 0;
}

}  // namespace

int CallSeam(const char* operation, const std::string& path)
{
    CallWatcher watcher;
    int error = 0;
    {
        std::lock_guard<std::mutex> lock(g_seamMutex);
        watcher = g_watcher;
        for (FaultEntry& fault : g_faults) {
            if (!Matches(fault, operation, path))
                continue;
            ++fault.seen;
            if (fault.seen == fault.nth || (fault.repeat == Fault::FromThenOn && fault.seen > fault.nth))
                error = error ? error : fault.error;
        }
    }
    if (watcher)
        watcher(operation, FromUtf8(path));
    return error;
}

// The clock

Clock::time_point Now()
{
    std::lock_guard<std::mutex> lock(g_clockMutex);
    return g_at + (Clock::now() - g_since) * g_speed.load();
}

int RealMs(long long platformMs)
{
    if (platformMs <= 0)
        return 0;
    long long real = platformMs / g_speed.load();
    return static_cast<int>(real > 0 ? real : 1);
}

}  // namespace platform

void FailCallForTest(const std::string& operation, int nth, int error, Fault repeat, const std::string& file)
{
    std::lock_guard<std::mutex> lock(platform::g_seamMutex);
    platform::g_faults.push_back({operation, file, nth, error, repeat});
}

void ClearFaultsForTest()
{
    std::lock_guard<std::mutex> lock(platform::g_seamMutex);
    platform::g_faults.clear();
}

void WatchCallsForTest(CallWatcher watcher)
{
    std::lock_guard<std::mutex> lock(platform::g_seamMutex);
    platform::g_watcher = std::move(watcher);
}

void SetClockSpeedForTest(int factor)
{
    platform::Clock::time_point now = platform::Now();
    std::lock_guard<std::mutex> lock(platform::g_clockMutex);
    platform::g_at = now;
    platform::g_since = platform::Clock::now();
    platform::g_speed = factor > 0 ? factor : 1;
}
