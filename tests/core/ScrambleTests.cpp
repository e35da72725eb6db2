#include "wceui/core/FhScramble.h"

#include <gtest/gtest.h>

#include <vector>

// Expected keys worked out step by step from the rule (start 0x3B7E3B7E; by position mod 4: add the
// unit, OR it in shifted left by 16, multiply by it, add it shifted left by 16; 32-bit wrap-around).
TEST(FhScramble, PasswordKeysFollowTheFourStepRule) {
    EXPECT_EQ(FhPasswordToKey(nullptr), 0x3B7E3B7Eu);
    EXPECT_EQ(FhPasswordToKey(u""), 0x3B7E3B7Eu);
    EXPECT_EQ(FhPasswordToKey(u"a"), 0x3B7E3BDFu); // + 0x61
    // p: +0x70 -> 3B7E3BEE; w: |0x770000 -> 3B7F3BEE; d: *0x64 -> 3DB368F8; _: +0x5F0000 -> 3E1268F8;
    // t: +0x74 -> 3E12696C; a: |0x610000 -> 3E73696C; n: *0x6E -> D5974C68; z: +0x7A0000 -> D6114C68;
    // o: +0x6F -> D6114CD7
    EXPECT_EQ(FhPasswordToKey(u"pwd_tanzo"), 0xD6114CD7u);
    // ... r: +0x72 -> 3E12696A; u: |0x750000 -> 3E77696A; v: *0x76 -> CB0A96DC
    EXPECT_EQ(FhPasswordToKey(u"pwd_ruv"), 0xCB0A96DCu);
    // Units are unsigned 16-bit values: FFFF carries into the upper half, 8000 sets the top bit.
    // +FFFF -> 3B7F3B7D; |80000000 -> BB7F3B7D; *2 -> 76FE76FA; +10000 -> 76FF76FA; +78 -> 76FF7772
    EXPECT_EQ(FhPasswordToKey(u"\xFFFF\x8000\x0002\x0001x"), 0x76FF7772u);
    // The password ends at its first NUL.
    const char16_t withNul[] = {u'a', 0, u'b', 0};
    EXPECT_EQ(FhPasswordToKey(withNul), FhPasswordToKey(u"a"));
}

TEST(FhScramble, WholeWordsAreXoredWithTheKeyAndTheTailIsLeftAlone) {
    const DWORD key = 0x11223344u; // key ^ 0x2C412C41 = 0x3D631F05, bytes 05 1F 63 3D
    std::vector<BYTE> buf = {0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xAA, 0xBB, 0xCC};
    FhScrambleWords(buf.data(), static_cast<DWORD>(buf.size()), key);
    const std::vector<BYTE> expected = {0x05, 0x1F, 0x63, 0x3D, 0xFA, 0xE0, 0x9C, 0xC2, 0xAA, 0xBB, 0xCC};
    EXPECT_EQ(buf, expected);
    FhScrambleWords(buf.data(), static_cast<DWORD>(buf.size()), key);
    EXPECT_EQ(buf, (std::vector<BYTE>{0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xAA, 0xBB, 0xCC}));

    std::vector<BYTE> small = {1, 2, 3};
    FhScrambleWords(small.data(), 3, key);
    EXPECT_EQ(small, (std::vector<BYTE>{1, 2, 3}));
    FhScrambleWords(nullptr, 8, key); // nothing to do, no crash
}
