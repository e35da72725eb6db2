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

using testsupport::HostExists;
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

namespace {

// The content of a device file, or "<none>" when it cannot be opened.
std::string ReadDevice(const std::u16string& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return "<none>";
    char buffer[64];
    DWORD got = 0;
    ReadFile(f, buffer, sizeof(buffer), &got, nullptr);
    CloseHandle(f);
    return std::string(buffer, got);
}

bool Exists(const std::u16string& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

// The folders and listings a lookup remembers never answer for a tree that has changed since: a
// removed case variant leaves the other one found, a moved folder is gone under its old name, and a
// folder made again in another case, by the platform or by another program, is the one found.
TEST_F(CaseFolding, RememberedFoldersFollowRemovalsMovesAndRecreation) {
    // Two case variants of one name; deleting the one found first leaves the other.
    WriteHostFile(Root() + "/Pair/Note.txt", "upper");
    WriteHostFile(Root() + "/Pair/note.txt", "lower");
    EXPECT_EQ(ReadDevice(u"\\pair\\NOTE.TXT"), "upper");
    ASSERT_TRUE(DeleteFileW(u"\\Pair\\Note.txt"));
    EXPECT_EQ(ReadDevice(u"\\pair\\NOTE.TXT"), "lower");
    ASSERT_TRUE(DeleteFileW(u"\\PAIR\\NOTE.TXT"));
    EXPECT_FALSE(Exists(u"\\pair\\note.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // A folder moved by the platform: its old name leads nowhere, the new one to its files.
    WriteHostFile(Root() + "/Top/Sub/f.txt", "moved");
    EXPECT_EQ(ReadDevice(u"\\top\\SUB\\F.TXT"), "moved");
    ASSERT_TRUE(MoveFileW(u"\\Top\\Sub", u"\\Top\\Other"));
    EXPECT_FALSE(Exists(u"\\top\\sub\\f.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(ReadDevice(u"\\TOP\\other\\f.TXT"), "moved");

    // Made again under its old name in another case, by the platform: new files land in it and the
    // moved file is not seen there.
    ASSERT_TRUE(CreateDirectoryW(u"\\top\\SUB", nullptr));
    HANDLE f = CreateFileW(u"\\Top\\sub\\G.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    CloseHandle(f);
    EXPECT_TRUE(HostExists(Root() + "/Top/SUB/G.txt"));
    EXPECT_FALSE(Exists(u"\\top\\sub\\f.txt"));

    // Removed and made again in yet another case by another program, with a file of the old name.
    std::filesystem::remove_all(Root() + "/Top/SUB");
    WriteHostFile(Root() + "/Top/sUb/F.txt", "outside");
    // (As a later clock tick would stamp it: a file system with coarse time stamps may give a change
    // right after the platform's own the same time, which only a new read of the folder could tell.)
    std::filesystem::last_write_time(Root() + "/Top", std::filesystem::file_time_type{});
    EXPECT_FALSE(Exists(u"\\Top\\Sub\\g.txt"));
    EXPECT_EQ(ReadDevice(u"\\top\\SUB\\f.txt"), "outside");
    ASSERT_TRUE(DeleteFileW(u"\\top\\SUB\\f.txt"));
    EXPECT_FALSE(HostExists(Root() + "/Top/sUb/F.txt"));

    // A file the platform made, replaced by a folder from outside, is a folder at once.
    f = CreateFileW(u"\\Top\\kind", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    CloseHandle(f);
    EXPECT_EQ(GetFileAttributesW(u"\\top\\KIND") & FILE_ATTRIBUTE_DIRECTORY, 0u);
    std::filesystem::remove(Root() + "/Top/kind");
    std::filesystem::create_directory(Root() + "/Top/kind");
    EXPECT_NE(GetFileAttributesW(u"\\top\\KIND") & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_FALSE(DeleteFileW(u"\\Top\\kind"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}
