// The window station's protocol as both ends read it: list lines written
// by the platform's JSON writer and read back, replies, request lines.

#include "platform/protocol.h"

#include <gtest/gtest.h>

namespace {

using platform::StationReply;

// A list line as the platform writes one.
std::string ListLine(const std::wstring& caption, bool visible)
{
    std::string out = "{";
    platform::AppendJsonText(out, "caption", caption);
    platform::AppendJsonInt(out, "created", 1796881596662);
    platform::AppendJsonInt(out, "id", 35);
    platform::AppendJsonText(out, "kind", L"messagebox");
    platform::AppendJsonInt(out, "pid", 4242);
    platform::AppendJsonBool(out, "visible", visible);
    return out + "}";
}

TEST(StationProtocol, ListLinesReadBackAsWritten)
{
    for (const std::wstring& caption : {std::wstring(L"Corvale"), std::wstring(L"RVL \"Options\"\\\n\t\x01 \u20ac \U0001F3C8"),
                                        std::wstring(L"")}) {
        for (bool visible : {true, false}) {
            platform::StationWindow window;
            ASSERT_TRUE(platform::ParseListLine(ListLine(caption, visible), window));
            EXPECT_EQ(window.caption, caption);
            EXPECT_EQ(window.visible, visible);
            EXPECT_EQ(window.kind, "messagebox");
            EXPECT_EQ(window.id, 35u);
            EXPECT_EQ(window.created, 1796881596662.0);
        }
    }
    platform::StationWindow window;
    for (const char* broken : {"", "{}", "{\"kind\":\"dialog\"}", "{\"caption\":\"cut", "{\"caption\":\"a\\"})
        EXPECT_FALSE(platform::ParseListLine(broken, window)) << broken;
}

TEST(StationProtocol, RepliesAndRequestLines)
{
    const struct {
        std::string reply;
        StationReply::Status status;
        std::string body;
    } cases[] = {
        {platform::OkReply("{\"caption\":\"Corvale\"}"), StationReply::Status::Ok, "{\"caption\":\"Corvale\"}"},
        {platform::OkReply(), StationReply::Status::Ok, ""},
        {platform::ErrorReply("no control 9"), StationReply::Status::Error, "no control 9"},
        {platform::NotFoundReply(), StationReply::Status::NotFound, ""},
        {"garbage", StationReply::Status::Error, ""},
    };
    for (const auto& c : cases) {
        StationReply parsed = platform::ParseReply(c.reply);
        EXPECT_EQ(parsed.status, c.status) << c.reply;
        EXPECT_EQ(parsed.body, c.body) << c.reply;
    }
    EXPECT_EQ(platform::ReplyLines("a\nb\n\nc"), (std::vector<std::string>{"a", "b", "c"}));
    const std::string line = platform::StationRequestLine("select", 7, {"1022", "5"});
    EXPECT_EQ(line, "select\t7\t1022\t5");
    EXPECT_EQ(platform::SplitRequestLine(line), (platform::Words{"select", "7", "1022", "5"}));
    EXPECT_EQ(platform::StationRequestLine("list"), "list");
}

}  // namespace
