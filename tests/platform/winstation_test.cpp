// The window station: its private directory, stale sockets, refusal of
// other users, and windows found by caption in and across processes.

#include "platform/gdi.h"
#include "platform/testing.h"
#include "platform/winstation.h"
#include "tests/support/temp_home.h"

#include <QApplication>
#include <QTimer>

#include <cstring>
#include <thread>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class WinStationTest : public TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        static int argc = 1;
        static char name[] = "winstation_test";
        static char* argv[] = {name, nullptr};
        if (!qApp) {
            platform::StartFontWarmUp();  // as the program's start does
            new QApplication(argc, argv);
        }
    }
};

const DLGTEMPLATEW kEmptyDialog = {WS_POPUP | WS_CAPTION, 0, 0, 0, 100, 80, L"Station Test", 8, L"MS Sans Serif", 0, nullptr};

// Binds a socket and closes it without listening: what a crashed copy leaves.
void LeaveStaleSocket(const std::string& path)
{
    int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
}

TEST_F(WinStationTest, DirectoryIsPrivateToTheUser)
{
    std::string dir = runtimeDir + "/corvale";
    mkdir(dir.c_str(), 0755);
    ASSERT_EQ(platform::StationDirectory(), dir);
    struct stat info{};
    ASSERT_EQ(stat(dir.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

// A link at the folder's name is never used: the station moves to a
// private folder under the home, named for the host.
TEST_F(WinStationTest, DirectoryThatIsALinkIsRefused)
{
    std::string elsewhere = home + "/elsewhere";
    mkdir(elsewhere.c_str(), 0700);
    ASSERT_EQ(symlink(elsewhere.c_str(), (runtimeDir + "/corvale").c_str()), 0);
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    std::string refused;
    EXPECT_EQ(platform::StationDirectory(&refused), home + "/.cache/corvale/station-" + host);
    EXPECT_EQ(refused, runtimeDir + "/corvale");
    struct stat info{};
    ASSERT_EQ(lstat((home + "/.cache/corvale/station-" + host).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    unsetenv("HOME");
    EXPECT_EQ(platform::StationDirectory(), "");  // no home: no station
}

TEST_F(WinStationTest, StaleSocketsAreCleanedAway)
{
    std::string dir = platform::StationDirectory();
    std::string stale = dir + "/999999.sock";
    LeaveStaleSocket(stale);
    // A refusing socket of a process that still runs may be one that is
    // about to listen: it stays.
    std::string starting = dir + "/" + std::to_string(getppid()) + ".sock";
    LeaveStaleSocket(starting);
    EXPECT_TRUE(platform::StationListAll(false).empty());
    EXPECT_NE(access(stale.c_str(), F_OK), 0);
    EXPECT_EQ(access(starting.c_str(), F_OK), 0);
}

// A peer's answer far above the 16 MiB of old (a window holding hundreds
// of thousands of list rows) arrives whole.
TEST_F(WinStationTest, LargeAnswersArriveWhole)
{
    std::string path = platform::StationDirectory() + "/" + std::to_string(getpid()) + ".sock";
    int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    const std::string answer = "ok\n" + std::string(40 << 20, 'r') + "\n";
    std::thread peer([&] {
        int client = accept(listener, nullptr, nullptr);
        char request[256];
        (void)!recv(client, request, sizeof request, 0);
        for (size_t sent = 0; sent < answer.size();) {
            ssize_t n = send(client, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<size_t>(n);
        }
        close(client);
    });
    std::string reply;
    size_t oversize = 0;
    EXPECT_TRUE(platform::StationRequest(getpid(), "dump\t1", reply, 5000, nullptr, &oversize));
    EXPECT_TRUE(reply == answer);
    EXPECT_EQ(oversize, 0u);
    peer.join();
    close(listener);
}

// A dialog whose procedure ends it with 7 on its first timer tick.
INT_PTR EndOnCommand(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(window, 7);
        return 1;
    }
    return message == WM_INITDIALOG;
}

TEST_F(WinStationTest, DialogIsFoundByExactCaptionWhileItRuns)
{
    HWND found = nullptr;
    HWND prefix = reinterpret_cast<HWND>(1);
    QTimer::singleShot(50, [&] {
        found = FindWindowW(nullptr, L"Station Test");
        prefix = FindWindowW(nullptr, L"Station");
        PostMessageW(found, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &kEmptyDialog, nullptr, EndOnCommand, 0), 7);
    EXPECT_NE(found, nullptr);
    EXPECT_EQ(prefix, nullptr);
    EXPECT_EQ(FindWindowW(nullptr, L"Station Test"), nullptr);  // gone once ended
}

// A station that cannot listen (its socket's call refused through the
// seam) says so once on standard error; the window still runs, with no
// socket through which other processes could see it.
TEST_F(WinStationTest, StationThatCannotListenSaysSoAndTheWindowRuns)
{
    FailCallForTest("listen", 1, EADDRINUSE, Fault::FromThenOn);
    bool unseen = false;
    QTimer::singleShot(50, [&] {
        unseen = access((platform::StationDirectory() + "/" + std::to_string(getpid()) + ".sock").c_str(), F_OK) != 0;
        PostMessageW(FindWindowW(nullptr, L"Station Test"), WM_COMMAND, IDCANCEL, 0);
    });
    testing::internal::CaptureStderr();
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &kEmptyDialog, nullptr, EndOnCommand, 0), 7);
    std::string said = testing::internal::GetCapturedStderr();
    ClearFaultsForTest();
    EXPECT_NE(said.find("no window station (" + std::string(std::strerror(EADDRINUSE))), std::string::npos) << said;
    EXPECT_TRUE(unseen);
}

TEST_F(WinStationTest, ListServesOtherProcessesAndRefusesOtherUsers)
{
    std::string listing;
    std::string refused = "unset";
    QTimer::singleShot(50, [&] {
        std::string dir = platform::StationDirectory();
        std::string socketPath = dir + "/" + std::to_string(getpid()) + ".sock";
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        pid_t child = fork();
        if (child == 0) {
            // Another process of the same user lists our windows.
            std::vector<platform::StationWindow> windows = platform::StationListAll(false);
            std::string line = windows.empty() ? "none" : std::string(windows[0].caption.begin(), windows[0].caption.end());
            (void)!write(pipeFds[1], line.data(), line.size());
            _exit(0);
        }
        close(pipeFds[1]);
        // The server answers only once the event loop runs again: let it.
        while (waitpid(child, nullptr, WNOHANG) == 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        char buffer[256] = {};
        (void)!read(pipeFds[0], buffer, sizeof buffer - 1);
        close(pipeFds[0]);
        listing = buffer;

        if (getuid() == 0) {
            // Another user: open the way to the socket, then connect as nobody.
            for (const std::string& step : {home, runtimeDir, dir})
                chmod(step.c_str(), 0755);
            chmod(socketPath.c_str(), 0777);
            pid_t other = fork();
            if (other == 0) {
                if (setuid(65534) != 0)
                    _exit(3);
                int fd = socket(AF_UNIX, SOCK_STREAM, 0);
                sockaddr_un address{};
                address.sun_family = AF_UNIX;
                std::strcpy(address.sun_path, socketPath.c_str());
                if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
                    _exit(4);
                // The station may already have hung up: no SIGPIPE.
                (void)!send(fd, "list\n", 5, MSG_NOSIGNAL);
                char reply[64];
                ssize_t n = read(fd, reply, sizeof reply);
                _exit(n > 0 ? 1 : 0);  // 0: closed without an answer
            }
            int status = 0;
            while (waitpid(other, &status, WNOHANG) == 0)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            refused = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "refused" : "answered " + std::to_string(WEXITSTATUS(status));
        } else {
            refused = "refused";  // not root: another user cannot be played here
        }
        PostMessageW(FindWindowW(nullptr, L"Station Test"), WM_COMMAND, IDCANCEL, 0);
    });
    DialogBoxIndirectParamW(nullptr, &kEmptyDialog, nullptr, EndOnCommand, 0);
    EXPECT_EQ(listing, "Station Test");
    EXPECT_EQ(refused, "refused");
}

TEST_F(WinStationTest, MessageBoxHookAnswersWithoutShowing)
{
    std::wstring seenText, seenCaption;
    UINT seenType = 0;
    SetMessageBoxHookForTest([&](const std::wstring& text, const std::wstring& caption, UINT type) {
        seenText = text;
        seenCaption = caption;
        seenType = type;
        return IDOK;
    });
    EXPECT_EQ(MessageBoxW(nullptr, L"line one\n\nline two", L"Corvale", MB_OK | MB_ICONHAND), IDOK);
    SetMessageBoxHookForTest(nullptr);
    EXPECT_EQ(seenText, L"line one\n\nline two");
    EXPECT_EQ(seenCaption, L"Corvale");
    EXPECT_EQ(seenType, 0x10u);
}

}  // namespace
