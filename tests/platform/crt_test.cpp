#include "platform/platform.h"
#include "platform/testing.h"
#include "platform/text.h"
#include "tests/support/temp_home.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using CrtFileTest = TempHomeTest;

// Opens `path` through _wfopen and returns every piece fgets(…, 1024) reads.
std::vector<std::string> ReadPieces(const std::string& path)
{
    std::vector<std::string> pieces;
    FILE* file = _wfopen(platform::FromUtf8(path).c_str(), L"rt");
    EXPECT_NE(file, nullptr);
    char buffer[1024] = {};
    while (file && std::fgets(buffer, 1024, file) != nullptr) {
        pieces.push_back(buffer);
        buffer[0] = 0;
    }
    EXPECT_STREQ(buffer, "");  // the end leaves the cleared buffer as it was
    if (file)
        std::fclose(file);
    return pieces;
}

TEST(CrtErrorTest, LastErrorIsPerThread)
{
    SetLastError(ERROR_BADDB);
    DWORD seen = 1;
    std::thread([&] { seen = GetLastError(); SetLastError(ERROR_MORE_DATA); }).join();
    EXPECT_EQ(seen, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_BADDB);
}

TEST_F(CrtFileTest, LinesKeepCrLfAndLongLinesSplitAt1023)
{
    // Written in text mode through a non-ASCII path: line ends stay as given.
    std::string crlf = home + "/Équipes ü.dat";
    FILE* file = _wfopen(platform::FromUtf8(crlf).c_str(), L"wt");
    ASSERT_NE(file, nullptr);
    std::fputs("first\r\nlf\nlast", file);
    std::fclose(file);
    EXPECT_EQ(ReadPieces(crlf), (std::vector<std::string>{"first\r\n", "lf\n", "last"}));

    std::string line(1100, 'a');
    line[1022] = 'b';
    std::string fits(1021, 'x'), spills(1022, 'y');
    std::string path = WriteFile("long.dat", line + "\r\n" + fits + "\r\n" + spills + "\r\n");
    EXPECT_EQ(ReadPieces(path), (std::vector<std::string>{line.substr(0, 1023), std::string(77, 'a') + "\r\n",
                                                          fits + "\r\n", spills + "\r", "\n"}));
}

TEST_F(CrtFileTest, FailuresSetErrnoAndLastError)
{
    WriteFile("dir/present.dat", "");
    ASSERT_EQ(mkfifo((home + "/dir/fifo.dat").c_str(), 0600), 0);
    struct Case { std::string path; const wchar_t* mode; int error; DWORD code; };
    const Case cases[] = {
        {"dir/fifo.dat", L"r", EACCES, ERROR_ACCESS_DENIED},  // refused at once, never waited on
        {"dir/fifo.dat", L"w", ENXIO, 31},
        {"../../dev/zero", L"r", EACCES, ERROR_ACCESS_DENIED},  // a device: endless
        {"missing.dat", L"r", ENOENT, ERROR_FILE_NOT_FOUND},
        {"nodir/new.dat", L"w", ENOENT, ERROR_PATH_NOT_FOUND},
        {"dir/present.dat/below", L"r", ENOTDIR, ERROR_PATH_NOT_FOUND},
        {"dir", L"w", EISDIR, ERROR_ACCESS_DENIED},
        {"dir/present.dat", L"q", EINVAL, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        errno = 0;
        EXPECT_EQ(_wfopen(platform::FromUtf8(home + "/" + c.path).c_str(), c.mode), nullptr) << c.path;
        EXPECT_EQ(errno, c.error) << c.path;
        EXPECT_EQ(GetLastError(), c.code) << c.path;
    }
}

// Files written through handles: the whole text, flushed, then moved over
// another file by one rename with the folder synced, in that order.
class CrtHandleTest : public TempHomeTest {
protected:
    void TearDown() override
    {
        WatchCallsForTest(nullptr);
        ClearFaultsForTest();
        TempHomeTest::TearDown();
    }
    std::wstring Wide(const std::string& name) { return platform::FromUtf8(home + "/" + name); }
    // Writes `pieces` to a new file `name`; FALSE at the first failed step.
    BOOL WriteWhole(const std::string& name, const std::vector<std::string>& pieces)
    {
        HANDLE file = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return FALSE;
        BOOL ok = TRUE;
        for (const std::string& piece : pieces) {
            DWORD written = 0;
            ok = ok && ::WriteFile(file, piece.data(), static_cast<DWORD>(piece.size()), &written, nullptr);
            EXPECT_TRUE(!ok || written == piece.size());
        }
        ok = ok && FlushFileBuffers(file);
        DWORD error = GetLastError();
        BOOL closed = CloseHandle(file);
        if (ok)
            return closed;
        SetLastError(error);
        return FALSE;
    }
};

TEST_F(CrtHandleTest, WholeFileFlushedThenMovedOverTheOldOne)
{
    WriteFile("data/Standings.dat", "old");
    std::vector<std::string> order;
    WatchCallsForTest([&](const std::string& operation, const std::wstring& path) {
        order.push_back(operation + " " + platform::ToUtf8(path).substr(home.size()));
    });
    ASSERT_TRUE(WriteWhole("data/Standings.dat.part", {"new ", std::string(3, '\0'), "text\r\n"}));
    ASSERT_TRUE(MoveFileExW(Wide("data/Standings.dat.part").c_str(), Wide("data/Standings.dat").c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(ReadFile(home + "/data/Standings.dat"), "new " + std::string(3, '\0') + "text\r\n");
    EXPECT_FALSE(std::filesystem::exists(home + "/data/Standings.dat.part"));
    EXPECT_EQ(order, (std::vector<std::string>{"create /data/Standings.dat.part", "write /data/Standings.dat.part",
                                               "write /data/Standings.dat.part", "write /data/Standings.dat.part",
                                               "flush /data/Standings.dat.part", "close /data/Standings.dat.part",
                                               "move /data/Standings.dat", "sync folder /data"}));

    // Without write-through no folder sync; without replacing, an existing
    // target stays and so does the source.
    order.clear();
    WriteFile("data/other", "other");
    ASSERT_TRUE(MoveFileExW(Wide("data/other").c_str(), Wide("data/moved").c_str(), 0));
    EXPECT_EQ(order, (std::vector<std::string>{"move /data/moved"}));
    WriteFile("data/other", "again");
    EXPECT_FALSE(MoveFileExW(Wide("data/other").c_str(), Wide("data/moved").c_str(), MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(ReadFile(home + "/data/moved"), "other");
    EXPECT_EQ(ReadFile(home + "/data/other"), "again");
    ASSERT_TRUE(DeleteFileW(Wide("data/other").c_str()));
    EXPECT_FALSE(std::filesystem::exists(home + "/data/other"));
}

// Each step can fail with the system's code; a failed write has written
// part of its bytes, a failed close still lets the handle go.
TEST_F(CrtHandleTest, FailuresLeaveTheSystemsCode)
{
    struct Case {
        const char* step;
        int error;
        DWORD code;
        const char* left;  // what the file holds afterwards
    };
    const Case cases[] = {
        {"create", EACCES, ERROR_ACCESS_DENIED, nullptr},
        {"write", ENOSPC, ERROR_DISK_FULL, "abcdefgh1234"},
        {"write", EIO, 31, "abcdefgh1234"},
        {"flush", EIO, 31, "abcdefgh12345678"},
        {"close", EDQUOT, ERROR_DISK_FULL, "abcdefgh12345678"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.step) + " " + std::to_string(c.error));
        ClearFaultsForTest();
        FailCallForTest(c.step, std::string(c.step) == "write" ? 2 : 1, c.error);  // the first write goes through
        std::filesystem::remove(home + "/file");
        SetLastError(0);
        EXPECT_FALSE(WriteWhole("file", {"abcdefgh", "12345678"}));
        EXPECT_EQ(GetLastError(), c.code);
        EXPECT_EQ(std::filesystem::exists(home + "/file"), c.left != nullptr);
        if (c.left) {
            EXPECT_EQ(ReadFile(home + "/file"), c.left);
        }
    }
    ClearFaultsForTest();
    FailCallForTest("move", 1, EXDEV);
    WriteFile("old", "old");
    WriteFile("new", "new");
    EXPECT_FALSE(MoveFileExW(Wide("new").c_str(), Wide("old").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), 31u);
    EXPECT_EQ(ReadFile(home + "/old"), "old");
    ClearFaultsForTest();

    // Real failures: a missing folder or file, bad arguments, a stale handle.
    HANDLE missing = CreateFileW(Wide("nodir/file").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    EXPECT_EQ(missing, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(MoveFileExW(Wide("absent").c_str(), Wide("old").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(DeleteFileW(Wide("absent").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(CreateFileW(Wide("file").c_str(), GENERIC_WRITE, 0, nullptr, 3 /* OPEN_EXISTING */, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CreateFileW(Wide("file").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    HANDLE file = CreateFileW(Wide("file").c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(ReadFile(home + "/file"), "");
    DWORD written = 7;
    EXPECT_FALSE(::WriteFile(file, "x", 1, &written, nullptr));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_FALSE(FlushFileBuffers(nullptr));
}

// Temporary files: new and of a name no other writer uses, never made or
// opened through a link, and what a killed writer left removed by the next.
TEST_F(CrtHandleTest, TemporaryFilesAreNewAndLeftoversGo)
{
    std::filesystem::create_directories(home + "/data");
    const std::string target = WriteFile("precious.txt", "precious");
    const std::wstring folder = Wide("data");
    WCHAR first[260] = {}, second[260] = {};
    UINT number = GetTempFileNameW(folder.c_str(), L"Standings", 0, first);
    ASSERT_NE(number, 0u);
    char expected[32];
    std::snprintf(expected, sizeof expected, "/data/Sta%X.TMP", number);
    EXPECT_EQ(platform::ToUtf8(first), home + expected);
    EXPECT_EQ(ReadFile(platform::ToUtf8(first)), "");
    ASSERT_NE(GetTempFileNameW(folder.c_str(), L"Standings", 0, second), 0u);
    EXPECT_NE(std::wstring(first), std::wstring(second));  // two writers at once

    // The file made is the one written; a link or another file put in its
    // place is refused, and its target left alone.
    std::filesystem::remove(platform::ToUtf8(second));
    std::filesystem::create_symlink(target, platform::ToUtf8(second));
    EXPECT_EQ(CreateFileW(second, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    std::filesystem::remove(platform::ToUtf8(second));
    std::filesystem::create_hard_link(target, platform::ToUtf8(second));
    EXPECT_EQ(CreateFileW(second, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileW(second, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadFile(target), "precious");
    HANDLE file = CreateFileW(first, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(file));

    // A writer killed part way leaves its file; the next writer removes it,
    // and links planted at names of that form, but never a file that a
    // running writer holds.
    pid_t holder = fork();
    if (holder == 0) {
        WCHAR name[260];
        GetTempFileNameW(folder.c_str(), L"Standings", 0, name);
        pause();
        _exit(0);
    }
    pid_t killed = fork();
    if (killed == 0) {
        WCHAR name[260];
        _exit(GetTempFileNameW(folder.c_str(), L"Standings", 0, name) ? 0 : 1);
    }
    int status = 0;
    waitpid(killed, &status, 0);
    for (int i = 0; i < 200 && std::distance(std::filesystem::directory_iterator(home + "/data"), {}) < 4; ++i)
        usleep(10 * 1000);  // until the holder has made its file
    std::filesystem::create_symlink(target, home + "/data/StaFFFF.TMP");
    WriteFile("data/Stack.TMP", "not a temporary name");
    WCHAR third[260] = {};
    ASSERT_NE(GetTempFileNameW(folder.c_str(), L"Standings", 0, third), 0u);
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(home + "/data"))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names.size(), 5u);  // ours (first, the hard link, third), the holder's, Stack.TMP
    EXPECT_TRUE(names.count("Stack.TMP"));
    EXPECT_FALSE(names.count("StaFFFF.TMP"));
    kill(holder, SIGKILL);
    waitpid(holder, &status, 0);
    WCHAR fourth[260] = {};
    ASSERT_NE(GetTempFileNameW(folder.c_str(), L"Standings", 0, fourth), 0u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home + "/data"), {}), 5);  // the holder's is gone
    EXPECT_EQ(ReadFile(target), "precious");
    for (const WCHAR* name : {first, second, third, fourth})
        EXPECT_TRUE(DeleteFileW(name));

    // A folder too long for a name of 260 characters.
    WCHAR name[260];
    EXPECT_EQ(GetTempFileNameW(std::wstring(250, L'x').c_str(), L"Sta", 0, name), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
}

TEST(CrtWtoiTest, SignDigitsAndClamping)
{
    struct Case { const wchar_t* text; int value; };
    const Case cases[] = {
        {L"42", 42}, {L" \t\r\n-17", -17}, {L"+8", 8}, {L"12ab", 12}, {L"3.9", 3}, {L"- 5", 0}, {L"--5", 0},
        {L"", 0}, {L"2147483647", INT_MAX}, {L"2147483648", INT_MAX}, {L"99999999999999999999", INT_MAX},
        {L"-2147483648", INT_MIN}, {L"-2147483649", INT_MIN}, {L"-99999999999999999999", INT_MIN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(_wtoi(c.text), c.value) << testing::PrintToString(std::wstring(c.text));
    EXPECT_EQ(_wtoi(nullptr), 0);
}

TEST(CrtWsprintfTest, Conversions)
{
    wchar_t out[1024];
    auto run = [&out](auto... args) {
        int count = wsprintfW(out, args...);
        EXPECT_EQ(count, static_cast<int>(std::wcslen(out)));
        return std::wstring(out);
    };
    EXPECT_EQ(run(L"%d %i %u %x", -12, INT_MIN, -1, 255), L"-12 -2147483648 4294967295 ff");
    EXPECT_EQ(run(L"%c[%s][%ls]", L'Q', L"Bears", L"Lions"), L"Q[Bears][Lions]");
    EXPECT_EQ(run(L"%hs", "caf\xe9 \x80"), L"caf\u00e9 \u20ac");
    EXPECT_EQ(run(L"%s/%hs", static_cast<wchar_t*>(nullptr), static_cast<char*>(nullptr)), L"(null)/(null)");
    EXPECT_EQ(run(L"%d%% %q %", 100), L"100% %q %");
    EXPECT_EQ(run(L"[%5d][%-3d][%.2s] %s", 42, 7, L"Bears", L"ok"), L"[   42][7  ][Be] ok");
}

TEST(CrtWsprintfTest, OutputStopsAt1024Characters)
{
    std::wstring text(2000, L'z');
    std::vector<wchar_t> out(1100, L'#');
    EXPECT_EQ(wsprintfW(out.data(), L"%s", text.c_str()), 1023);
    EXPECT_EQ(out[1022], L'z');
    EXPECT_EQ(out[1023], L'\0');
    EXPECT_EQ(out[1024], L'#');
}

TEST(CrtSleepTest, WaitsAtLeastTheTimeGiven)
{
    auto start = std::chrono::steady_clock::now();
    Sleep(30);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    Sleep(0);
}

}  // namespace
