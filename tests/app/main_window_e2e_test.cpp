// The real program driven through the window inspector: pages, menu
// commands opening their windows once, minimise ending the program.

#include "tests/support/program.h"
#include "tests/support/temp_home.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>

namespace {

class MainWindowEndToEnd : public TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        std::string dir = home + "/install";
        std::filesystem::create_directories(dir);
        for (const char* name : {"Standings.dat", "Schedule.dat", "Season.dat"})
            std::filesystem::copy_file(SourcePath("season/2003/") + name, dir + "/" + name);
        SetInstallDirectory(std::wstring(dir.begin(), dir.end()));
        pid = StartBinary("corvale");
        ASSERT_TRUE(WaitForWindow("Corvale", "dialog", 10000));
    }

    void TearDown() override
    {
        if (IsRunning(pid)) {
            Winspy({"close", "Corvale"});
            WaitForExit(pid, 5000);
        }
        TempHomeTest::TearDown();
    }

    static QJsonObject Dump(const std::string& caption)
    {
        WinspyResult result = Winspy({"dump", caption});
        return QJsonDocument::fromJson(QByteArray::fromStdString(result.output)).object();
    }

    static QJsonObject Control(const QJsonObject& window, int id)
    {
        for (const QJsonValue& control : window["controls"].toArray())
            if (control["id"].toInt() == id)
                return control.toObject();
        return {};
    }

    pid_t pid = 0;
};

TEST_F(MainWindowEndToEnd, TabsSwitchPagesAndPickersHoldTheSeason)
{
    QJsonObject window = Dump("Corvale");
    EXPECT_TRUE(Control(window, 1005)["visible"].toBool());
    EXPECT_FALSE(Control(window, 1006)["visible"].toBool());
    QJsonObject teams = Control(window, 1022);
    EXPECT_EQ(teams["items"].toArray().size(), 32);
    EXPECT_EQ(teams["selection"].toInt(), 0);
    EXPECT_EQ(Control(window, 1023)["items"].toArray().at(17).toString(), "Wild Card");
    ASSERT_EQ(Winspy({"select", "Corvale", "1001", "1"}).status, 0);
    window = Dump("Corvale");
    EXPECT_FALSE(Control(window, 1005)["visible"].toBool());
    EXPECT_TRUE(Control(window, 1006)["visible"].toBool());
    EXPECT_TRUE(Control(window, 1022)["visible"].toBool());
    EXPECT_EQ(Control(window, 1001)["selection"].toInt(), 1);
    EXPECT_EQ(Winspy({"select", "Corvale", "1001", "9"}).status, 1);  // no such tab
    EXPECT_EQ(Winspy({"select", "Corvale", "4242", "0"}).status, 1);  // no such control
    EXPECT_EQ(Winspy({"screenshot", "Corvale", home + "/team.png"}).status, 0);
    EXPECT_TRUE(std::filesystem::file_size(home + "/team.png") > 1000);
}

TEST_F(MainWindowEndToEnd, MenuCommandOpensItsWindowOnce)
{
    ASSERT_EQ(Winspy({"command", "Corvale", "40010"}).status, 0);
    ASSERT_TRUE(WaitForWindow("RVL Options", "dialog", 5000));
    ASSERT_EQ(Winspy({"command", "Corvale", "40010"}).status, 0);
    ASSERT_EQ(Winspy({"command", "Corvale", "40017"}).status, 0);
    ASSERT_TRUE(WaitForWindow("About Corvale", "dialog", 5000));
    EXPECT_EQ(CountWindows("RVL Options"), 1);
    EXPECT_EQ(Winspy({"close", "Corvale"}).status, 0);  // closes them all
    EXPECT_EQ(WaitForExit(pid, 5000), 0);
}

TEST_F(MainWindowEndToEnd, MinimisingEndsTheProgram)
{
    ASSERT_EQ(Winspy({"command", "Corvale", "40011"}).status, 0);
    ASSERT_TRUE(WaitForWindow("RVL Calendar", "dialog", 5000));
    EXPECT_EQ(Winspy({"minimize", "Corvale"}).status, 0);
    EXPECT_EQ(WaitForExit(pid, 5000), 0);
    EXPECT_EQ(CountWindows("RVL Calendar"), 0);
}

}  // namespace
