// Open and Verify predict Unpack: a package either passes all three or is refused by all three before
// anything is written. And files of any size are decoded in memory that does not grow with them.
#include "MskTestSupport.h"
#include "package/MskUnpacker.h"
#include "platform/DeviceNames.h"
#include "platform/Platform.h"
#include "support/TestSupport.h"
#include "wceui/core/FhScramble.h"
#include "wceui/res/FhPackWriter.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace msktest;
using testsupport::ReadHostFile;
using testsupport::WriteHostFile;

namespace {

const DWORD kKey = FhPasswordToKey(u"pwd_tanzo");

class MskVerdict : public DeviceFolderTest {
protected:
    struct Verdicts {
        bool open, verify, unpack;
        std::u16string openError, unpackError, problem;
    };
    Verdicts Run(const RawPackage& p) {
        WriteHostFile(Root() + "/p.msk", Build(p));
        std::filesystem::remove_all(Root() + "/dest");
        testsupport::MakeHostFolders(Root() + "/dest");
        Verdicts v;
        CMskUnpacker unpacker;
        v.open = unpacker.Open(u"\\p.msk", kKey, v.openError);
        std::u16string ignored;
        v.verify = unpacker.Verify(u"\\p.msk", kKey, ignored);
        v.unpack = unpacker.Unpack(u"\\p.msk", u"\\dest", kKey, v.unpackError);
        v.problem = unpacker.GetTableProblem();
        return v;
    }
    RawPackage Package(std::vector<RawEntry> entries, const std::u16string& root = u"app") {
        RawPackage p;
        p.key = kKey;
        p.root = root;
        p.entries = std::move(entries);
        return p;
    }
    bool DestIsEmpty() const { return std::filesystem::is_empty(Root() + "/dest"); }
};

} // namespace

TEST_F(MskVerdict, TablesUnpackWouldFailOnAreRefusedByAllThreeBeforeAnythingIsWritten) {
    struct Case {
        const char* what;
        RawPackage package;
        const char16_t* problem;
    };
    const std::u16string longName(300, u'n');
    std::vector<Case> cases;
    for (char16_t c : std::u16string(u"<>\"|*?")) {
        std::u16string name = u"a";
        name += c;
        name += u".txt";
        cases.push_back({"a character the device refuses", Package({File(name, "x")}), nullptr});
    }
    cases.push_back({"a 300-unit name", Package({File(longName, "x")}), u"path too long"});
    cases.push_back({"a file under a file", Package({File(u"y", "1"), File(u"y\\z", "2")}),
                     u"entry 'y\\z': lies below a file entry"});
    cases.push_back({"a folder under a file", Package({Folder(u"y\\z"), File(u"y", "1")}),
                     u"entry 'y\\z': lies below a file entry"});
    cases.push_back({"a root name with *", Package({File(u"a.txt", "x")}, u"ro*t"), nullptr});
    cases.push_back({"a folder with |", Package({Folder(u"a|b")}), nullptr});
    cases.push_back(
        {"a good file, then a bad one", Package({File(u"good.txt", "g"), File(u"bad?.txt", "b")}), nullptr});
    cases.push_back({"a name of 86 CJK units (258 bytes on the host)",
                     Package({File(std::u16string(86, u'\x5730'), "x")}), u"name too long"});
    cases.push_back({"DEL in a name", Package({File(u"a\x7F", "x")}), u"control character"});
    // Found by the verdict fuzzer: a file whose last component is "." names its folder.
    cases.push_back(
        {"a file named by \".\"", Package({Folder(u"a"), File(u"a\\.", "x")}), u"file path names a folder"});
    cases.push_back({"a file \".\"", Package({File(u".", "x")}), u"file path names a folder"});
    for (const Case& c : cases) {
        Verdicts v = Run(c.package);
        EXPECT_FALSE(v.open) << c.what;
        EXPECT_EQ(v.openError, u"file_format_error") << c.what;
        EXPECT_FALSE(v.verify) << c.what;
        EXPECT_FALSE(v.unpack) << c.what;
        EXPECT_EQ(v.unpackError.rfind(u"invalid entry path ", 0), 0u)
            << c.what << ": " << WideToUtf8(v.unpackError);
        EXPECT_TRUE(DestIsEmpty()) << c.what;
        if (c.problem) {
            EXPECT_NE(v.problem.find(c.problem), std::u16string::npos)
                << c.what << ": " << WideToUtf8(v.problem);
        }
    }
}

TEST_F(MskVerdict, AFileWhoseFolderHasNoEntryGetsItsFolder) {
    Verdicts v = Run(Package({File(u"nofolder\\deeper\\a.txt", "alpha"), File(u"b.txt", "beta")}));
    EXPECT_TRUE(v.open && v.verify && v.unpack) << WideToUtf8(v.unpackError);
    EXPECT_EQ(ReadHostFile(Root() + "/dest/app/nofolder/deeper/a.txt"), "alpha");
    EXPECT_EQ(ReadHostFile(Root() + "/dest/app/b.txt"), "beta");
}

TEST_F(MskVerdict, PathsThatFitOnlyBelowAShorterDestinationAreRefusedBeforeWriting) {
    // "\\app\\" + 250 units fits below the device root, not below "\\dest\\longer-destination".
    std::u16string path(250, u'p');
    RawPackage p =
        Package({File(u"first.txt", "1"), File(path.substr(0, 120) + u"\\" + path.substr(0, 129), "2")});
    p.entries.insert(p.entries.begin() + 1, Folder(path.substr(0, 120)));
    WriteHostFile(Root() + "/p.msk", Build(p));
    testsupport::MakeHostFolders(Root() + "/dest/longer-destination");
    CMskUnpacker unpacker;
    std::u16string error;
    EXPECT_TRUE(unpacker.Open(u"\\p.msk", kKey, error));
    EXPECT_FALSE(unpacker.Unpack(u"\\p.msk", u"\\dest\\longer-destination", kKey, error));
    EXPECT_EQ(error.rfind(u"invalid entry path ", 0), 0u);
    EXPECT_EQ(std::u16string(unpacker.GetTableProblem()).find(u"path too long for this destination") !=
                  std::u16string::npos,
              true);
    EXPECT_TRUE(std::filesystem::is_empty(Root() + "/dest/longer-destination"));
}

TEST_F(MskVerdict, EveryWriterAndTheFileSystemAgreeOnNames) {
    const std::u16string names[] = {u"plain.txt",
                                    u"a<b",
                                    u"a>b",
                                    u"a:b",
                                    u"a\"b",
                                    u"a|b",
                                    u"a*b",
                                    u"a?b",
                                    u"tab\there",
                                    u"del\x7F",
                                    u"ümlaut",
                                    u"\x5730\x56FE",
                                    std::u16string(85, u'\x5730'),
                                    std::u16string(86, u'\x5730'),
                                    std::u16string(255, u'n'),
                                    std::u16string(256, u'n')};
    for (const std::u16string& name : names) {
        const bool good = DeviceNameProblem(name) == nullptr;
        // The device file system.
        std::u16string device = u"\\" + name;
        HANDLE h = CreateFileW(device.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, good) << WideToUtf8(name);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            DeleteFileW(device.c_str());
        }
        // The package table, through Open.
        WriteHostFile(Root() + "/n.msk", Build(Package({File(name, "x")}, u"a")));
        CMskUnpacker unpacker;
        std::u16string error;
        EXPECT_EQ(unpacker.Open(u"\\n.msk", kKey, error) != FALSE, good) << WideToUtf8(name);
        // The resource pack writer.
        CFhPackWriter pack;
        std::string why;
        EXPECT_EQ(pack.AddItem(name.c_str(), "x", 1, &why) != FALSE, good) << WideToUtf8(name) << " " << why;
    }
}

TEST_F(MskVerdict, AFileOf64MegabytesIsDecodedInBoundedMemory) {
    // Map-like content: repetitive records with varying numbers, so the stream has real matches.
    std::string data;
    data.reserve(64u << 20);
    for (uint32_t i = 0; data.size() < (64u << 20); ++i)
        data +=
            "node " + std::to_string(i * 2654435761u % 1000003) + " lat 48." + std::to_string(i % 977) + "\n";
    data.resize(64u << 20);
    RawEntry big = File(u"map.dat", "");
    big.stream = Compress(data, 1);
    big.unpackedSize = static_cast<DWORD>(data.size());
    WriteHostFile(Root() + "/big.msk", Build(Package({big})));
    testsupport::MakeHostFolders(Root() + "/dest");

    CMskUnpacker unpacker;
    std::u16string error;
    ASSERT_TRUE(unpacker.Verify(u"\\big.msk", kKey, error)) << WideToUtf8(error);
    EXPECT_LT(unpacker.GetBufferHighWater(), 4u << 20);
    ASSERT_TRUE(unpacker.Unpack(u"\\big.msk", u"\\dest", kKey, error)) << WideToUtf8(error);
    EXPECT_LT(unpacker.GetBufferHighWater(), 4u << 20);
    EXPECT_GT(unpacker.GetBufferHighWater(), 0u);
    EXPECT_TRUE(ReadHostFile(Root() + "/dest/app/map.dat") == data);

    // The measure does see whole-file buffers: decoded in one piece, the same file needs them.
    MskDecodeOptions whole;
    whole.wholeFileLimit = 128u << 20;
    unpacker.SetDecodeOptions(whole);
    ASSERT_TRUE(unpacker.Verify(u"\\big.msk", kKey, error)) << WideToUtf8(error);
    EXPECT_GE(unpacker.GetBufferHighWater(), 64u << 20);
}
