#include "platform/WinCe.h"

#include <gtest/gtest.h>

#include <set>

#include <cerrno>
#include <climits>

TEST(WideFormat, ConversionsWidthsAndFlags) {
    WCHAR buf[128];
    EXPECT_EQ(WSPrintf(buf, 128, u"%02d:%02d %04d-%02d", 7, 5, 2026, 12), 13);
    EXPECT_EQ(std::u16string(buf), u"07:05 2026-12");
    WSPrintf(buf, 128, u"[%s|%hs|%c|%u|%x|%X|%%|%5d|%-4d|%05d]", u"wide", "narrow", u'Z', 4000000000u,
             0xBEEFu, 0xABu, 42, 7, -12);
    EXPECT_EQ(std::u16string(buf), u"[wide|narrow|Z|4000000000|beef|AB|%|   42|7   |-0012]");
    WSPrintf(buf, 128, u"%s and %.3s", static_cast<LPCWSTR>(nullptr), u"abcdef");
    EXPECT_EQ(std::u16string(buf), u"(null) and abc");
    EXPECT_EQ(WSPrintf(buf, 128, u"%d %ld %lld", INT_MIN, -5L, -9000000000LL), 26);
    EXPECT_EQ(std::u16string(buf), u"-2147483648 -5 -9000000000");
}

TEST(WideFormat, OverflowIsReportedAndTerminated) {
    WCHAR buf[6];
    EXPECT_EQ(WSPrintf(buf, 6, u"%s", u"12345"), 5); // exactly fits with the terminator
    EXPECT_EQ(WSPrintf(buf, 6, u"%s", u"123456"), -1);
    EXPECT_EQ(std::u16string(buf), u"12345");
    EXPECT_EQ(WFormat(u"%s=%d", u"key", 12), u"key=12");
}

TEST(WideStrings, CompareCopyAndSearch) {
    EXPECT_EQ(WStrICmp(u"ReSidentFlash2", u"residentflash2"), 0);
    EXPECT_LT(WStrICmp(u"abc", u"ABD"), 0);
    EXPECT_EQ(WStrNICmp(u"SDMMC\\x", u"sdmmc\\y", 6), 0);
    EXPECT_NE(WStrCmp(u"a", u"A"), 0);
    WCHAR buf[4];
    EXPECT_FALSE(WStrCpyN(buf, 4, u"abcdef"));
    EXPECT_EQ(std::u16string(buf), u"abc");
    EXPECT_TRUE(WStrCpyN(buf, 4, u"ab"));
    EXPECT_EQ(WStrRChr(u"a\\b\\c", u'\\') - u"a\\b\\c", 3);
    LPCWSTR hay = u"travlek.pack\\bitmap";
    EXPECT_EQ(WStrStr(hay, u".pack\\"), hay + 7);
    EXPECT_EQ(WStrStr(hay, u"zzz"), nullptr);
}

TEST(WideStrings, CaseFoldsLatinGreekAndCyrillicLetters) {
    EXPECT_EQ(WStrICmp(u"\u0141\u00D3D\u0179", u"\u0142\u00F3d\u017A"), 0); // ŁÓDŹ / łódź
    EXPECT_EQ(WStrICmp(u"\u010CESK\u00C9", u"\u010Desk\u00E9"), 0);         // ČESKÉ / české
    EXPECT_EQ(WStrICmp(u"\u0391\u0398\u0397\u039D\u0391", u"\u03B1\u03B8\u03B7\u03BD\u03B1"), 0); // Greek
    EXPECT_EQ(WStrICmp(u"\u041C\u041E\u0401", u"\u043C\u043E\u0451"), 0); // Cyrillic with Ё
    EXPECT_NE(WStrICmp(u"\u00DF", u"ss"), 0);
    EXPECT_EQ(WCharLower(u'\u00D7'), u'\u00D7'); // the multiplication sign is no letter
    EXPECT_EQ(WCharUpper(u'\u00FF'), u'\u0178');
    // Upper and lower are each other's inverse over the letters they change.
    for (unsigned c = 0x41; c < 0x530; ++c) {
        WCHAR lower = WCharLower(static_cast<WCHAR>(c));
        if (lower != c && c != 0x130) {
            EXPECT_EQ(WCharUpper(lower), c) << std::hex << c;
        }
    }
}

TEST(WideStrings, NumberParsingFollowsTheCLibrary) {
    WCHAR* end = nullptr;
    EXPECT_EQ(WStrToL(u"  -42xyz", &end, 10), -42);
    EXPECT_EQ(*end, u'x');
    EXPECT_EQ(WStrToL(u"0x1F", nullptr, 0), 31);
    EXPECT_EQ(WStrToL(u"017", nullptr, 0), 15);
    EXPECT_EQ(WStrToUL(u"FFFFFFFF", nullptr, 16), 0xFFFFFFFFul);
    LPCWSTR none = u"abc";
    EXPECT_EQ(WStrToL(none, &end, 10), 0);
    EXPECT_EQ(end, none); // nothing parsed: end stays at the start
    errno = 0;
    EXPECT_EQ(WStrToL(u"99999999999999999999999", nullptr, 10), LONG_MAX);
    EXPECT_EQ(errno, ERANGE);
    EXPECT_EQ(WStrToL(u"-99999999999999999999999", nullptr, 10), LONG_MIN);
    EXPECT_EQ(WStrToUL(u"-1", nullptr, 10), ULONG_MAX); // negation wraps, as strtoul does
}

TEST(WideStrings, Utf8RoundTripAndInvalidInput) {
    std::string text = "Gr\xC3\xBC\xC3\x9F\x65 \xE2\x82\xAC \xF0\x9F\x98\x80";
    std::u16string wide = Utf8ToWide(text);
    EXPECT_EQ(wide, u"Grüße € 😀");
    EXPECT_EQ(WideToUtf8(wide), text);
    EXPECT_EQ(Utf8ToWide("a\xFF"
                         "b\xC3"),
              u"a\uFFFDb\uFFFD");
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), u"\uFFFD\uFFFD"); // overlong encodings are refused
}

// Host names give every device name a name of its own and read back as the same device name.
TEST(WideStrings, HostNamesKeepEveryUnit) {
    std::set<std::string> seen;
    for (unsigned c = 1; c <= 0xFFFF; ++c) {
        std::u16string one(1, static_cast<char16_t>(c));
        std::string host = WideToHostName(one);
        ASSERT_EQ(HostNameToWide(host), one) << std::hex << c;
        ASSERT_TRUE(seen.insert(host).second) << std::hex << c;
    }
    // A pair is written as UTF-8 writes it; reversed or lone halves keep their own forms.
    EXPECT_EQ(WideToHostName(u"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
    for (const std::u16string& s : {std::u16string(u"\xDE00\xD83D"),
                                    std::u16string(u"a\xD83D"
                                                   u"b"),
                                    std::u16string(u"\xDC00\xDC00\xD800")})
        EXPECT_EQ(HostNameToWide(WideToHostName(s)), s);
    // Two three-byte halves of a pair are not such a name: they cannot stand for the pair too.
    EXPECT_EQ(HostNameToWide("\xED\xA0\xBD\xED\xB8\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
    // Text for people still shows U+FFFD for a lone half.
    EXPECT_EQ(WideToUtf8(u"a\xD800"), "a\xEF\xBF\xBD");
}
