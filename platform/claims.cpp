// Claims on captions: finding a window by caption and making one are one
// step across the user's processes.

#include "platform/os.h"
#include "platform/text.h"
#include "platform/winstation.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace platform {

// A caption held by one process of the user from the moment it
// looks for a window of that caption until it has made one (or waits for
// events), so that two processes never both find none and both make one.
// One lock file a caption in the station's folder; a process that ends
// lets go of its claims with its descriptors.

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kClaimMs = 5000;  // longest wait for another process's claim
constexpr int kClaimPollMs = 2;

std::map<std::wstring, int> g_claims;  // captions this process holds; GUI thread only

std::string ClaimPath(const std::string& dir, const std::wstring& caption)
{
    uint64_t hash = 1469598103934665603ull;  // FNV-1a over the caption's UTF-8
    for (unsigned char c : ToUtf8(caption))
        hash = (hash ^ c) * 1099511628211ull;
    char name[32];
    std::snprintf(name, sizeof name, "claim-%016llx.lock", static_cast<unsigned long long>(hash));
    return dir + "/" + name;
}

// The process that wrote its ID into a claim file, or 0.
int ClaimHolder(int fd, const std::string& path)
{
    char text[16] = {};
    return os::ReadAt(fd, path, text, sizeof text - 1, 0) > 0 ? static_cast<int>(std::strtol(text, nullptr, 10)) : 0;
}

}  // namespace

bool StationClaim(const std::wstring& caption, int* holder)
{
    if (holder)
        *holder = 0;
    if (g_claims.count(caption))
        return true;
    std::string dir = StationDirectory();
    if (dir.empty())
        return true;  // no station: nothing to coordinate with
    std::string path = ClaimPath(dir, caption);
    int fd = os::Open(path, O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return true;
    auto deadline = Clock::now() + std::chrono::milliseconds(kClaimMs);
    while (os::Lock(fd, path, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || Clock::now() >= deadline) {
            if (holder)
                *holder = ClaimHolder(fd, path);
            os::Close(fd, path);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kClaimPollMs));
    }
    std::string pid = std::to_string(getpid());
    if (os::Truncate(fd, path) == 0)
        (void)!os::WriteAt(fd, path, pid.data(), pid.size(), 0);
    g_claims[caption] = fd;
    return true;
}

void StationRelease(const std::wstring& caption)
{
    auto found = g_claims.find(caption);
    if (found == g_claims.end())
        return;
    os::Close(found->second, "claim");
    g_claims.erase(found);
}

void StationReleaseAll()
{
    for (const auto& claim : g_claims)
        os::Close(claim.second, "claim");
    g_claims.clear();
}

bool SameProgram(int pid)
{
    char own[4096] = {}, other[4096] = {};
    ssize_t a = readlink("/proc/self/exe", own, sizeof own - 1);
    ssize_t b = readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), other, sizeof other - 1);
    return a > 0 && a == b && std::strcmp(own, other) == 0;
}

}  // namespace platform
