#include <cstring>
#include "platform/platform.h"
#include "platform/testing.h"
#include "tests/support/temp_home.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const WCHAR kKey[] = L"Software\\Tamrock\\Ravelock";
const std::string kSection = "[HKEY_LOCAL_MACHINE\\Software\\Tamrock\\Ravelock]\n";

class RegistryTest : public TempHomeTest {
protected:
    void TearDown() override
    {
        ClearFaultsForTest();
        TempHomeTest::TearDown();
    }

    std::string RegPath() const { return configDir + "/corvale/registry.reg"; }
    void WriteRegistry(const std::string& text) { WriteFile("config/corvale/registry.reg", text); }

    std::set<std::string> FilesBesideRegistry() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(configDir + "/corvale"))
            names.insert(entry.path().filename().string());
        return names;
    }
};

HKEY Create(LPCWSTR path = kKey, DWORD* disposition = nullptr)
{
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, 0, nullptr, &key, disposition), ERROR_SUCCESS);
    return key;
}

LONG SetText(HKEY key, LPCWSTR name, const std::wstring& text)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), (text.size() + 1) * sizeof(WCHAR));
}

LONG SetNumber(HKEY key, LPCWSTR name, DWORD number)
{
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
}

// A value of kKey through a fresh handle: its text, "dword N", or "error N".
std::wstring Read(LPCWSTR name, LPCWSTR path = kKey)
{
    HKEY key = nullptr;
    LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, 0, &key);
    WCHAR buffer[256] = {};
    DWORD type = 0, size = sizeof buffer;
    if (status == ERROR_SUCCESS)
        status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return L"error " + std::to_wstring(status);
    if (type == REG_DWORD) {
        DWORD number = 0;
        std::memcpy(&number, buffer, sizeof number);
        return L"dword " + std::to_wstring(number);
    }
    return buffer;
}

TEST_F(RegistryTest, RoundTripsTextAndNumbersThroughRegedit4File)
{
    HKEY key = Create();
    EXPECT_EQ(SetText(key, L"Install", L"C:\\Corvale \"2003\""), ERROR_SUCCESS);
    EXPECT_EQ(SetNumber(key, L"Team", 5), ERROR_SUCCESS);
    EXPECT_EQ(SetText(key, L"OffSet", L"-3"), ERROR_SUCCESS);
    EXPECT_EQ(SetText(key, L"Name", L"Jürgen’s ✓"), ERROR_SUCCESS);
    EXPECT_EQ(SetText(key, L"Lines", L"two\nlines"), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    EXPECT_EQ(Read(L"Install"), L"C:\\Corvale \"2003\"");
    EXPECT_EQ(Read(L"Team"), L"dword 5");
    EXPECT_EQ(Read(L"Name"), L"Jürgen’s ✓");
    EXPECT_EQ(Read(L"Lines"), L"two\nlines");
    EXPECT_EQ(ReadFile(RegPath()), "REGEDIT4\n\n" + kSection +
                                       "\"Install\"=\"C:\\\\Corvale \\\"2003\\\"\"\n"
                                       "\"Team\"=dword:00000005\n"
                                       "\"OffSet\"=\"-3\"\n"
                                       "\"Name\"=\"Jürgen’s ✓\"\n"
                                       "\"Lines\"=hex(1):74,77,6f,0a,6c,69,6e,65,73\n");
}

// The values set through one open key are seen at once by this process and
// reach the disk together, in one replace, when the key is closed: a writer
// killed before that leaves the old file whole.
TEST_F(RegistryTest, ValuesSetThroughOneKeyReachTheDiskTogether)
{
    HKEY key = Create();
    SetText(key, L"OffSet", L"0");
    SetNumber(key, L"Team", 1);
    RegCloseKey(key);
    const std::string before = ReadFile(RegPath());
    key = Create();
    EXPECT_EQ(SetText(key, L"OffSet", L"-3"), ERROR_SUCCESS);
    EXPECT_EQ(SetNumber(key, L"Index", 4), ERROR_SUCCESS);
    EXPECT_EQ(SetNumber(key, L"Team", 5), ERROR_SUCCESS);
    EXPECT_EQ(Read(L"OffSet"), L"-3");
    EXPECT_EQ(Read(L"Team"), L"dword 5");
    EXPECT_EQ(ReadFile(RegPath()), before);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(RegPath()), "REGEDIT4\n\n" + kSection + "\"OffSet\"=\"-3\"\n\"Team\"=dword:00000005\n\"Index\"=dword:00000004\n");

    // A new key reaches the disk with its values, not before them.
    key = Create(L"Software\\Fresh");
    EXPECT_EQ(SetNumber(key, L"Team", 9), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(RegPath()).find("Fresh"), std::string::npos);
    EXPECT_EQ(Read(L"Team", L"Software\\Fresh"), L"dword 9");
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_NE(ReadFile(RegPath()).find("[HKEY_LOCAL_MACHINE\\Software\\Fresh]\n\"Team\"=dword:00000009\n"), std::string::npos);
}

// Temporary names are never opened through a link planted at them, and a
// temporary file a killed writer left is removed by the next writer.
TEST_F(RegistryTest, TemporaryFilesAreNewAndLeftoversGo)
{
    WriteRegistry("REGEDIT4\n\n" + kSection + "\"Team\"=dwo\n");
    const std::string target = WriteFile("precious.txt", "precious");
    for (const char* name : {"registry.reg.lock", "registry.reg.damaged"})
        fs::create_symlink(target, configDir + "/corvale/" + name);
    WriteFile("config/corvale/reg1.TMP", "left by a killed writer");
    HKEY key = Create();
    EXPECT_EQ(SetNumber(key, L"Team", 3), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(target), "precious");
    EXPECT_EQ(Read(L"Team"), L"dword 3");
    EXPECT_EQ(ReadFile(RegPath() + ".damaged.1"), "REGEDIT4\n\n" + kSection + "\"Team\"=dwo\n");
    EXPECT_EQ(FilesBesideRegistry(), (std::set<std::string>{"registry.reg", "registry.reg.lock", "registry.reg.damaged",
                                                            "registry.reg.damaged.1"}));
    EXPECT_FALSE(fs::is_symlink(RegPath() + ".lock"));
}

TEST_F(RegistryTest, TextIsCutAtFirstNulOrByteCount)
{
    struct Case {
        std::wstring text;
        DWORD size;
        const WCHAR* stored;
    } cases[] = {
        {L"-2", 6, L"-"},  // only whole characters within the byte count
        {L"-12", 2 * sizeof(WCHAR), L"-1"},
        {L"-2", 3 * sizeof(WCHAR), L"-2"},
        {L"-2", 2 * sizeof(WCHAR), L"-2"},
        {std::wstring(L"ab\0cd", 5), 6 * sizeof(WCHAR), L"ab"},
        {L"x", 0, L""},
    };
    HKEY key = Create();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "size " << c.size);
        EXPECT_EQ(RegSetValueExW(key, L"OffSet", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.text.c_str()), c.size), ERROR_SUCCESS);
        EXPECT_EQ(Read(L"OffSet"), c.stored);
    }
    DWORD number = 7;
    EXPECT_EQ(RegSetValueExW(key, L"Team", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 3), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Read(L"Team"), L"error 2");
    RegCloseKey(key);
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepFirstSpelling)
{
    HKEY key = Create();
    SetText(key, L"OffSet", L"-3");
    RegCloseKey(key);
    DWORD disposition = 0;
    key = Create(L"SOFTWARE\\tamrock\\RAVELOCK", &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    EXPECT_EQ(SetText(key, L"OFFSET", L"4"), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(Read(L"offset", L"software\\TAMROCK\\ravelock"), L"4");
    EXPECT_EQ(ReadFile(RegPath()), "REGEDIT4\n\n" + kSection + "\"OffSet\"=\"4\"\n");
}

TEST_F(RegistryTest, MissingKeysValuesAndBadArguments)
{
    HKEY key = reinterpret_cast<HKEY>(16);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, 0, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_FALSE(fs::exists(configDir + "/corvale"));  // reading creates nothing

    WriteRegistry("");
    EXPECT_EQ(Read(L"Team"), L"error 2");
    DWORD disposition = 0;
    key = Create(kKey, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    EXPECT_FALSE(fs::exists(RegPath() + ".damaged"));  // an empty file is not damage
    EXPECT_EQ(Read(L"Team"), L"error 2");
    HKEY other = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Tamrock", 0, 0, &other), ERROR_SUCCESS);  // a parent exists
    EXPECT_EQ(RegCloseKey(other), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExW(key, L"Sub", 0, 0, &other), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\\\X", 0, nullptr, 0, 0, nullptr, &other, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(SetText(key, L"Bad\nName", L"x"), ERROR_INVALID_PARAMETER);

    DWORD reserved = 0, size = 0;
    BYTE data[8];
    EXPECT_EQ(RegQueryValueExW(key, L"Team", &reserved, nullptr, nullptr, &size), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExW(key, L"Team", nullptr, nullptr, data, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, SmallBufferGetsMoreDataAndNeededSize)
{
    HKEY key = Create();
    SetText(key, L"Install", L"/home/user");
    SetNumber(key, L"Team", 9);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"Install", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 11 * sizeof(WCHAR));

    WCHAR text[11] = {L'x', L'x', L'x', L'x'};
    size = 10 * sizeof(WCHAR);
    EXPECT_EQ(RegQueryValueExW(key, L"Install", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 11 * sizeof(WCHAR));
    EXPECT_EQ(std::wstring(text), L"xxxx");
    EXPECT_EQ(RegQueryValueExW(key, L"Install", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(text), L"/home/user");

    BYTE two[2] = {};
    size = 2;
    EXPECT_EQ(RegQueryValueExW(key, L"Team", nullptr, &type, two, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    RegCloseKey(key);
}

// The file is read once for a run of queries while it stays as it was, and
// again at the first query after it changed elsewhere.
TEST_F(RegistryTest, ReadsFileOnceUntilItChangesElsewhere)
{
    WriteRegistry("\xEF\xBB\xBFREGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\TAMROCK\\RAVELOCK]\r\n"
                  "\"Install\"=\"/a \\\"b\\\" \\\\c\"\r\n\"Team\"=dword:0000001F\r\n@=\"default\"\r\n\"Blob\"=hex:01,ff\r\n");
    // A file changed in the last few milliseconds is always read again:
    // the queries below come once it is older than that.
    auto ageMs = [this] {
        struct stat info{};
        timespec now{};
        stat(RegPath().c_str(), &info);
        clock_gettime(CLOCK_REALTIME, &now);
        return (now.tv_sec - info.st_ctim.tv_sec) * 1000 + (now.tv_nsec - info.st_ctim.tv_nsec) / 1000000;
    };
    while (ageMs() < 25)
        usleep(2000);
    int reads = 0;
    WatchCallsForTest([&reads](const std::string& operation, const std::wstring& path) {
        reads += operation == "open" && path.ends_with(L"/registry.reg");
    });
    EXPECT_EQ(Read(L"Install"), L"/a \"b\" \\c");
    EXPECT_EQ(Read(L"Team"), L"dword 31");
    EXPECT_EQ(Read(nullptr), L"default");
    WatchCallsForTest(nullptr);
    EXPECT_EQ(reads, 1);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, 0, &key), ERROR_SUCCESS);
    WriteRegistry("REGEDIT4\n\n" + kSection + "\"Team\"=dword:00000002\n\"Blob\"=hex:01,ff\n");
    DWORD team = 0, size = sizeof team;
    EXPECT_EQ(RegQueryValueExW(key, L"Team", nullptr, nullptr, reinterpret_cast<BYTE*>(&team), &size), ERROR_SUCCESS);
    EXPECT_EQ(team, 2u);
    EXPECT_EQ(SetText(key, L"OffSet", L"1"), ERROR_SUCCESS);
    EXPECT_EQ(RegFlushKey(key), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(RegPath()), "REGEDIT4\n\n" + kSection + "\"Team\"=dword:00000002\n\"Blob\"=hex:01,ff\n\"OffSet\"=\"1\"\n");
    RegCloseKey(key);
}

// A file longer than one read: its last byte, alone in the second read,
// still counts.
TEST_F(RegistryTest, FileOfOneByteMoreThanAReadIsReadWhole)
{
    std::string text = "REGEDIT4\n\n" + kSection;
    const std::string last = "\"Team\"=dword:00000007";
    for (int i = 0; text.size() + last.size() < 65537; ++i) {
        size_t room = 65537 - last.size() - text.size();
        std::string name = "\"P" + std::to_string(i) + "\"=\"";
        size_t fill = std::min<size_t>(90, room > name.size() + 2 ? room - name.size() - 2 : 0);
        text += name + std::string(fill, 'x') + "\"\n";
    }
    text += last;
    ASSERT_EQ(text.size(), 65537u);
    WriteRegistry(text);
    EXPECT_EQ(Read(L"Team"), L"dword 7");
    EXPECT_EQ(Read(L"P0"), std::wstring(90, L'x'));
}

TEST_F(RegistryTest, DamagedLinesReadAsMissingAndOriginalIsKeptOnWrite)
{
    const std::string header = "REGEDIT4\n\n";
    const std::string good = "\"Install\"=\"/opt/corvale\"\n";
    const char garbage[] = "\x01\xff\0\x7f\"Team\"=\"1\"\n";
    struct Case {
        const char* what;
        std::string text;
        const WCHAR* team;
    } cases[] = {
        {"cut in half", header + kSection + good + "\"Team\"=dwo", L"error 2"},
        {"cut number", header + kSection + "\"Team\"=dword:0000\n" + good, L"error 2"},
        {"missing quote", header + kSection + "\"Team\"=\"5\n" + good, L"error 2"},
        {"bad hex", header + kSection + "\"Team\"=hex:0g\n" + good, L"error 2"},
        {"garbage", header + kSection + std::string(garbage, sizeof garbage - 1) + good, L"error 2"},
        {"invalid utf-8", header + kSection + "\"Team\"=\"\xc3\x28\"\n" + good, L"error 2"},
        {"value before key", header + "\"Team\"=dword:00000005\n" + kSection + good, L"error 2"},
        {"repeated value", header + kSection + "\"Team\"=dword:00000001\n\"TEAM\"=dword:00000005\n" + good, L"dword 5"},
        {"no header", kSection + good + "\"Team\"=dword:00000005\n", L"dword 5"},
        {"very long line", header + kSection + "\"Team\"=\"" + std::string((1 << 20) + 1, '\\') + "\"\n" + good, L"error 2"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteRegistry(c.text);
        EXPECT_EQ(Read(L"Install"), L"/opt/corvale");
        EXPECT_EQ(Read(L"Team"), c.team);

        HKEY key = Create();
        EXPECT_EQ(SetText(key, L"OffSet", L"-3"), ERROR_SUCCESS);
        EXPECT_EQ(RegFlushKey(key), ERROR_SUCCESS);
        // Each case's original lands beside the earlier ones: .damaged, .damaged.1, ...
        std::string kept = RegPath() + ".damaged" + (n ? "." + std::to_string(n) : "");
        EXPECT_EQ(ReadFile(kept), c.text);
        EXPECT_EQ(Read(L"Install"), L"/opt/corvale");
        EXPECT_EQ(Read(L"OffSet"), L"-3");
        EXPECT_EQ(SetText(key, L"OffSet", L"-4"), ERROR_SUCCESS);  // the new file is clean
        EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
        EXPECT_FALSE(fs::exists(RegPath() + ".damaged." + std::to_string(++n)));
    }
}

TEST_F(RegistryTest, FailedWriteLeavesOldFileIntact)
{
    const std::string damaged = "REGEDIT4\n\n" + kSection + "\"OffSet\"=\"-3\"\n\"Team\"=dwo\n";
    for (bool isDamaged : {false, true}) {
        SCOPED_TRACE(isDamaged ? "damaged file" : "clean file");
        HKEY key = Create();
        if (isDamaged)
            WriteRegistry(damaged);
        else
            SetText(key, L"OffSet", L"-3");
        RegCloseKey(key);
        const std::string before = ReadFile(RegPath());
        FailCallForTest("write", 1, ENOSPC, Fault::FromThenOn, "reg");
        // The failure of the write comes with the flush or the close; what
        // was set goes with it.
        key = Create();
        EXPECT_EQ(SetText(key, L"OffSet", L"-4"), ERROR_SUCCESS);
        EXPECT_EQ(RegFlushKey(key), ERROR_DISK_FULL);
        EXPECT_EQ(RegCloseKey(key), ERROR_DISK_FULL);
        HKEY other = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Other", 0, nullptr, 0, 0, nullptr, &other, nullptr), ERROR_SUCCESS);
        EXPECT_EQ(RegCloseKey(other), ERROR_DISK_FULL);
        ClearFaultsForTest();
        EXPECT_EQ(ReadFile(RegPath()), before);
        EXPECT_EQ(FilesBesideRegistry(), (std::set<std::string>{"registry.reg", "registry.reg.lock"}));
        EXPECT_EQ(Read(L"OffSet"), L"-3");
        EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Other", 0, 0, &other), ERROR_FILE_NOT_FOUND);
    }
}

// A settings file that is no regular file, or is far too large, is neither
// waited on nor read: the settings read as missing, a line on standard
// error says why, and a save keeps the odd file aside as damaged.
TEST_F(RegistryTest, UnreadableSettingsFileReadsAsDefaultsAndIsKeptOnSave)
{
    struct Case {
        const char* what;
        std::function<void(const std::string&)> plant;  // given the registry's path
        const char* said;                               // on standard error, or "" for nothing
    } cases[] = {
        {"a FIFO", [](const std::string& path) { mkfifo(path.c_str(), 0600); }, "is not a regular file"},
        {"a link to /dev/zero", [](const std::string& path) { fs::create_symlink("/dev/zero", path); },
         "is not a regular file"},
        {"3 MiB", [](const std::string& path) { std::ofstream(path) << "REGEDIT4\n" << std::string(3 << 20, '\n'); },
         "is larger than 2 MiB"},
        {"a FIFO at the lock", [](const std::string& path) { mkfifo((path + ".lock").c_str(), 0600); }, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(configDir + "/corvale");
        fs::create_directories(configDir + "/corvale");
        c.plant(RegPath());
        testing::internal::CaptureStderr();
        EXPECT_EQ(Read(L"Team"), L"error 2");
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(*c.said ? RegPath() + " " + c.said : ""), std::string::npos) << said;
        HKEY key = Create();
        EXPECT_EQ(SetNumber(key, L"Team", 3), ERROR_SUCCESS);
        EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
        EXPECT_EQ(Read(L"Team"), L"dword 3");
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(RegPath() + ".lock")));
        EXPECT_EQ(fs::exists(fs::symlink_status(RegPath() + ".damaged")), *c.said != 0);
    }
}

TEST_F(RegistryTest, FirstWriteCreatesDirectoryUnderConfigHome)
{
    struct Case {
        const char* xdg;  // relative to the home; nullptr leaves it unset
        const char* file;
    } cases[] = {
        {"fresh/config", "fresh/config/corvale/registry.reg"},
        {nullptr, ".config/corvale/registry.reg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        if (c.xdg)
            setenv("XDG_CONFIG_HOME", (home + "/" + c.xdg).c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        HKEY key = Create();
        EXPECT_EQ(SetNumber(key, L"Team", 3), ERROR_SUCCESS);
        RegCloseKey(key);
        EXPECT_NE(ReadFile(home + "/" + c.file).find("\"Team\"=dword:00000003"), std::string::npos);
    }
}

TEST_F(RegistryTest, ConcurrentWritersInTwoProcessesLoseNothing)
{
    RegCloseKey(Create());
    pid_t children[2];
    for (int child = 0; child < 2; ++child) {
        children[child] = fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            bool ok = true;
            for (int i = 0; i < 50; ++i) {
                HKEY key = nullptr;
                std::wstring name = (child ? L"B" : L"A") + std::to_wstring(i);
                ok = ok && RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, 0, &key) == ERROR_SUCCESS &&
                     SetNumber(key, name.c_str(), i) == ERROR_SUCCESS;
                RegCloseKey(key);
            }
            _exit(ok ? 0 : 1);
        }
    }
    for (pid_t pid : children) {
        int status = -1;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(Read((L"A" + std::to_wstring(i)).c_str()), L"dword " + std::to_wstring(i));
        EXPECT_EQ(Read((L"B" + std::to_wstring(i)).c_str()), L"dword " + std::to_wstring(i));
    }
    EXPECT_EQ(FilesBesideRegistry(), (std::set<std::string>{"registry.reg", "registry.reg.lock"}));
}

}  // namespace
