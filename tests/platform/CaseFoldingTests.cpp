// One letter-case rule for every way a name is looked up: two names are the same exactly when
// WStrICmp says so, whether the lookup goes by the exact host name, by scanning a folder, or by find.
#include "platform/Platform.h"
#include "platform/WinCe.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <vector>

using testsupport::WriteHostFile;

namespace {

class CaseFolding : public DeviceFolderTest {};

bool IsNameUnit(char16_t c) {
    if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF))
        return false;
    return std::u16string_view(u"<>:\"|*?\\/.").find(c) == std::u16string_view::npos;
}

// Every unit of the Basic Multilingual Plane that shares its folded form with another one, grouped.
std::vector<std::vector<char16_t>> CaseClasses() {
    std::map<char16_t, std::vector<char16_t>> byFold;
    for (unsigned c = 1; c <= 0xFFFF; ++c) {
        char16_t u = static_cast<char16_t>(c);
        if (IsNameUnit(u))
            byFold[WCharLower(u)].push_back(u);
    }
    std::vector<std::vector<char16_t>> classes;
    for (auto& [fold, members] : byFold) {
        if (members.size() > 1)
            classes.push_back(members);
    }
    return classes;
}

struct Seen {
    bool attributes;
    bool inFolder; // a path through the name as a folder
    bool find;
    bool wildcard;
};

Seen Look(const std::u16string& folder, char16_t q) {
    std::u16string name = folder + u"\\a" + std::u16string(1, q) + u"b";
    Seen seen{};
    seen.attributes = GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES;
    seen.inFolder = GetFileAttributesW((name + u"\\f").c_str()) != INVALID_FILE_ATTRIBUTES;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(name.c_str(), &data);
    seen.find = find != INVALID_HANDLE_VALUE;
    if (seen.find)
        FindClose(find);
    find = FindFirstFileW((folder + u"\\a" + std::u16string(1, q) + u"*").c_str(), &data);
    seen.wildcard = find != INVALID_HANDLE_VALUE;
    if (seen.wildcard)
        FindClose(find);
    return seen;
}

} // namespace

TEST(CaseRule, FoldingIsStableAndKeepsUnitsApart) {
    for (unsigned c = 1; c <= 0xFFFF; ++c) {
        char16_t u = static_cast<char16_t>(c);
        ASSERT_EQ(WCharLower(WCharLower(u)), WCharLower(u)) << std::hex << c;
        ASSERT_EQ(WCharLower(WCharUpper(u)), WCharLower(u)) << std::hex << c;
        // No unit outside the name rule folds into it (and back).
        ASSERT_EQ(IsNameUnit(u), IsNameUnit(WCharLower(u))) << std::hex << c;
        char16_t a[2] = {u, 0}, b[2] = {WCharUpper(u), 0};
        ASSERT_EQ(WStrICmp(a, b), 0) << std::hex << c;
    }
}

// For every unit that has case partners: with one of them on disk, every lookup by any partner finds
// it, and every lookup by a unit that is not a partner does not. Round k puts the k-th partner of
// every group on disk, side by side in one folder.
TEST_F(CaseFolding, EveryLookupAgreesAcrossTheBasicMultilingualPlane) {
    std::vector<std::vector<char16_t>> classes = CaseClasses();
    ASSERT_GT(classes.size(), 300u);
    std::vector<char16_t> asked;
    for (const auto& members : classes) {
        for (char16_t c : members) {
            for (char16_t q : {c, char16_t(c - 1), char16_t(c + 1), char16_t(c ^ 0x20)}) {
                if (IsNameUnit(q))
                    asked.push_back(q);
            }
        }
    }
    for (size_t k = 0;; ++k) {
        std::set<char16_t> onDisk; // folded forms
        std::u16string folder = u"\\k" + Utf8ToWide(std::to_string(k));
        for (const auto& members : classes) {
            if (k < members.size()) {
                onDisk.insert(WCharLower(members[k]));
                WriteHostFile(Root() + "/" + WideToUtf8(folder.substr(1)) + "/" +
                                  WideToHostName(u"a" + std::u16string(1, members[k]) + u"b") + "/f",
                              "x");
            }
        }
        if (onDisk.empty())
            break;
        for (char16_t q : asked) {
            bool expected = onDisk.count(WCharLower(q)) != 0;
            Seen s = Look(folder, q);
            ASSERT_TRUE(s.attributes == expected && s.inFolder == expected && s.find == expected &&
                        s.wildcard == expected)
                << std::hex << "round " << k << ", asked U+" << unsigned(q) << ", expected " << expected
                << ": " << s.attributes << s.inFolder << s.find << s.wildcard;
        }
    }
}

TEST_F(CaseFolding, DottedCapitalIMatchesAsciiI) {
    WriteHostFile(Root() + "/\xC4\xB0.txt", "x"); // U+0130
    EXPECT_NE(GetFileAttributesW(u"\\i.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW(u"\\I.TXT"), INVALID_FILE_ATTRIBUTES);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(u"\\i.txt", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    FindClose(find);
    // The dotless i is a letter of its own.
    EXPECT_EQ(GetFileAttributesW(u"\\\u0131.txt"), INVALID_FILE_ATTRIBUTES);
}

// Another program's new entries are matched ignoring case at once, however quickly they follow the
// last look at the folder; the platform's own new entries too.
TEST_F(CaseFolding, EntriesMadeMeanwhileAreFoundInAnyCase) {
    for (int round = 0; round < 50; ++round) {
        std::string folder = "/r" + std::to_string(round);
        WriteHostFile(Root() + folder + "/first.txt", "1");
        std::u16string device = Utf8ToWide(folder);
        EXPECT_EQ(GetFileAttributesW((device + u"\\SECOND.TXT").c_str()), INVALID_FILE_ATTRIBUTES);
        WriteHostFile(Root() + folder + "/second.txt", "2");
        ASSERT_NE(GetFileAttributesW((device + u"\\SECOND.TXT").c_str()), INVALID_FILE_ATTRIBUTES) << round;
        HANDLE f =
            CreateFileW((device + u"\\Third.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        CloseHandle(f);
        ASSERT_NE(GetFileAttributesW((device + u"\\THIRD.TXT").c_str()), INVALID_FILE_ATTRIBUTES) << round;
        ASSERT_TRUE(DeleteFileW((device + u"\\third.TXT").c_str()));
        EXPECT_EQ(GetFileAttributesW((device + u"\\THIRD.TXT").c_str()), INVALID_FILE_ATTRIBUTES) << round;
    }
}
