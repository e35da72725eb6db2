#include "ResTestHelpers.h"
#include "wceui/res/FhConfDoc.h"
#include "wceui/res/ReadFontConfInfo.h"

#include <gtest/gtest.h>

#include <cstring>

using restest::Unicode;
using testsupport::LogCapture;
using testsupport::WriteHostFile;

namespace {

class ConfDocTest : public DeviceFolderTest {
protected:
    bool Load(const std::u16string& text, BOOL escapes = FALSE) {
        WriteHostFile(Root() + "/c.conf", Unicode(text));
        m_doc.Clean();
        m_log.Clear();
        return m_doc.LoadFile(u"\\c.conf", escapes);
    }
    std::u16string Value(LPCWSTR key) const {
        LPCWSTR v = m_doc.GetValue(key);
        return v ? std::u16string(v) : u"<absent>";
    }

    CFhConfDoc m_doc;
    LogCapture m_log;
};

} // namespace

TEST_F(ConfDocTest, KeysAndValuesFollowTheLineRules) {
    ASSERT_TRUE(Load(u"; a comment = not a key\r\n"
                     u"[section]\r\n"
                     u"\r\n"
                     u"   height = 12\r\n"
                     u"Height=99\n"
                     u"name\t=\ta=b;c  \r\n"
                     u"empty=\n"
                     u"path=C:\\dir\\n\r\n"
                     u"height=13\n"
                     u"last=1\r"));
    EXPECT_EQ(Value(u"height"), u"13"); // the last line of a key wins
    EXPECT_EQ(Value(u"Height"), u"99");
    EXPECT_EQ(Value(u"name"), u"a=b;c  ");
    EXPECT_EQ(Value(u"empty"), u"");
    EXPECT_EQ(Value(u"path"), u"C:\\dir\\n"); // no escapes asked for
    EXPECT_EQ(Value(u"last"), u"1\r");        // no LF after it: the CR stays
    EXPECT_EQ(Value(u"section"), u"<absent>");
    EXPECT_EQ(Value(u"; a comment"), u"<absent>");
    EXPECT_EQ(m_doc.GetCount(), 6);

    ASSERT_TRUE(Load(u""));
    EXPECT_EQ(m_doc.GetCount(), 0);
}

TEST_F(ConfDocTest, BadLinesFailWithTheStepsMessages) {
    struct Case {
        const char16_t* text;
        std::vector<std::u16string> messages;
    };
    const std::vector<Case> cases = {
        {u"ok=1\ntwo words=1\n",
         {u"CFhConfDoc::ParseLineNoSlash, Parse \\c.conf fail 2",
          u"CFhConfDoc::ParseStr, ParseLineNoSlash(\\c.conf) fail",
          u"CFhConfDoc::LoadFile, Parse \\c.conf fail"}},
        {u"=1\n",
         {u"CFhConfDoc::ParseLineNoSlash, Parse \\c.conf fail 3",
          u"CFhConfDoc::ParseStr, ParseLineNoSlash(\\c.conf) fail",
          u"CFhConfDoc::LoadFile, Parse \\c.conf fail"}},
        {u"a=1\nno value here\n",
         {u"CFhConfDoc::ParseStr, PrePareLine(\\c.conf) fail", u"CFhConfDoc::LoadFile, Parse \\c.conf fail"}},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(Load(c.text));
        EXPECT_EQ(m_log.Messages(), c.messages) << WideToUtf8(c.text);
        EXPECT_FALSE(m_doc.IsLoaded());
        EXPECT_EQ(m_doc.GetValue(u"ok"), nullptr); // nothing of a failed load is kept
    }
}

TEST_F(ConfDocTest, EscapesAreDecodedOnlyWhenAskedFor) {
    ASSERT_TRUE(Load(u"a=x\\\\y\\n\\r\\tz\nb\\c=plain\n", TRUE));
    EXPECT_EQ(Value(u"a"), u"x\\y\n\r\tz");
    EXPECT_EQ(Value(u"b\\c"), u"plain"); // a backslash in the key is no escape

    EXPECT_FALSE(Load(u"a=\\q\n", TRUE));
    EXPECT_EQ(m_log.Messages().front(),
              u"CFhConfDoc::ParseLineWithSlash, Parse \\c.conf fail, \\q is not valid");
    EXPECT_EQ(m_log.Messages()[1], u"CFhConfDoc::ParseStr, ParseLineWithSlash(\\c.conf) fail");
    EXPECT_FALSE(Load(u"a=end\\\r\n", TRUE));
    EXPECT_EQ(m_log.Messages().front(),
              u"CFhConfDoc::ParseLineWithSlash, Parse \\c.conf fail, \\ is not valid");

    ASSERT_TRUE(Load(u"a=end\\\r\n", FALSE));
    EXPECT_EQ(Value(u"a"), u"end\\");
}

TEST_F(ConfDocTest, FilesMustBeUnicodeAndLoadedOnce) {
    struct Case {
        std::string bytes;
        const char16_t* message;
    };
    const Case cases[] = {
        {"\xFF", u"CFhConfDoc::LoadFile, \\c.conf is not a valid UNICODE file, the length is 1"},
        {"\xFF\xFE"
         "a",
         u"CFhConfDoc::LoadFile, \\c.conf is not a valid UNICODE file, the length is 3"},
        {"a=1\n", u"CFhConfDoc::LoadFile \\c.conf is not a valid UNICODE format file"},
    };
    for (const Case& c : cases) {
        WriteHostFile(Root() + "/c.conf", c.bytes);
        m_log.Clear();
        EXPECT_FALSE(m_doc.LoadFile(u"\\c.conf"));
        EXPECT_EQ(m_log.Messages().back(), c.message);
    }
    EXPECT_FALSE(m_doc.LoadFile(u"\\none.conf"));
    EXPECT_TRUE(m_log.Contains(u"CFhConfDoc::LoadFile, Call WceUiReadFile \\none.conf fail"));

    ASSERT_TRUE(Load(u"a=1"));
    EXPECT_FALSE(m_doc.LoadFile(u"\\other.conf"));
    EXPECT_TRUE(m_log.Contains(u"CFhConfDoc::LoadFile(\\other.conf), already loaded"));
    EXPECT_EQ(Value(u"a"), u"1");
}

TEST_F(ConfDocTest, FontDescriptionsOverrideTheSystemFont) {
    LOGFONTW system = {};
    ASSERT_NE(GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(system), &system), 0);

    const std::u16string face40(40, u'F');
    WriteHostFile(
        Root() + "/font/big.conf",
        Unicode(u"height=-20\nweight= 700\nitalic=257\nHeight=5\ncharset=abc\nfacename=" + face40 + u"\n"));
    CReadFontConfInfo info;
    ASSERT_TRUE(info.LoadFontConfFile(u"\\font\\big.conf"));
    LOGFONTW font = {};
    ASSERT_TRUE(info.GetLogFont(&font));
    EXPECT_EQ(font.lfHeight, -20);
    EXPECT_EQ(font.lfWeight, 700);
    EXPECT_EQ(font.lfItalic, 1);  // low 8 bits
    EXPECT_EQ(font.lfCharSet, 0); // no digits
    EXPECT_EQ(std::u16string(font.lfFaceName), face40.substr(0, 31));
    EXPECT_EQ(font.lfWidth, system.lfWidth);
    EXPECT_EQ(font.lfQuality, system.lfQuality);
    EXPECT_EQ(font.lfPitchAndFamily, system.lfPitchAndFamily);

    // A file that does not load leaves the system font and refuses GetLogFont.
    LogCapture log;
    EXPECT_FALSE(info.LoadFontConfFile(u"\\font\\none.conf"));
    EXPECT_TRUE(log.Contains(u"can not load file \\font\\none.conf"));
    EXPECT_FALSE(info.GetLogFont(&font));
    EXPECT_TRUE(log.Contains(u"CReadFontConfInfo::GetLogFont,check(m_bLoaded)fail"));

    WriteHostFile(Root() + "/font/empty.conf", Unicode(u""));
    ASSERT_TRUE(info.LoadFontConfFile(u"\\font\\empty.conf"));
    ASSERT_TRUE(info.GetLogFont(&font));
    EXPECT_EQ(0, std::memcmp(&font, &system, sizeof(font)));
}
