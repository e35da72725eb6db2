// The signed bytes laid over the package's table: they agree with what the unpacker verifies from
// the same file however the bytes are cut into pieces, and they tell when the file changed between the
// signature's read and the verify's.
#include "MskTestSupport.h"
#include "package/MskFormat.h"
#include "package/MskSignedBytes.h"
#include "support/TestSupport.h"
#include "wceui/core/FhScramble.h"

#include <gtest/gtest.h>

#include <random>

using testsupport::ReadHostFile;
using testsupport::WriteHostFile;

namespace {

using msktest::RandomBytes;

class SignedBytesTest : public DeviceFolderTest {
protected:
    const DWORD m_dwKey = FhPasswordToKey(MSK_PASSWORD_GPS);

    // Folders, an empty file, small files and incompressible ones of thousands of bytes, so that
    // pieces of any size start and end inside streams, between them and inside the table.
    msktest::RawPackage Raw(unsigned seed = 1, const std::u16string& programName = u"navi.exe") const {
        msktest::RawPackage p;
        p.key = m_dwKey;
        p.entries = {msktest::Folder(u"config"),
                     msktest::File(u"config\\settings.ini", "[unit]\n"),
                     msktest::File(u"empty.txt", ""),
                     msktest::File(programName, RandomBytes(9000, seed)),
                     msktest::Folder(u"maps"),
                     msktest::File(u"maps\\europe.map", RandomBytes(5000, seed + 1)),
                     msktest::File(u"version.txt", "2.0\n")};
        return p;
    }

    void Feed(CMskSignedBytes& signedBytes, const std::string& bytes, size_t nPiece) const {
        signedBytes.Begin(bytes.size(), m_dwKey);
        for (size_t at = 0; at < bytes.size(); at += nPiece) {
            const size_t n = std::min(nPiece, bytes.size() - at);
            signedBytes.Add(at, reinterpret_cast<const BYTE*>(bytes.data()) + at, n);
        }
    }
};

TEST_F(SignedBytesTest, AgreeWithTheVerifyWhateverThePieces) {
    const std::string package = msktest::Build(Raw());
    WriteHostFile(HostPath(u"\\p.msk"), package);
    CMskUnpacker unpacker;
    std::u16string error;
    ASSERT_TRUE(unpacker.Open(u"\\p.msk", m_dwKey, error)) << WideToUtf8(error);
    ASSERT_TRUE(unpacker.VerifyOpened(error)) << WideToUtf8(error);
    // 44 ends exactly at the header, 36 just after the table's end word.
    for (size_t nPiece : {size_t(1), size_t(7), size_t(36), size_t(44), size_t(4096), package.size()}) {
        SCOPED_TRACE(nPiece);
        CMskSignedBytes signedBytes;
        Feed(signedBytes, package, nPiece);
        std::u16string why;
        EXPECT_TRUE(signedBytes.MatchesVerified(unpacker, &why)) << WideToUtf8(why);
    }
    // Bytes cut short of the file never match.
    CMskSignedBytes shortBytes;
    shortBytes.Begin(package.size(), m_dwKey);
    shortBytes.Add(0, reinterpret_cast<const BYTE*>(package.data()), package.size() - 1);
    std::u16string why;
    EXPECT_FALSE(shortBytes.MatchesVerified(unpacker, &why));
    EXPECT_EQ(u"the signed bytes end before the file does", why);
}

// The file changes under the unpacker's handle into another valid package, between the open and the
// signature's read or between that read and the verify: what is verified is not what was signed. (The
// table is the one the open read, so a table changed only after the signature's read is never used.)
TEST_F(SignedBytesTest, AFileChangedBetweenTheSignatureAndTheVerifyDoesNotMatch) {
    const std::string signedPackage = msktest::Build(Raw());
    const struct {
        const char* what;
        std::string changed;
        const char16_t* why;
        bool beforeTheSignature;
    } cases[] = {
        {"another stream of the same size", msktest::Build(Raw(7)),
         u"the verified bytes of 'navi.exe' are not the signed ones", false},
        {"a file renamed", msktest::Build(Raw(1, u"nava.exe")),
         u"the verified entry 'navi.exe' is not the signed one", true},
        {"bytes appended", signedPackage + "tail",
         u"the package's size changed after its signature was checked", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(signedPackage.size() + (std::string("bytes appended") == c.what ? 4 : 0), c.changed.size());
        WriteHostFile(HostPath(u"\\p.msk"), signedPackage);
        CMskUnpacker unpacker;
        std::u16string error;
        ASSERT_TRUE(unpacker.Open(u"\\p.msk", m_dwKey, error)) << WideToUtf8(error);
        if (c.beforeTheSignature)
            WriteHostFile(HostPath(u"\\p.msk"), c.changed); // in place: the handle reads the new bytes
        CMskSignedBytes signedBytes;
        Feed(signedBytes, ReadHostFile(HostPath(u"\\p.msk")), 4096);
        if (!c.beforeTheSignature)
            WriteHostFile(HostPath(u"\\p.msk"), c.changed);
        ASSERT_TRUE(unpacker.VerifyOpened(error)) << WideToUtf8(error);
        std::u16string why;
        EXPECT_FALSE(signedBytes.MatchesVerified(unpacker, &why));
        EXPECT_EQ(c.why, why);
    }
}

} // namespace
