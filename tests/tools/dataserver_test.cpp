#include "platform/platform.h"
#include "platform/testing.h"
#include "tests/support/temp_home.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kServer = CORVALE_BINARY_DIR "/corvale-dataserver";
const std::string kPath = "/sports/football/2003/";

// Exit status of the data server run with `args` (shell words), output discarded; 124 if it ran 10 s.
int ExitStatus(const std::string& args)
{
    int status = std::system(("timeout 10 " + kServer + " " + args + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class DataServerTest : public TempHomeTest {
protected:
    void SetUp() override
    {
        TempHomeTest::SetUp();
        root = home + "/season";
        WriteFile("season/Standings.dat", standings);
        WriteFile("season/Schedule.dat", schedule);
        WriteFile("season/Secret.dat", "not served");
        // The shell prints its pid and becomes `timeout`, which runs the server and passes SIGTERM on.
        server = popen(("echo $$; exec timeout 60 " + kServer + " --root '" + root + "' --port 0 " + Extra()).c_str(), "r");
        char line[512] = "";
        pid = std::atoi(fgets(line, sizeof line, server) ? line : "0");
        const std::string serving = fgets(line, sizeof line, server) ? line : "";
        const std::string prefix = "serving " + root + " on 127.0.0.1:";
        ASSERT_TRUE(pid > 0 && serving.starts_with(prefix)) << serving;
        InternetRedirectForTest(80, std::stoi(serving.substr(prefix.size())));
    }
    virtual std::string Extra() { return ""; }  // more arguments for the server
    void TearDown() override
    {
        InternetRedirectForTest(-1, -1);
        if (pid > 0)
            kill(pid, SIGTERM);
        int status = pclose(server);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status after SIGTERM: " << status;
        TempHomeTest::TearDown();
    }

    // "STATUS BODY" of a GET of `path` at 127.0.0.1:80 through the platform.
    static std::string Get(const std::string& path)
    {
        HINTERNET session = InternetOpenW(L"Corvale", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        HINTERNET connection = InternetConnectW(session, L"127.0.0.1", 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
        HINTERNET request = HttpOpenRequestW(connection, nullptr, std::wstring(path.begin(), path.end()).c_str(), nullptr,
                                             nullptr, nullptr, INTERNET_FLAG_RELOAD, 0);
        DWORD status = 0, size = sizeof status, got = 0;
        char buffer[1024];
        EXPECT_TRUE(HttpSendRequestW(request, nullptr, 0, nullptr, 0)) << GetLastError();
        HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
        std::string result = std::to_string(status) + " ";
        for (int reads = 0; reads < 10000 && InternetReadFile(request, buffer, sizeof buffer, &got) && got; reads++)
            result.append(buffer, got);
        for (HINTERNET handle : {request, connection, session})
            InternetCloseHandle(handle);
        return result;
    }

    const std::string standings = "AFC East\r\nNew England,6,2\r\n\xE9t\xE9 100%\r\n" + std::string(2, '\0') + std::string(5000, 'S');
    const std::string schedule = "1,09/04,2003,19:00,NYJ,WAS\r\n" + std::string(3000, 'x');
    std::string root;
    FILE* server = nullptr;
    pid_t pid = 0;
};

TEST_F(DataServerTest, ServesTheTwoFilesFreshAndNothingElse)
{
    EXPECT_TRUE(Get(kPath + "Standings.dat") == "200 " + standings);
    EXPECT_TRUE(Get(kPath + "Schedule.dat") == "200 " + schedule);
    for (std::string path : {kPath + "Secret.dat", kPath + "standings.dat", kPath + "Standings.dat/x",
                             kPath + "Standings.datx", std::string("/sports/football/2004/Standings.dat"), std::string("/")})
        EXPECT_EQ(Get(path).substr(0, 4), "404 ") << path;

    WriteFile("season/Standings.dat", "changed");
    std::filesystem::remove(root + "/Schedule.dat");
    EXPECT_EQ(Get(kPath + "Standings.dat"), "200 changed");
    EXPECT_EQ(Get(kPath + "Schedule.dat").substr(0, 4), "404 ");
}

// --stall holds every request: a slow network to try the program against.
class StallingDataServerTest : public DataServerTest {
protected:
    std::string Extra() override { return "--stall 1"; }
};

TEST_F(StallingDataServerTest, AnswersOnlyAfterItsStall)
{
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(Get(kPath + "Schedule.dat") == "200 " + schedule);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

TEST(DataServerArguments, BadArgumentsExit2AndABusyPort1)
{
    for (const char* args : {"", "--root", "--port 8080", "--root /tmp --port http", "--root /tmp --port 70000",
                             "--root /tmp --port -1", "--root /nonexistent/season", "--root /tmp --verbose",
                             "--root /tmp --stall 3601", "--root /tmp --stall soon", "--root /tmp --stall"})
        EXPECT_EQ(ExitStatus(args), 2) << args;
    EXPECT_EQ(ExitStatus("--help"), 0);

    int taken = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(listen(taken, 1), 0);
    getsockname(taken, reinterpret_cast<sockaddr*>(&address), &size);
    EXPECT_EQ(ExitStatus("--root /tmp --port " + std::to_string(ntohs(address.sin_port))), 1);
    close(taken);
}

}  // namespace
