#include "ResTestHelpers.h"
#include "wceui/res/FhPackFile.h"
#include "wceui/res/WceUiReadFile.h"
#include "wceui/core/WceUiLog.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

using restest::EditDirectory;
using restest::FirstEntry;
using restest::Get32;
using restest::MakePack;
using restest::Put32;
using testsupport::LogCapture;
using testsupport::WriteHostFile;

namespace {

class ReadFileTest : public DeviceFolderTest {
protected:
    // Reads through the framework; the result as a string, or nullopt on failure (length checked 0).
    std::optional<std::string> Read(LPCWSTR path, LPCWSTR password = nullptr) {
        DWORD length = 12345;
        std::unique_ptr<BYTE[]> data(WceUiReadFile(path, &length, password));
        if (!data) {
            EXPECT_EQ(length, 0u);
            return std::nullopt;
        }
        return std::string(reinterpret_cast<const char*>(data.get()), length);
    }
    // Writes a pack under Root()/skin/<name>; returns its device path as the cache knows it.
    void PutPack(const std::string& name, const std::string& bytes) {
        WriteHostFile(Root() + "/skin/" + name, bytes);
    }

    LogCapture m_log;
};

} // namespace

TEST_F(ReadFileTest, PlainFilesAreReadWholeAndFoldersAreRefused) {
    WriteHostFile(Root() + "/Res/a.txt", "hello");
    WriteHostFile(Root() + "/Res/empty.txt", "");
    EXPECT_EQ(Read(u"\\res\\A.TXT"), "hello");
    EXPECT_EQ(Read(u"\\Res\\empty.txt"), "");

    EXPECT_EQ(Read(u"\\Res"), std::nullopt);
    EXPECT_TRUE(m_log.Contains(u"WceUiReadFile failed, \\Res is a directory"));

    // A real file is read from disk even when its path runs through a folder named like a pack.
    WriteHostFile(Root() + "/skin/real.pack/x.xml", "on disk");
    EXPECT_EQ(Read(u"\\skin\\real.pack\\x.xml"), "on disk");
    EXPECT_EQ(Read(u"\\skin\\real.pack\\missing.xml"), std::nullopt);
    EXPECT_TRUE(m_log.Contains(u"\\skin\\real.pack is not a valid packed file"));
}

TEST_F(ReadFileTest, PlainFileFaultsAreReportedWithTheirMessages) {
    WriteHostFile(Root() + "/a.bin", "0123456789");
    PlatformFailCreate(1, 1, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(Read(u"\\a.bin"), std::nullopt);
    EXPECT_TRUE(m_log.Contains(u"CreateFile : \\a.bin failed, GetLastError is 32"));
    PlatformShortRead(1, 4);
    EXPECT_EQ(Read(u"\\a.bin"), std::nullopt);
    EXPECT_TRUE(m_log.Contains(u"ReadFile \\a.bin failed"));
    EXPECT_EQ(Read(u"\\a.bin"), "0123456789");
}

TEST_F(ReadFileTest, ItemsAreFoundWhateverTheCaseAndSeparators) {
    PutPack("Items.pack", MakePack({{u"Img/A.bmp", "bitmap bytes"}, {u"wnd\\main.xml", "<x/>"}, {u"z", ""}}));
    EXPECT_EQ(Read(u"\\SKIN\\ITEMS.pack\\IMG/a.BMP"), "bitmap bytes")
        << (m_log.Messages().empty() ? "" : WideToUtf8(m_log.Messages().back()));
    EXPECT_EQ(Read(u"\\skin\\items.pack\\img\\a.bmp"), "bitmap bytes");
    EXPECT_EQ(Read(u"skin/Items.pack\\Wnd/Main.xml"), "<x/>");
    EXPECT_EQ(Read(u"\\skin\\items.pack\\z"), "");

    EXPECT_EQ(Read(u"\\skin\\items.pack\\img\\b.bmp"), std::nullopt);
    EXPECT_TRUE(m_log.Contains(u"Can not find the item img\\b.bmp in \\skin\\items.pack"));
}

TEST_F(ReadFileTest, PathsThatDoNotNameAPackItemAreRefused) {
    const std::u16string longItem(242, u'a');
    PutPack("paths.pack", MakePack({{u"a", "A"}, {longItem, "long"}}));
    for (LPCWSTR path : {u"\\skin\\nothing.txt", u"\\skin\\paths.pack\\", u".pack\\a",
                         u"\\skin\\paths.pack/a", u"\\skin\\paths.PACK\\a"}) {
        m_log.Clear();
        EXPECT_EQ(Read(path), std::nullopt) << WideToUtf8(path);
        EXPECT_TRUE(m_log.Contains(std::u16string(path) + u" is not a valid packed file path"))
            << WideToUtf8(path);
    }
    // The whole path must stay below 260 units.
    const std::u16string path259 = u"\\skin\\paths.pack\\" + longItem;
    EXPECT_EQ(path259.size(), 259u);
    EXPECT_EQ(Read(path259.c_str()), "long");
    EXPECT_EQ(Read((path259 + u"a").c_str()), std::nullopt);

    EXPECT_EQ(Read(u"\\skin\\gone.pack\\a"), std::nullopt);
    EXPECT_TRUE(m_log.Contains(u"\\skin\\gone.pack is not a valid packed file"));
}

TEST_F(ReadFileTest, EmptyPacksLoadAndFindNothing) {
    PutPack("empty.pack", MakePack({}));
    EXPECT_EQ(Read(u"\\skin\\empty.pack\\a"), std::nullopt);
    EXPECT_TRUE(m_log.Contains(u"Can not find the item a in \\skin\\empty.pack"));
    CFhPackFile pack(u"\\skin\\empty.pack");
    EXPECT_TRUE(pack.Load(nullptr));
    EXPECT_EQ(pack.GetItemCount(), 0);
}

TEST_F(ReadFileTest, PasswordsChangeTheKeyAndAChangedPasswordReloads) {
    PutPack("pwd.pack", MakePack({{u"a", "secret"}}, u"pwd_ruv"));
    EXPECT_EQ(Read(u"\\skin\\pwd.pack\\a"), std::nullopt);
    EXPECT_TRUE(m_log.Contains(u"load \\skin\\pwd.pack failed, wrong password?"));
    EXPECT_EQ(Read(u"\\skin\\pwd.pack\\a", u"pwd_ruv"), "secret");
    m_log.Clear();
    // The cached directory was read under another key: the next read reloads and fails again.
    EXPECT_EQ(Read(u"\\skin\\pwd.pack\\a", u""), std::nullopt);
    EXPECT_TRUE(m_log.Contains(u"wrong password?"));
}

TEST_F(ReadFileTest, PackNameLengthIsLimitedTo259WithATerminator) {
    const std::string good =
        MakePack({{u"a", "A"}}, nullptr, std::nullopt, std::u16string(258, u'n').c_str());
    PutPack("name259.pack", good);
    EXPECT_EQ(Read(u"\\skin\\name259.pack\\a"), "A");

    PutPack("name260.pack", EditDirectory(good, nullptr, [](std::string& dir) { Put32(dir, 12, 260); }));
    EXPECT_EQ(Read(u"\\skin\\name260.pack\\a"), std::nullopt);
    EXPECT_TRUE(m_log.Contains(u"load \\skin\\name260.pack failed2, wrong password?"));

    PutPack("unterminated.pack", EditDirectory(MakePack({{u"a", "A"}}, nullptr, std::nullopt, u"abcd"),
                                               nullptr, [](std::string& dir) { dir[16 + 8] = 'x'; }));
    EXPECT_EQ(Read(u"\\skin\\unterminated.pack\\a"), std::nullopt);
    EXPECT_TRUE(m_log.Contains(u"load \\skin\\unterminated.pack failed2, wrong password?"));
}

TEST_F(ReadFileTest, AReplacedPackIsReloadedOnlyWhenItsCheckWordChanged) {
    const restest::Items before = {{u"a", "first"}};
    const restest::Items after = {{u"a", "second version"}, {u"b", "new item"}};
    PutPack("replaced.pack", MakePack(before, nullptr, 0x1111));
    EXPECT_EQ(Read(u"\\skin\\replaced.pack\\a"), "first");

    // Same check word: the cached directory stays, so the new item is not seen. One header read and
    // one item read, each on its own open.
    PutPack("replaced.pack", MakePack(after, nullptr, 0x1111));
    WceUiLog(WCEUI_LOG_INFO, "the log file is open before the opens are counted");
    PlatformClearFaults();
    EXPECT_EQ(Read(u"\\skin\\replaced.pack\\b"), std::nullopt);
    EXPECT_TRUE(m_log.Contains(u"Can not find the item b in \\skin\\replaced.pack"));
    EXPECT_EQ(PlatformCreateFileCalls(), 1);

    PutPack("replaced.pack", MakePack(after, nullptr, 0x2222));
    PlatformClearFaults();
    EXPECT_EQ(Read(u"\\skin\\replaced.pack\\b"), "new item");
    EXPECT_EQ(PlatformCreateFileCalls(), 3); // header test, reload, item
    EXPECT_EQ(Read(u"\\skin\\replaced.pack\\a"), "second version");
}

TEST_F(ReadFileTest, FailedHeaderChecksClearThePackAndTheNextReadLoadsAgain) {
    PutPack("faults.pack", MakePack({{u"a", "A"}}));
    ASSERT_EQ(Read(u"\\skin\\faults.pack\\a"), "A");
    // The first open of the next read is the reload test's.
    PlatformFailCreate(1, 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Read(u"\\skin\\faults.pack\\a"), std::nullopt);
    EXPECT_TRUE(m_log.Contains(u"CreateFile \\skin\\faults.pack failed, GetLastError is 5"));
    EXPECT_FALSE(FhGetPackFile(u"\\skin\\faults.pack")->IsLoaded());
    EXPECT_EQ(Read(u"\\skin\\faults.pack\\a"), "A");

    PlatformShortRead(1, 11);
    EXPECT_EQ(Read(u"\\skin\\faults.pack\\a"), std::nullopt);
    EXPECT_TRUE(m_log.Contains(u"ReadFile \\skin\\faults.pack failed"));
    // Not loaded any more: a failing open is now the load's, with its own message.
    PlatformFailCreate(1, 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Read(u"\\skin\\faults.pack\\a"), std::nullopt);
    EXPECT_TRUE(m_log.Contains(u"CreateFile : \\skin\\faults.pack failed, GetLastError is 5"));
    EXPECT_EQ(Read(u"\\skin\\faults.pack\\a"), "A");
}

TEST_F(ReadFileTest, ItemsThatDoNotInflateToTheirSizeFail) {
    const std::string good = MakePack({{u"a", "0123456789"}});
    for (int delta : {-1, 1}) {
        const std::string name = delta < 0 ? "short.pack" : "long.pack";
        PutPack(name, EditDirectory(good, nullptr, [&](std::string& dir) {
                    const size_t at = FirstEntry(dir) + 8;
                    Put32(dir, at, Get32(dir, at) + delta);
                }));
        const std::u16string path = u"\\skin\\" + Utf8ToWide(name) + u"\\a";
        EXPECT_EQ(Read(path.c_str()), std::nullopt);
        EXPECT_TRUE(m_log.Contains(u"uncompress failed for a in \\skin\\" + Utf8ToWide(name)));
    }
    std::string corrupt = good;
    corrupt[corrupt.size() - 3] ^= 0x55; // inside the Adler-32 trailer
    PutPack("corrupt.pack", corrupt);
    EXPECT_EQ(Read(u"\\skin\\corrupt.pack\\a"), std::nullopt);
    EXPECT_TRUE(m_log.Contains(u"uncompress failed for a in \\skin\\corrupt.pack"));
}

// Damaged directories are refused at load with a message of their own; nothing is read outside the
// directory or the file (the sanitizer build checks the "outside" part).
TEST_F(ReadFileTest, MalformedDirectoriesAreRefused) {
    const std::string good = MakePack({{u"a", "AAAA"}, {u"b", "BBBB"}});
    struct Case {
        const char* name;
        std::function<std::string()> make;
        const char16_t* message;
    };
    auto dirEdit = [&](std::function<void(std::string&)> edit) {
        return [=] { return EditDirectory(good, nullptr, edit); };
    };
    const std::vector<Case> cases = {
        {"dirend_small",
         [&] {
             std::string p = good;
             Put32(p, 4, 11);
             return p;
         },
         u"directory end 11 is not inside"},
        {"dirend_big",
         [&] {
             std::string p = good;
             Put32(p, 4, p.size() + 1);
             return p;
         },
         u"ReadFile failed \\skin\\bad_dirend_big.pack"},
        {"truncated", [&] { return good.substr(0, 20); }, u"ReadFile failed \\skin\\bad_truncated.pack"},
        {"too_short",
         [&] {
             std::string p = good.substr(0, 12) + std::string(8, '\0');
             Put32(p, 4, 20);
             Put32(p, 8, 0x3B7E3B7E ^ 0x2C412C41);
             return p;
         },
         u"the directory is too short"},
        {"name_past", dirEdit([](std::string& d) { Put32(d, 12, 200); }),
         u"the pack name runs past the directory"},
        {"count", dirEdit([](std::string& d) { Put32(d, 4, 1000); }), u"1000 items do not fit"},
        // An empty pack has the count 0; a negative count is a damaged directory, not an empty one.
        {"count_negative", dirEdit([](std::string& d) { Put32(d, 4, 0xFFFFFFFFu); }),
         u"the item count -1 is negative"},
        {"entry_past", dirEdit([](std::string& d) { Put32(d, FirstEntry(d), 0x10000); }),
         u"entry 1 runs past the directory"},
        {"entry_odd", dirEdit([](std::string& d) { Put32(d, FirstEntry(d), Get32(d, FirstEntry(d)) + 1); }),
         u"entry 0 has the odd length"},
        {"entry_short", dirEdit([](std::string& d) { Put32(d, FirstEntry(d), 28); }),
         u"the path of entry 0 is not terminated"},
        {"unterminated", dirEdit([](std::string& d) {
             for (size_t i = FirstEntry(d) + 28; i < d.size(); ++i)
                 d[i] = 'x';
         }),
         u"not terminated"},
        {"data_past", dirEdit([](std::string& d) { Put32(d, FirstEntry(d) + 16, 0xFFFFFF00u); }),
         u"the data of a lies beyond the end of the file"},
        {"order", dirEdit([](std::string& d) {
             const size_t e = FirstEntry(d);
             const size_t e2 = e + Get32(d, e);
             std::swap(d[e + 28], d[e2 + 28]);
         }),
         u"a is out of order"},
    };
    for (const Case& c : cases) {
        m_log.Clear();
        const std::string name = std::string("bad_") + c.name + ".pack";
        PutPack(name, c.make());
        const std::u16string path = u"\\skin\\" + Utf8ToWide(name) + u"\\a";
        EXPECT_EQ(Read(path.c_str()), std::nullopt) << c.name;
        EXPECT_TRUE(m_log.Contains(c.message))
            << c.name << ": " << (m_log.Messages().empty() ? "" : WideToUtf8(m_log.Messages().back()));
        // The pack stays in the cache, not loaded; once repaired it loads at the next read.
        PutPack(name, good);
        EXPECT_EQ(Read(path.c_str()), "AAAA") << c.name;
    }
}

TEST_F(ReadFileTest, TheLastEntrysLengthIsNotNeeded) {
    // Only the distance to a next entry matters; the last one's length may be anything.
    for (DWORD length : {0u, 7u}) {
        std::string pack =
            EditDirectory(MakePack({{u"a", "AAAA"}, {u"b", "BBBB"}}), nullptr, [&](std::string& d) {
                const size_t e = FirstEntry(d);
                Put32(d, e + Get32(d, e), length);
            });
        const std::string name = "last" + std::to_string(length) + ".pack";
        PutPack(name, pack);
        EXPECT_EQ(Read((u"\\skin\\" + Utf8ToWide(name) + u"\\b").c_str()), "BBBB") << length;
        EXPECT_EQ(Read((u"\\skin\\" + Utf8ToWide(name) + u"\\a").c_str()), "AAAA") << length;
    }
}

TEST_F(ReadFileTest, AClaimNoStreamCanReachFailsOnlyThatItem) {
    PutPack("claim.pack", EditDirectory(MakePack({{u"a", "AAAA"}, {u"b", "BBBB"}}), nullptr,
                                        [](std::string& d) { Put32(d, FirstEntry(d) + 8, 100000); }));
    EXPECT_EQ(Read(u"\\skin\\claim.pack\\a"), std::nullopt);
    EXPECT_TRUE(m_log.Contains(u"uncompress failed for a in \\skin\\claim.pack"));
    EXPECT_EQ(Read(u"\\skin\\claim.pack\\b"), "BBBB");
}

TEST_F(ReadFileTest, WriterRefusesItemPathsThatCannotBeRead) {
    CFhPackWriter writer;
    std::string error;
    EXPECT_TRUE(writer.AddItem(u"Dir/File.TXT", "x", 1, &error));
    EXPECT_FALSE(writer.AddItem(u"dir\\file.txt", "y", 1, &error));
    EXPECT_NE(error.find("already in the pack"), std::string::npos);
    for (LPCWSTR bad : {u"", u"\\abs", u"c:x", u"a//b", u"a/./b", u"../a", u"a/"}) {
        EXPECT_FALSE(writer.AddItem(bad, "z", 1, &error)) << WideToUtf8(bad);
    }
    EXPECT_EQ(CFhPackWriter::NormalizeItemPath(u"Img/Ä.BMP"), u"img\\ä.bmp");
}

// Item paths follow the same letter-case rule as the file system: across the whole Basic
// Multilingual Plane, a path finds the item whose stored path equals it under WStrICmp, and no other.
TEST_F(ReadFileTest, ItemLookupFollowsTheLetterCaseRuleOfEveryUnit) {
    auto isNameUnit = [](char16_t c) {
        return c >= 0x20 && (c < 0xD800 || c > 0xDFFF) &&
               std::u16string_view(u"<>:\"|*?\\/.").find(c) == std::u16string_view::npos;
    };
    std::map<char16_t, char16_t> classOf; // folded form -> the unit stored for it
    restest::Items items;
    for (unsigned c = 1; c <= 0xFFFF; ++c) {
        char16_t u = static_cast<char16_t>(c);
        if (isNameUnit(u) && WCharLower(u) != u && !classOf.count(WCharLower(u))) {
            classOf[WCharLower(u)] = u;
            items.push_back({u"x" + std::u16string(1, u), std::to_string(c)});
        }
    }
    ASSERT_GT(items.size(), 300u);
    PutPack("t.pack", MakePack(items));
    int found = 0;
    for (unsigned c = 1; c <= 0xFFFF; ++c) {
        char16_t u = static_cast<char16_t>(c);
        if (!isNameUnit(u))
            continue;
        std::optional<std::string> got = Read((u"\\skin\\t.pack\\x" + std::u16string(1, u)).c_str());
        auto stored = classOf.find(WCharLower(u));
        if (stored == classOf.end()) {
            ASSERT_EQ(got, std::nullopt) << std::hex << c;
        } else {
            ASSERT_EQ(got, std::to_string(stored->second)) << std::hex << c;
            ++found;
        }
        m_log.Clear();
    }
    EXPECT_GT(found, 600);
}
