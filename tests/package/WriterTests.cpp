#include "MskTestSupport.h"
#include "wceui/core/FhScramble.h"
#include "package/MskFormat.h"
#include "package/MskUnpacker.h"
#include "package/MskWriter.h"
#include "platform/Platform.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <zlib.h>

using namespace msktest;
using testsupport::HostExists;
using testsupport::ReadHostFile;
using testsupport::WriteHostFile;

namespace {

const DWORD kKey = FhPasswordToKey(u"pwd_ruv");

std::vector<BYTE> V(const std::string& s) {
    return std::vector<BYTE>(s.begin(), s.end());
}

DWORD Dword(const std::string& s, size_t at) {
    return static_cast<BYTE>(s[at]) | static_cast<BYTE>(s[at + 1]) << 8 | static_cast<BYTE>(s[at + 2]) << 16 |
           static_cast<DWORD>(static_cast<BYTE>(s[at + 3])) << 24;
}

class MskWrite : public DeviceFolderTest {};

// The writer's progress calls, in bytes; cancels at the call with the given index.
class CWriteProgress {
public:
    explicit CWriteProgress(size_t cancelAt = SIZE_MAX) : m_cancelAt(cancelAt) {}
    static BOOL Callback(LPVOID context, ULONGLONG done, ULONGLONG total, LPCWSTR path) {
        auto* self = static_cast<CWriteProgress*>(context);
        self->calls.push_back({done, total, path});
        return self->calls.size() - 1 != self->m_cancelAt;
    }
    struct Call {
        ULONGLONG done, total;
        std::u16string path;
    };
    std::vector<Call> calls;

private:
    size_t m_cancelAt;
};

// Content that compresses like real files do: words with some noise.
std::string Mixed(size_t size, uint32_t seed) {
    static const char* const kWords[] = {"route ", "map ", "tile ", "0x7f3a ", "street\n", "index "};
    std::string out;
    while (out.size() < size) {
        seed = seed * 1664525u + 1013904223u;
        out += (seed >> 28) < 3 ? std::string(1, static_cast<char>(seed >> 8)) : kWords[(seed >> 16) % 6];
    }
    out.resize(size);
    return out;
}

std::string Inflate(const std::string& stream, size_t size) {
    std::string out(size, '\0');
    uLongf n = static_cast<uLongf>(size);
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(stream.data()),
                         static_cast<uLong>(stream.size())),
              Z_OK);
    out.resize(n);
    return out;
}

} // namespace

TEST_F(MskWrite, LayoutOrderAndStreams) {
    CMskWriter writer;
    writer.AddFile(u"b.txt", V("bravo"));
    writer.AddFile(u"Zeta/z.txt", V(std::string(10000, 'z')));
    writer.AddFolder(u"Zeta");
    writer.AddFolder(u"alpha");
    writer.AddFile(u"A.txt", V("upper a"));
    std::u16string error;
    ASSERT_TRUE(writer.Write(u"\\p.msk", u"app", kKey, error)) << WideToUtf8(error);
    std::string bytes = ReadHostFile(Root() + "/p.msk");

    ASSERT_GE(bytes.size(), 44u);
    EXPECT_EQ(static_cast<BYTE>(bytes[0]), 0x45);
    EXPECT_EQ(static_cast<BYTE>(bytes[1]), 0xFA);
    DWORD tableEnd = Dword(bytes, 32);
    std::string table = bytes.substr(44, tableEnd - 44);
    FhScrambleWords(&table[0], static_cast<DWORD>(table.size()), kKey);
    EXPECT_EQ(Dword(table, 0), Dword(bytes, 40)); // the check word twice

    ::MskTable parsed;
    std::u16string detail;
    ASSERT_EQ(MskParseTable(reinterpret_cast<const BYTE*>(table.data()), static_cast<DWORD>(table.size()),
                            Dword(bytes, 40), bytes.size(), &parsed, &detail),
              MSK_TABLE_OK)
        << WideToUtf8(detail);
    EXPECT_EQ(parsed.rootName, u"app");
    std::vector<std::u16string> order;
    for (const MskEntry& e : parsed.entries)
        order.push_back(e.path);
    // Folders first, then files, each ignoring case; "/" became "\".
    EXPECT_EQ(order, (std::vector<std::u16string>{u"alpha", u"Zeta", u"A.txt", u"b.txt", u"Zeta\\z.txt"}));
    // Each file is one zlib stream at level 9, stored back to back after the table.
    DWORD next = tableEnd;
    const std::string contents[] = {"upper a", "bravo", std::string(10000, 'z')};
    for (int i = 0; i < 3; ++i) {
        const MskEntry& e = parsed.entries[2 + static_cast<size_t>(i)];
        EXPECT_EQ(e.type, MSK_ENTRY_FILE);
        EXPECT_EQ(e.dataOffset, next);
        EXPECT_EQ(e.unpackedSize, contents[i].size());
        EXPECT_EQ(bytes.substr(e.dataOffset, e.storedSize), Compress(contents[i], 9));
        next += e.storedSize;
    }
    EXPECT_EQ(next, bytes.size());
    EXPECT_EQ(writer.GetStats().packageSize, bytes.size());
}

TEST_F(MskWrite, TheSameTreeAndPasswordGiveTheSameBytes) {
    auto build = [&](bool reversed, LPCWSTR path, DWORD key) {
        CMskWriter writer;
        std::vector<std::pair<std::u16string, std::string>> files = {
            {u"one.txt", "1"}, {u"dir/two.txt", "22"}, {u"dir/sub/three.bin", std::string(3000, '\3')}};
        if (reversed)
            std::reverse(files.begin(), files.end());
        for (auto& f : files)
            writer.AddFile(f.first, V(f.second));
        writer.AddFolder(reversed ? u"dir/sub" : u"dir");
        writer.AddFolder(reversed ? u"dir" : u"dir/sub");
        std::u16string error;
        EXPECT_TRUE(writer.Write(path, u"app", key, error)) << WideToUtf8(error);
        return ReadHostFile(PlatformHostPath(path));
    };
    std::string a = build(false, u"\\a.msk", kKey);
    EXPECT_EQ(a, build(true, u"\\b.msk", kKey));
    std::string other = build(false, u"\\c.msk", FhPasswordToKey(u"pwd_tanzo"));
    EXPECT_NE(a, other);
    EXPECT_EQ(a.substr(0, 44), other.substr(0, 44)); // only the scrambled table differs
    EXPECT_EQ(a.size(), other.size());
}

TEST_F(MskWrite, RefusesWhatTheUnpackerWouldRefuse) {
    auto refused = [&](std::function<void(CMskWriter&)> fill, const std::u16string& root) {
        CMskWriter writer;
        fill(writer);
        std::u16string error;
        bool ok = writer.Write(u"\\bad.msk", root, kKey, error);
        EXPECT_FALSE(HostExists(Root() + "/bad.msk"));
        return ok ? std::u16string() : error;
    };
    EXPECT_EQ(refused(
                  [](CMskWriter& w) {
                      w.AddFile(u"A.txt", V("1"));
                      w.AddFile(u"a.TXT", V("2"));
                  },
                  u"app"),
              u"entry paths name the same place: 'A.txt' and 'a.TXT'");
    EXPECT_EQ(refused([](CMskWriter& w) { w.AddFile(u"../x", V("1")); }, u"app"),
              u"invalid entry path '..\\x': parent folder component");
    EXPECT_EQ(refused([](CMskWriter& w) { w.AddFile(u"x", V("1")); }, u"a/b"),
              u"invalid root folder name 'a/b': separator in a name");
    // Names the device refuses are refused here too, and a file cannot hold another entry.
    EXPECT_EQ(refused([](CMskWriter& w) { w.AddFile(u"a|b", V("1")); }, u"app"),
              u"invalid entry path 'a|b': character the device does not allow in names (< > : \" |)");
    EXPECT_EQ(refused([](CMskWriter& w) { w.AddFile(u"x", V("1")); }, u"ro*t"),
              u"invalid root folder name 'ro*t': wildcard character in a name (* ?)");
    EXPECT_EQ(refused(
                  [](CMskWriter& w) {
                      w.AddFile(u"y", V("1"));
                      w.AddFile(u"y/z", V("2"));
                  },
                  u"app"),
              u"entry paths name the same place: 'y' and 'y'");
    EXPECT_EQ(refused([](CMskWriter& w) { w.AddFolder(u"/abs"); }, u"app"),
              u"invalid entry path '\\abs': absolute path");
}

TEST_F(MskWrite, AnEmptyPackageUnpacksToAnEmptyRootFolder) {
    CMskWriter writer;
    std::u16string error;
    ASSERT_TRUE(writer.Write(u"\\empty.msk", u"app", kKey, error)) << WideToUtf8(error);
    testsupport::MakeHostFolders(Root() + "/dest");
    CMskUnpacker unpacker;
    EXPECT_TRUE(unpacker.Open(u"\\empty.msk", kKey, error));
    EXPECT_TRUE(unpacker.Unpack(u"\\empty.msk", u"\\dest", kKey, error)) << WideToUtf8(error);
    EXPECT_TRUE(HostExists(Root() + "/dest/app"));
}

TEST_F(MskWrite, FoldersOnTheWayToAFileGetTheirOwnEntries) {
    CMskWriter writer;
    writer.AddFile(u"maps/europe/index.dat", V("idx"));
    writer.AddFolder(u"MAPS"); // already implied: not a second entry
    std::u16string error;
    ASSERT_TRUE(writer.Write(u"\\nested.msk", u"app", kKey, error)) << WideToUtf8(error);
    CMskUnpacker unpacker;
    ASSERT_TRUE(unpacker.ReadTable(u"\\nested.msk", kKey, error)) << WideToUtf8(error);
    ASSERT_EQ(unpacker.GetEntryCount(), 3);
    EXPECT_EQ(unpacker.GetEntry(0)->path, u"maps");
    EXPECT_EQ(unpacker.GetEntry(1)->path, u"maps\\europe");
    testsupport::MakeHostFolders(Root() + "/dest");
    EXPECT_TRUE(unpacker.Unpack(u"\\nested.msk", u"\\dest", kKey, error)) << WideToUtf8(error);
    EXPECT_EQ(testsupport::ReadHostFile(Root() + "/dest/app/maps/europe/index.dat"), "idx");
}

// A package that could not be finished is not left behind for a device to find: every write, the
// rewind to the header, the cancel.
TEST_F(MskWrite, AFailedOrCancelledWriteLeavesNoPackage) {
    auto write = [&](CWriteProgress* recorder, std::u16string& error) {
        CMskWriter writer;
        writer.AddFile(u"a.txt", V("alpha"));
        writer.AddFile(u"b.txt", V("bravo"));
        if (recorder)
            writer.SetProgressCallback(&CWriteProgress::Callback, recorder);
        return writer.Write(u"\\p.msk", u"app", kKey, error);
    };
    std::u16string error;
    // Writes: the zeroed header and table, one stream per file, then the finished header and table.
    for (int nth = 1; nth <= 4; ++nth) {
        WriteHostFile(Root() + "/p.msk", "an older package");
        PlatformClearFaults();
        PlatformFailWrite(nth, ERROR_ACCESS_DENIED);
        EXPECT_FALSE(write(nullptr, error)) << nth;
        EXPECT_EQ(error, u"WriteFile \\p.msk failed, GetLastError is 5") << nth;
        EXPECT_FALSE(HostExists(Root() + "/p.msk")) << nth;
    }
    PlatformClearFaults();
    PlatformFailWrite(3, ERROR_DISK_FULL);
    EXPECT_FALSE(write(nullptr, error));
    EXPECT_EQ(error, u"error_disk_full");
    EXPECT_FALSE(HostExists(Root() + "/p.msk"));

    PlatformClearFaults();
    PlatformFailSeek(1, ERROR_GEN_FAILURE);
    EXPECT_FALSE(write(nullptr, error));
    EXPECT_FALSE(HostExists(Root() + "/p.msk"));

    PlatformClearFaults();
    CWriteProgress cancelAtSecond(1);
    EXPECT_FALSE(write(&cancelAtSecond, error));
    EXPECT_EQ(error, u"user_cancel");
    EXPECT_EQ(cancelAtSecond.calls.size(), 2u);
    EXPECT_FALSE(HostExists(Root() + "/p.msk"));

    // Without a fault the same package is written whole.
    CWriteProgress recorder;
    ASSERT_TRUE(write(&recorder, error)) << WideToUtf8(error);
    EXPECT_EQ(recorder.calls.size(), 2u);
    CMskUnpacker unpacker;
    EXPECT_TRUE(unpacker.Verify(u"\\p.msk", kKey, error)) << WideToUtf8(error);
}

// Below the root "app", "\app\" and the entry path must stay below 260 units: the writer and the
// unpacker's table check draw the line at the same place, and the longest path unpacks.
TEST_F(MskWrite, TheWriterAndTheTableAgreeOnTheLongestEntryPath) {
    const std::u16string folder(200, u'f');
    const std::u16string longest = folder + u"\\" + std::u16string(53, u'n'); // 254 units
    const std::u16string tooLong = longest + u"n";
    CMskWriter writer;
    writer.AddFile(longest, V("longest"));
    std::u16string error;
    ASSERT_TRUE(writer.Write(u"\\p.msk", u"app", kKey, error)) << WideToUtf8(error);
    CMskUnpacker unpacker;
    EXPECT_TRUE(unpacker.Open(u"\\p.msk", kKey, error)) << WideToUtf8(error);
    EXPECT_TRUE(unpacker.Unpack(u"\\p.msk", u"\\", kKey, error)) << WideToUtf8(error);
    EXPECT_EQ(ReadHostFile(PlatformHostPath((u"\\app\\" + longest).c_str())), "longest");

    CMskWriter refused;
    refused.AddFile(tooLong, V("too long"));
    EXPECT_FALSE(refused.Write(u"\\q.msk", u"app", kKey, error));
    EXPECT_EQ(error, u"invalid entry path '" + tooLong + u"': path too long");
    EXPECT_FALSE(HostExists(Root() + "/q.msk"));
    RawPackage raw;
    raw.key = kKey;
    raw.entries = {Folder(folder), File(tooLong, "too long")};
    WriteHostFile(Root() + "/q.msk", Build(raw));
    EXPECT_FALSE(unpacker.Open(u"\\q.msk", kKey, error));
    EXPECT_EQ(error, u"file_format_error");
    EXPECT_EQ(std::u16string(unpacker.GetTableProblem()), u"entry '" + tooLong + u"': path too long");
}

// A host tree is packed as its user sees it: a link to a folder is that folder, wherever the walk
// meets it; what cannot be packed is named with its path.
TEST_F(MskWrite, LinksInAHostTreeArePackedAsWhatTheyPointTo) {
    namespace fs = std::filesystem;
    const std::string tree = Root() + "/src/tree";
    WriteHostFile(tree + "/a/sub/s.txt", "sub");
    WriteHostFile(Root() + "/src/outside/o.txt", "outside");
    fs::create_directory_symlink("sub", tree + "/a/dlink");
    testsupport::MakeHostFolders(tree + "/b");
    fs::create_directory_symlink("../a", tree + "/b/up");
    auto pack = [&](bool followOutside, std::u16string& error) {
        CMskWriter writer;
        if (!writer.AddHostTree(tree, error, followOutside) || !writer.Write(u"\\t.msk", u"app", kKey, error))
            return std::vector<std::u16string>();
        CMskUnpacker unpacker;
        EXPECT_TRUE(unpacker.ReadTable(u"\\t.msk", kKey, error)) << WideToUtf8(error);
        std::vector<std::u16string> paths;
        for (int i = 0; i < unpacker.GetEntryCount(); ++i)
            paths.push_back(unpacker.GetEntry(i)->path);
        return paths;
    };
    std::u16string error;
    EXPECT_EQ(pack(false, error),
              (std::vector<std::u16string>{u"a", u"a\\dlink", u"a\\sub", u"b", u"b\\up", u"b\\up\\dlink",
                                           u"b\\up\\sub", u"a\\dlink\\s.txt", u"a\\sub\\s.txt",
                                           u"b\\up\\dlink\\s.txt", u"b\\up\\sub\\s.txt"}))
        << WideToUtf8(error);
    testsupport::MakeHostFolders(Root() + "/dest");
    CMskUnpacker unpacker;
    ASSERT_TRUE(unpacker.Unpack(u"\\t.msk", u"\\dest", kKey, error)) << WideToUtf8(error);
    EXPECT_EQ(ReadHostFile(Root() + "/dest/app/b/up/dlink/s.txt"), "sub");

    // A folder outside the tree only when asked, as for a file.
    fs::create_directory_symlink(Root() + "/src/outside", tree + "/out");
    EXPECT_TRUE(pack(false, error).empty());
    EXPECT_EQ(error, u"the link " + Utf8ToWide(tree) + u"/out points outside the folder, to " +
                         Utf8ToWide(fs::canonical(Root() + "/src/outside").string()) +
                         u" (--follow-outside-links packs it)");
    std::vector<std::u16string> followed = pack(true, error);
    EXPECT_NE(std::find(followed.begin(), followed.end(), u"out\\o.txt"), followed.end())
        << WideToUtf8(error);
    fs::remove(tree + "/out");

    // A link back into a folder on its own way down would never end; the walk meets this one first
    // through a/dlink (names in order).
    fs::create_directory_symlink("..", tree + "/a/sub/loop");
    EXPECT_TRUE(pack(false, error).empty());
    EXPECT_EQ(error, u"link loop: " + Utf8ToWide(tree) + u"/a/dlink/loop points to " +
                         Utf8ToWide(fs::canonical(tree + "/a").string()) + u", a folder that holds the link");
    fs::remove(tree + "/a/sub/loop");

    fs::create_symlink("missing.txt", tree + "/broken");
    EXPECT_TRUE(pack(false, error).empty());
    EXPECT_EQ(error,
              u"broken link: " + Utf8ToWide(tree) + u"/broken points to missing.txt, which does not exist");
    fs::remove(tree + "/broken");
    fs::create_symlink("self", tree + "/self");
    EXPECT_TRUE(pack(false, error).empty());
    EXPECT_EQ(error,
              u"the link " + Utf8ToWide(tree) + u"/self cannot be followed: it leads back to itself (self)");
}

// A file is read and compressed in pieces, on as many threads as asked: the package's bytes are the
// same for every thread count, every stream inflates whole with zlib, and a file of one piece is
// stored as compress2 stores it at each level (its header names the level).
TEST_F(MskWrite, PiecesAndThreadsLeaveTheBytesAsTheyWere) {
    const size_t piece = 8192;
    const std::vector<std::pair<std::u16string, std::string>> files = {
        {u"empty", ""},
        {u"one.txt", Mixed(piece, 1)},            // exactly one piece
        {u"two.txt", Mixed(piece + 1, 2)},        // one byte into the second
        {u"many.bin", Mixed(20 * piece + 77, 3)}, // references reach across the pieces
        {u"same.bin", std::string(3 * piece, 'x')}};
    auto build = [&](unsigned threads, int level, LPCWSTR path, CWriteProgress* progress = nullptr) {
        CMskWriter writer;
        writer.SetThreads(threads);
        writer.SetPieceSize(piece);
        writer.SetLevel(level);
        if (progress)
            writer.SetProgressCallback(&CWriteProgress::Callback, progress);
        for (const auto& f : files)
            writer.AddFile(f.first, V(f.second));
        std::u16string error;
        EXPECT_TRUE(writer.Write(path, u"app", kKey, error)) << WideToUtf8(error);
        return ReadHostFile(PlatformHostPath(path));
    };
    CWriteProgress progress;
    const std::string one = build(1, 9, u"\\one.msk", &progress);
    EXPECT_EQ(build(2, 9, u"\\two.msk"), one);
    EXPECT_EQ(build(5, 9, u"\\five.msk"), one);

    CMskUnpacker unpacker;
    std::u16string error;
    ASSERT_TRUE(unpacker.ReadTable(u"\\one.msk", kKey, error)) << WideToUtf8(error);
    ASSERT_EQ(unpacker.GetEntryCount(), 5);
    for (int i = 0; i < 5; ++i) {
        const MskEntry* e = unpacker.GetEntry(i);
        auto f = std::find_if(files.begin(), files.end(), [&](const auto& x) { return x.first == e->path; });
        ASSERT_NE(f, files.end());
        const std::string stream = one.substr(e->dataOffset, e->storedSize);
        EXPECT_EQ(Inflate(stream, f->second.size()), f->second) << WideToUtf8(e->path);
        if (f->second.size() <= piece) {
            EXPECT_EQ(stream, Compress(f->second, 9)) << WideToUtf8(e->path);
        }
    }
    EXPECT_TRUE(unpacker.Verify(u"\\one.msk", kKey, error)) << WideToUtf8(error);

    // Progress counts bytes, piece by piece, up to the total.
    ULONGLONG total = 0;
    for (const auto& f : files)
        total += f.second.size();
    ASSERT_EQ(progress.calls.size(), 1u + 1u + 2u + 21u + 3u);
    for (size_t i = 1; i < progress.calls.size(); ++i)
        EXPECT_LE(progress.calls[i - 1].done, progress.calls[i].done);
    EXPECT_EQ(progress.calls.back().done, total);
    EXPECT_EQ(progress.calls.back().total, total);
    EXPECT_EQ(progress.calls[4].path, u"many.bin");

    for (int level = 1; level <= 8; ++level) {
        const std::string other = build(3, level, u"\\level.msk");
        ASSERT_TRUE(unpacker.ReadTable(u"\\level.msk", kKey, error)) << WideToUtf8(error);
        const MskEntry* e = unpacker.GetEntry(2);
        ASSERT_EQ(e->path, u"one.txt");
        EXPECT_EQ(other.substr(e->dataOffset, e->storedSize), Compress(files[1].second, level)) << level;
        EXPECT_TRUE(unpacker.Verify(u"\\level.msk", kKey, error)) << WideToUtf8(error);
    }
}

// A write that fails while pieces are still being compressed on other threads ends cleanly and
// leaves nothing behind.
TEST_F(MskWrite, AFailureAmongPiecesInFlightLeavesNoPackage) {
    for (int nth : {2, 5, 9}) {
        CMskWriter writer;
        writer.SetThreads(3);
        writer.SetPieceSize(4096);
        writer.AddFile(u"big.bin", V(Mixed(100000, 7)));
        writer.AddFile(u"small.txt", V("small"));
        PlatformClearFaults();
        PlatformFailWrite(nth, ERROR_DISK_FULL);
        std::u16string error;
        EXPECT_FALSE(writer.Write(u"\\p.msk", u"app", kKey, error)) << nth;
        EXPECT_EQ(error, u"error_disk_full") << nth;
        EXPECT_FALSE(HostExists(Root() + "/p.msk")) << nth;
    }
    PlatformClearFaults();
}
