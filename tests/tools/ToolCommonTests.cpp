// The pieces every tool shares for its output: JSON results and system errors in words.
#include "tools/common/JsonWriter.h"
#include "tools/common/ToolSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonWriter, NestsWithCommasAndIndentation) {
    tooling::JsonWriter json;
    json.BeginObject()
        .Member("name", "a.msk")
        .Member("entries", 2)
        .Member("ok", false)
        .Key("files")
        .BeginArray()
        .String(u"app\\x.txt")
        .BeginObject()
        .EndObject()
        .EndArray()
        .Key("empty")
        .BeginArray()
        .EndArray()
        .Key("none")
        .Null()
        .EndObject();
    EXPECT_EQ("{\n"
              "  \"name\": \"a.msk\",\n"
              "  \"entries\": 2,\n"
              "  \"ok\": false,\n"
              "  \"files\": [\n"
              "    \"app\\\\x.txt\",\n"
              "    {}\n"
              "  ],\n"
              "  \"empty\": [],\n"
              "  \"none\": null\n"
              "}\n",
              json.Text());

    tooling::JsonWriter line(0);
    line.BeginArray().Uint(18446744073709551615ull).Int(-5).EndArray();
    EXPECT_EQ("[18446744073709551615,-5]\n", line.Text());
}

// File names come from disks and packages: whatever bytes they hold, the output must parse.
TEST(JsonWriter, EscapesControlsAndReplacesWhatIsNotUnicode) {
    tooling::JsonWriter json(0);
    json.BeginArray()
        .String(std::string_view("q\"b\\n\n\x01\x7f"))
        .String(std::string_view("\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80")) // é € 😀 kept
        .String(std::string_view("\xff|\xc0\xaf|\xed\xa0\x80|\xe2\x82"))  // bad, overlong, surrogate, cut
        .String(std::u16string_view(u"\u00e9\U0001F600"))                 // pair joined
        .String(std::u16string(1, char16_t(0xD800)) + u"x" + char16_t(0xDC00)) // lone halves
        .EndArray();
    EXPECT_EQ("[\"q\\\"b\\\\n\\n\\u0001\x7f\","
              "\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\","
              "\"\xef\xbf\xbd|\xef\xbf\xbd\xef\xbf\xbd|\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd|"
              "\xef\xbf\xbd\xef\xbf\xbd\","
              "\"\xc3\xa9\xf0\x9f\x98\x80\","
              "\"\xef\xbf\xbdx\xef\xbf\xbd\"]\n",
              json.Text());
}

TEST(SystemErrorText, SaysTheErrorInWords) {
    EXPECT_EQ("No such file or directory", tooling::SystemErrorText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ("No such file or directory", tooling::SystemErrorText(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ("Permission denied", tooling::SystemErrorText(ERROR_ACCESS_DENIED));
    EXPECT_EQ("No space left on device", tooling::SystemErrorText(ERROR_DISK_FULL));
    EXPECT_EQ("System error 123456", tooling::SystemErrorText(123456));
}

TEST(HumanBytes, ScalesInPowersOf1024) {
    EXPECT_EQ("12 B", tooling::HumanBytes(12));
    EXPECT_EQ("1.5 KB", tooling::HumanBytes(1536));
    EXPECT_EQ("300 MB", tooling::HumanBytes(300ull << 20));
    EXPECT_EQ("2.0 GB", tooling::HumanBytes(2ull << 30));
}

} // namespace
