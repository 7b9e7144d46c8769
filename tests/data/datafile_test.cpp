// Reading data files: lines, fields, quoted texts and numbers.

#include "data/datafile.h"
#include "tests/support/temp_home.h"

#include <string>
#include <vector>

namespace {

class DataFileTest : public TempHomeTest {
protected:
    // Every line ReadDataLine gives for a file of `content`, up to `count`.
    std::vector<std::wstring> ReadLines(const std::string& content, int count)
    {
        std::string path = WriteFile("data.dat", content);
        std::wstring wide(path.begin(), path.end());
        FILE* file = _wfopen(wide.c_str(), L"r");
        std::vector<std::wstring> lines;
        if (!file)
            return lines;
        WCHAR line[kLineChars];
        for (int i = 0; i < count && ReadDataLine(file, line); ++i)
            lines.push_back(line);
        std::fclose(file);
        return lines;
    }
};

std::vector<std::wstring> Split(std::wstring line, int maxFields = 200)
{
    std::vector<WCHAR*> fields(maxFields);
    int count = SplitFields(line.data(), fields.data(), maxFields);
    return std::vector<std::wstring>(fields.begin(), fields.begin() + count);
}

TEST_F(DataFileTest, LinesLoseTheirLineEndAndReadEmptyPastTheEnd)
{
    auto lines = ReadLines("\"2003\",\"NFL\"\r\nNew England,14,2,0\r\nlast", 5);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], L"\"2003\",\"NFL\"");
    EXPECT_EQ(lines[1], L"New England,14,2,0");
    EXPECT_EQ(lines[2], L"last");
    EXPECT_EQ(lines[3], L"");
    EXPECT_EQ(lines[4], L"");
}

TEST_F(DataFileTest, LinesOfALineBreakAloneReadEmptyAndBlanksStay)
{
    auto lines = ReadLines("a\r\n\r\n\n   \r\n\t\nb\r\r\n", 7);
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"a", L"", L"", L"   ", L"\t", L"b", L""}));
}

// A folder opens as a stream whose every read fails.
TEST_F(DataFileTest, StreamErrorIsReported)
{
    std::wstring folder(home.begin(), home.end());
    FILE* file = _wfopen(folder.c_str(), L"r");
    ASSERT_NE(file, nullptr);
    WCHAR line[kLineChars];
    EXPECT_EQ(ReadDataLine(file, line), 0);
    std::fclose(file);
}

TEST_F(DataFileTest, LongLineIsReadInPiecesOf1023Bytes)
{
    std::string longLine(1100, 'x');
    longLine[0] = 'a';
    longLine[1023] = 'b';
    auto lines = ReadLines(longLine + "\nnext\n", 3);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), 1023u);
    EXPECT_EQ(lines[0][0], L'a');
    EXPECT_EQ(lines[1].size(), 77u);
    EXPECT_EQ(lines[1][0], L'b');
    EXPECT_EQ(lines[2], L"next");
}

TEST_F(DataFileTest, BytesAreWidenedThroughWindows1252AndStopAtNul)
{
    auto lines = ReadLines(std::string("Caf\xe9 \x80\0hidden\n", 13), 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], L"Caf\u00e9 \u20ac");
}

TEST(SplitFields, RunsOfCommasCountAsOneAndLeadingOnesAreSkipped)
{
    EXPECT_EQ(Split(L"ARI,Arizona,,9/7/2003 13:00"), (std::vector<std::wstring>{L"ARI", L"Arizona", L"9/7/2003 13:00"}));
    EXPECT_EQ(Split(L",,a,b,"), (std::vector<std::wstring>{L"a", L"b"}));
    EXPECT_EQ(Split(L"\"Washington, D.C.\",5"), (std::vector<std::wstring>{L"\"Washington", L" D.C.\"", L"5"}));
    EXPECT_TRUE(Split(L"").empty());
    EXPECT_TRUE(Split(L",,,").empty());
    EXPECT_EQ(Split(L"a,b,c,d", 2).size(), 2u);
}

TEST(TakeQuotedText, TakesTheTextBetweenTheQuotes)
{
    struct Case {
        std::wstring field;
        std::wstring text;
    };
    for (const Case& c : std::vector<Case>{
             {L"\"New England\"", L"New England"},
             {L"\"2003\" and more", L"2003"},
             {L"\"\"\"13:00\"", L"13:00"},
             {L"plain", L"plain"},
             {L"\"\"", L""},
             {L"\"open", L"open"},
             {L"", L""}}) {
        std::wstring field = c.field;
        EXPECT_EQ(std::wstring(TakeQuotedText(field.data())), c.text) << std::string(c.field.begin(), c.field.end());
    }
    EXPECT_STREQ(TakeQuotedText(nullptr), L"");
}

TEST(ReadNumber, ReadsDecimalTextAndStopsAtTheFirstStrayCharacter)
{
    struct Case {
        const WCHAR* text;
        double value;
    };
    for (const Case& c : {Case{L"14", 14}, Case{L"07", 7}, Case{L"  -1", -1}, Case{L"+3.5", 3.5},
                          Case{L"24abc", 24}, Case{L"", 0}, Case{L"abc", 0}, Case{L"0x10", 0},
                          Case{L"inf", 0}, Case{L"nan", 0}, Case{L"1e2", 100}, Case{L"5e", 5},
                          Case{L".5", 0.5}, Case{L"-", 0}, Case{L"1e-2", 0.01}, Case{L"2E+1", 20},
                          Case{L"1.5e3x", 1500}, Case{L"7e+", 7}, Case{L"-.", 0}, Case{L"3.", 3}})
        EXPECT_DOUBLE_EQ(ReadNumber(c.text), c.value) << std::wstring(c.text).size();
    EXPECT_EQ(ReadNumber(nullptr), 0);
    // However long the text: leading zeros, many digits.
    EXPECT_EQ(ReadNumber((std::wstring(70, L'0') + L"7").c_str()), 7);
    EXPECT_DOUBLE_EQ(ReadNumber((L"1" + std::wstring(99, L'0')).c_str()), 1e99);
}

}  // namespace
