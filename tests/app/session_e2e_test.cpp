// A user's whole session with the real binaries, driven through the window
// inspector only: the installer, every page, the pickers, Options, Download
// from the data server, Calendar, About, Help, a second start, the end.

#include "platform/platform.h"
#include "tests/support/program.h"
#include "tests/support/temp_home.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// True when a connection to 127.0.0.1:port is accepted.
bool PortAccepts(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
    bool accepted = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return accepted;
}

bool ProcessGone(pid_t pid)
{
    return PollUntil([pid] { return kill(pid, 0) != 0; }, 5000);
}

class SessionEndToEnd : public TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        installDir = home + "/install";
    }
    void TearDown() override
    {
        for (pid_t* process : {&pid, &server}) {
            if (*process > 0 && IsRunning(*process)) {
                kill(*process, SIGTERM);
                WaitForExit(*process, 5000);
            }
        }
        TempHomeTest::TearDown();
    }
    // The installer step, then the program up with its lists loaded.
    void InstallAndStart(const std::string& season)
    {
        pid_t installer = StartBinary("corvale-install", {SourcePath(season), installDir});
        ASSERT_EQ(WaitForExit(installer, 10000), 0);
        pid = StartBinary("corvale");
        ASSERT_TRUE(WaitForWindow("Corvale", "dialog", 10000));
        window = DumpWhenLoaded();
        ASSERT_EQ(window["cursor"].toString(), "none");
    }
    static void Select(const std::string& caption, int id, int index)
    {
        ASSERT_EQ(Winspy({"select", caption, std::to_string(id), std::to_string(index)}).status, 0);
    }
    static void Command(const std::string& caption, int id)
    {
        ASSERT_EQ(Winspy({"command", caption, std::to_string(id)}).status, 0);
    }
    static std::string Cell(const QJsonObject& window, int id, int row, int column)
    {
        return RowsOf(window, id).at(row).toArray().at(column).toString().toStdString();
    }
    static std::string Text(const QJsonObject& window, int id) { return ControlOf(window, id)["text"].toString().toStdString(); }

    std::string installDir;
    pid_t pid = 0;
    pid_t server = 0;
    QJsonObject window;
};

TEST_F(SessionEndToEnd, AUsersWholeSession)
{
    InstallAndStart("season/2003");
    EXPECT_TRUE(fs::exists(installDir + "/Ravelock.html"));
    EXPECT_EQ(RowsOf(window, 1005).size(), 40);
    EXPECT_EQ(Cell(window, 1005, 1, 0), "New England");

    // Every page shows its own list.
    const int lists[] = {1005, 1006, 1007, 1008};
    for (int tab = 3; tab >= 0; --tab) {
        Select("Corvale", 1001, tab);
        window = DumpWindow("Corvale");
        for (int page = 0; page < 4; ++page)
            EXPECT_EQ(ControlOf(window, lists[page])["visible"].toBool(), page == tab) << tab;
    }
    EXPECT_EQ(RowsOf(window, 1008).size(), 288);  // every line of the season file but its title

    // A team and a week picked.
    Select("Corvale", 1001, 1);
    Select("Corvale", 1022, 18);  // New England
    window = DumpWindow("Corvale");
    EXPECT_EQ(Text(window, 1027), "14");
    EXPECT_EQ(Text(window, 1030), ".875");
    EXPECT_EQ(Cell(window, 1006, 0, 1), "0 @ Buffalo 31");
    EXPECT_EQ(Cell(window, 1006, 0, 2), "1:00p");
    Select("Corvale", 1023, 2);
    window = DumpWindow("Corvale");
    EXPECT_EQ(RowsOf(window, 1007).last().toArray().at(0).toString().toStdString(), "Bye");

    // Options: Pacific time saved; the Team page moves once the team is picked again.
    Command("Corvale", 40010);
    ASSERT_TRUE(WaitForWindow("RVL Options", "dialog", 5000));
    QJsonObject options = DumpWindow("RVL Options");
    QJsonObject zones = ControlOf(options, 1023);
    EXPECT_EQ(zones["items"].toArray().at(zones["selection"].toInt()).toString().toStdString(), "GMT-5 Eastern US");
    Select("RVL Options", 1023, 4);
    Command("RVL Options", 1039);
    ASSERT_TRUE(WaitForNoWindow("RVL Options", 5000));
    EXPECT_NE(Registry().find("\"OffSet\"=\"-3\""), std::string::npos) << Registry();
    EXPECT_EQ(Cell(DumpWindow("Corvale"), 1006, 0, 2), "1:00p");  // kept until filled again
    Select("Corvale", 1022, 18);
    EXPECT_EQ(Cell(DumpWindow("Corvale"), 1006, 0, 2), "10:00a");

    // Calendar hidden and shown again: still one.
    Command("Corvale", 40011);
    ASSERT_TRUE(WaitForWindow("RVL Calendar", "dialog", 5000));
    Command("RVL Calendar", 2);
    PollUntil([] { return !DumpWindow("RVL Calendar")["visible"].toBool(); }, 2500);
    EXPECT_FALSE(DumpWindow("RVL Calendar")["visible"].toBool());
    Command("Corvale", 40011);
    PollUntil([] { return DumpWindow("RVL Calendar")["visible"].toBool(); }, 2500);
    EXPECT_TRUE(DumpWindow("RVL Calendar")["visible"].toBool());
    EXPECT_EQ(CountWindows("RVL Calendar"), 1);
    Command("RVL Calendar", 2);

    // About goes when the main window becomes active.
    Command("Corvale", 40017);
    ASSERT_TRUE(WaitForWindow("About Corvale", "dialog", 5000));
    EXPECT_EQ(Winspy({"activate", "--kind", "dialog", "Corvale"}).status, 0);
    EXPECT_TRUE(WaitForNoWindow("About Corvale", 5000));

    // Help opens the viewer.
    Command("Corvale", 40015);
    ASSERT_TRUE(WaitForWindow("Help", "help", 5000));
    std::vector<pid_t> helpPids = WindowPids("Help");
    ASSERT_EQ(helpPids.size(), 1u);

    // A second start raises this copy and ends without a window of its own.
    pid_t second = StartBinary("corvale");
    EXPECT_EQ(WaitForExit(second, 10000), 0);
    EXPECT_EQ(CountWindows("Corvale", "dialog"), 1);

    // Closing ends the program, the viewer and every window.
    EXPECT_EQ(Winspy({"close", "--kind", "dialog", "Corvale"}).status, 0);
    EXPECT_EQ(WaitForExit(pid, 5000), 0);
    EXPECT_TRUE(ProcessGone(helpPids[0]));
    EXPECT_TRUE(WaitForNoWindow("Help", 5000));
    EXPECT_EQ(Winspy({"list"}).output, "");
}

// Download from the data server on its fixed port 80: the snapshot replaces
// the final season; with the server stopped, the error and nothing lost.
TEST_F(SessionEndToEnd, DownloadFromTheDataServer)
{
    const std::string snapshot = SourcePath("tests/fixtures/season-2003-week9");
    server = StartBinary("corvale-dataserver", {"--root", snapshot});
    bool listening = PollUntil([this] { return !IsRunning(server) || PortAccepts(80); }, 5000) && IsRunning(server);
    if (!listening)
        GTEST_SKIP() << "the data server cannot listen on 127.0.0.1:80 here (port 80 needs root or "
                        "CAP_NET_BIND_SERVICE, or another server holds it)";

    InstallAndStart("season/2003");
    Select("Corvale", 1022, 5);
    Select("Corvale", 1023, 3);
    window = DumpWindow("Corvale");
    EXPECT_EQ(Cell(window, 1005, 1, 1), "14");

    Command("Corvale", 40004);
    // The download window can come and go between two looks when the machine
    // is loaded, so the download is waited for by its result: the standings
    // of the snapshot, then no download window.
    PollUntil([] { return Cell(DumpWindow("Corvale", "dialog"), 1005, 1, 1) == "7"; }, 15000);
    ASSERT_TRUE(WaitForNoWindow("RVL Download", 15000));
    const QJsonObject downloaded = DumpWhenLoaded();
    EXPECT_EQ(Cell(downloaded, 1005, 1, 1), "7");  // New England after week 9
    EXPECT_EQ(ControlOf(downloaded, 1022)["selection"].toInt(), 5);
    EXPECT_EQ(ControlOf(downloaded, 1023)["selection"].toInt(), 3);
    EXPECT_EQ(RowsOf(downloaded, 1008), RowsOf(window, 1008));
    EXPECT_EQ(ReadFile(installDir + "/Schedule.dat"), ReadFile(snapshot + "/Schedule.dat"));
    EXPECT_EQ(ReadFile(installDir + "/Standings.dat"), ReadFile(snapshot + "/Standings.dat"));

    kill(server, SIGTERM);
    EXPECT_EQ(WaitForExit(server, 5000), 0);
    Command("Corvale", 40004);
    ASSERT_TRUE(WaitForWindow("Corvale", "messagebox", 15000));
    QJsonObject message = DumpWindow("Corvale", "messagebox");
    EXPECT_EQ(message["text"].toString().toStdString(), "Send Request Error 12029\nThe attempt to connect to the server failed.");
    ASSERT_EQ(Winspy({"command", "--kind", "messagebox", "Corvale", "1"}).status, 0);
    ASSERT_TRUE(WaitForNoWindow("RVL Download", 5000));
    QJsonObject after = DumpWindow("Corvale", "dialog");
    for (int list : {1005, 1006, 1007, 1008})
        EXPECT_EQ(RowsOf(after, list), RowsOf(downloaded, list)) << list;
    EXPECT_EQ(ReadFile(installDir + "/Standings.dat"), ReadFile(snapshot + "/Standings.dat"));

    // Minimising ends the program.
    EXPECT_EQ(Winspy({"minimize", "--kind", "dialog", "Corvale"}).status, 0);
    EXPECT_EQ(WaitForExit(pid, 5000), 0);
}

// Settings no picker can show: the program starts on them, shows what it
// can, and a Save with nothing chosen keeps them. A registry file cut in
// half loses only the lines it cut.
TEST_F(SessionEndToEnd, DamagedSettingsStartAndBehave)
{
    pid_t installer = StartBinary("corvale-install", {SourcePath("season/2003"), installDir});
    ASSERT_EQ(WaitForExit(installer, 10000), 0);
    StoreSettings(L"abc", 99, -5);

    pid = StartBinary("corvale");
    ASSERT_TRUE(WaitForWindow("Corvale", "dialog", 10000));
    window = DumpWhenLoaded();
    EXPECT_EQ(ControlOf(window, 1022)["selection"].toInt(), -1);
    EXPECT_EQ(RowsOf(window, 1006).size(), 0);
    EXPECT_EQ(Text(window, 1027), "0");
    EXPECT_EQ(Text(window, 1030), ".000");
    EXPECT_EQ(Cell(window, 1008, 1, 1), "9:00p");  // "abc" reads as no shift
    Command("Corvale", 40010);
    ASSERT_TRUE(WaitForWindow("RVL Options", "dialog", 5000));
    QJsonObject options = DumpWindow("RVL Options");
    EXPECT_EQ(ControlOf(options, 1022)["selection"].toInt(), -1);
    EXPECT_EQ(ControlOf(options, 1023)["selection"].toInt(), -1);
    Command("RVL Options", 1039);
    ASSERT_TRUE(WaitForNoWindow("RVL Options", 5000));
    const std::string saved = Registry();
    EXPECT_NE(saved.find("\"Team\"=dword:00000063"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\"Index\"=dword:fffffffb"), std::string::npos) << saved;
    EXPECT_EQ(Winspy({"close", "Corvale"}).status, 0);
    ASSERT_EQ(WaitForExit(pid, 5000), 0);

    // Cut through the middle of the settings lines.
    const std::string path = configDir + "/corvale/registry.reg";
    const size_t cut = saved.find("\"Team\"") + 5;
    fs::resize_file(path, cut);
    pid = StartBinary("corvale");
    ASSERT_TRUE(WaitForWindow("Corvale", "dialog", 10000));
    window = DumpWhenLoaded();
    EXPECT_EQ(window["cursor"].toString().toStdString(), "none");
    EXPECT_EQ(RowsOf(window, 1005).size(), 40);
    Command("Corvale", 40010);
    ASSERT_TRUE(WaitForWindow("RVL Options", "dialog", 5000));
    Select("RVL Options", 1023, 4);
    Command("RVL Options", 1039);
    ASSERT_TRUE(WaitForNoWindow("RVL Options", 5000));
    EXPECT_NE(Registry().find("\"OffSet\"=\"-3\""), std::string::npos) << Registry();
    EXPECT_EQ(ReadFile(path + ".damaged"), saved.substr(0, cut));  // the cut file is kept aside
}

}  // namespace
