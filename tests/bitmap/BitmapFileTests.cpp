// BMP files written and read back, ".alpha" planes, the buffer check and the ".conf" descriptions.
#include "BitmapTestUtil.h"
#include "support/TestSupport.h"

#include "wceui/bitmap/ReadBitmapConfInfo.h"

#include <gtest/gtest.h>

using namespace bmptest;
using testsupport::LogCapture;

namespace {

DWORD Le32(const std::string& s, size_t off) {
    return (DWORD)(BYTE)s[off] | (DWORD)(BYTE)s[off + 1] << 8 | (DWORD)(BYTE)s[off + 2] << 16 |
           (DWORD)(BYTE)s[off + 3] << 24;
}

void PutLe32(std::string& s, size_t off, DWORD v) {
    for (int i = 0; i < 4; ++i) {
        s[off + i] = (char)(v >> (8 * i));
    }
}

class BitmapFileTest : public DeviceFolderTest {
protected:
    void WriteConf(LPCWSTR pDevicePath, const std::u16string& text) {
        testsupport::WriteHostFile(HostPath(pDevicePath), testsupport::Utf16Bytes(u"\uFEFF" + text));
    }
    // A saved 565 file of w x h random pixels at the device path; returns the bitmap.
    std::unique_ptr<CWceUi565Bitmap> Saved565(LPCWSTR pPath, int w, int h) {
        testsupport::MakeHostFolders(Root() + "/bitmap");
        auto pBmp = Random565(m_rng, w, h, false);
        EXPECT_TRUE(pBmp->SaveFile(pPath));
        return pBmp;
    }
    std::mt19937 m_rng{52};
};

} // namespace

TEST_F(BitmapFileTest, Save565WritesTheHeadersAndPaddedRows) {
    auto pBmp = Saved565(u"\\bitmap\\odd.bmp", 3, 2);
    const std::string file = testsupport::ReadHostFile(HostPath(u"\\bitmap\\odd.bmp"));
    ASSERT_EQ(70u + 2 * 8, file.size()); // rows of 3 + 1 pixels
    EXPECT_EQ("BM", file.substr(0, 2));
    EXPECT_EQ(86u, Le32(file, 2));
    EXPECT_EQ(70u, Le32(file, 10));
    EXPECT_EQ(40u, Le32(file, 14));
    EXPECT_EQ(3u, Le32(file, 18));
    EXPECT_EQ(2u, Le32(file, 22));
    EXPECT_EQ(0x00100001u, Le32(file, 26)); // planes 1, 16 bits
    EXPECT_EQ(3u, Le32(file, 30));
    EXPECT_EQ(16u, Le32(file, 34));
    EXPECT_EQ(0xF800u, Le32(file, 54));
    EXPECT_EQ(0x07E0u, Le32(file, 58));
    EXPECT_EQ(0x001Fu, Le32(file, 62));
    EXPECT_EQ(0u, Le32(file, 66));
    // The rows exactly as stored, padding pixel included.
    const auto stored = StoredPixels<WORD>(*pBmp);
    EXPECT_EQ(0, memcmp(file.data() + 70, stored.data(), 16));

    std::unique_ptr<CWceUiGenericBitmap> pBack(WceUiLoadBmpFromFile(u"\\bitmap\\odd.bmp", FALSE, NULL));
    ASSERT_TRUE(pBack);
    EXPECT_TRUE(pBack->IsKindOf(u"CWceUi565Bitmap"));
    EXPECT_EQ(stored, StoredPixels<WORD>(*pBack));
    EXPECT_FALSE(pBack->HasPerPixelAlpha());
    EXPECT_EQ(nullptr, static_cast<CWceUi565Bitmap*>(pBack.get())->GetAlphaPlane());
}

TEST_F(BitmapFileTest, Save32RoundTripKeepsAlphaBytes) {
    auto pBmp = Random32(m_rng, 5, 3, true);
    ASSERT_TRUE(pBmp->SaveFile(u"\\x.bmp"));
    const std::string file = testsupport::ReadHostFile(HostPath(u"\\x.bmp"));
    ASSERT_EQ(58u + 60, file.size());
    EXPECT_EQ(58u, Le32(file, 10));
    EXPECT_EQ(0x00200001u, Le32(file, 26));
    EXPECT_EQ(0u, Le32(file, 30));
    EXPECT_EQ(60u, Le32(file, 34));
    std::unique_ptr<CWceUiGenericBitmap> pBack(WceUiLoadBmpFromFile(u"\\x.bmp", TRUE, NULL));
    ASSERT_TRUE(pBack);
    EXPECT_TRUE(pBack->IsKindOf(u"CWceUi32Bitmap"));
    EXPECT_TRUE(pBack->HasPerPixelAlpha());
    EXPECT_EQ(StoredPixels<DWORD>(*pBmp), StoredPixels<DWORD>(*pBack));
}

TEST_F(BitmapFileTest, SaveFailuresAreReported) {
    auto pBmp = Random565(m_rng, 2, 2, false);
    LogCapture log;
    EXPECT_FALSE(pBmp->SaveFile(u"\\no\\such\\folder\\a.bmp"));
    EXPECT_TRUE(
        log.Contains(u"Save565BmpFile, CreateFile (\\no\\such\\folder\\a.bmp) fail, GetLastError is 3"));
    PlatformFailWrite(2, ERROR_DISK_FULL);
    EXPECT_FALSE(pBmp->SaveFile(u"\\full.bmp"));
    EXPECT_TRUE(log.Contains(u"Save565BmpFile, WriteFile (\\full.bmp) fail, GetLastError is 112"));
    CWceUi32Bitmap empty;
    EXPECT_FALSE(empty.SaveFile(u"\\e.bmp"));
    EXPECT_TRUE(log.Contains(u"CWceUi32Bitmap::SaveFile \"\\e.bmp\", IsLoaded() return FALSE"));
}

TEST_F(BitmapFileTest, BufferCheck) {
    auto pBmp = Random565(m_rng, 4, 3, false);
    ASSERT_TRUE(pBmp->SaveFile(u"\\b.bmp"));
    const std::string good = testsupport::ReadHostFile(HostPath(u"\\b.bmp"));
    BYTE info[44];
    const BYTE* pBits = NULL;
    auto check = [&](const std::string& s) {
        return GetBitmapInfoFromBuffer(reinterpret_cast<const BYTE*>(s.data()), (DWORD)s.size(), info,
                                       &pBits);
    };
    ASSERT_TRUE(check(good));
    EXPECT_EQ(reinterpret_cast<const BYTE*>(good.data()) + 70, pBits);
    EXPECT_EQ(0, memcmp(info, good.data() + 14, 44));
    // One byte of pixel data short; more than needed is fine.
    EXPECT_FALSE(check(good.substr(0, good.size() - 1)));
    EXPECT_EQ(nullptr, pBits);
    EXPECT_TRUE(check(good + "extra"));
    std::string bad = good;
    bad[1] = 'X';
    EXPECT_FALSE(check(bad));
    bad = good;
    PutLe32(bad, 10, 13);
    EXPECT_FALSE(check(bad));
    PutLe32(bad, 10, (DWORD)good.size() + 1);
    EXPECT_FALSE(check(bad));
    bad = good;
    PutLe32(bad, 22, (DWORD)-3); // top-down
    EXPECT_FALSE(check(bad));
    bad = good;
    PutLe32(bad, 18, 0x40000000); // sizes whose data length does not fit in 32 bits
    PutLe32(bad, 22, 0x40000000);
    EXPECT_FALSE(check(bad));
    LogCapture log;
    EXPECT_FALSE(check(good.substr(0, 46)));
    EXPECT_TRUE(log.Contains(u"GetBitmapInfoFromBuffer,check((nBuffLen > MIN_BITMAP_BUF_LEN))fail"));
}

TEST_F(BitmapFileTest, LoaderRefusals) {
    auto pBmp = Saved565(u"\\bitmap\\a.bmp", 5, 2);
    LogCapture log;
    // An alpha file one byte short of 6 x 2.
    testsupport::WriteHostFile(HostPath(u"\\bitmap\\a.alpha"), std::string(11, '\x3F'));
    EXPECT_EQ(nullptr, WceUiLoadBmpFromFile(u"\\bitmap\\a.bmp", TRUE, u"\\bitmap\\a.alpha"));
    EXPECT_TRUE(
        log.Contains(u"WceUiLoadBmpFromFile, read \\bitmap\\a.alpha failed, the length is not enough"));
    EXPECT_EQ(nullptr, WceUiLoadBmpFromFile(u"\\bitmap\\a.bmp", TRUE, NULL));
    EXPECT_TRUE(log.Contains(
        u"WceUiLoadBmpFromFile, load \\bitmap\\a.bmp , bPerPixelAlpha is TRUE but pAlphaPath is NULL"));
    // Exactly long enough: the plane is taken.
    testsupport::WriteHostFile(HostPath(u"\\bitmap\\a.alpha"), std::string(12, '\x20'));
    std::unique_ptr<CWceUiGenericBitmap> pOk(
        WceUiLoadBmpFromFile(u"\\bitmap\\a.bmp", TRUE, u"\\bitmap\\a.alpha"));
    ASSERT_TRUE(pOk);
    EXPECT_TRUE(pOk->HasPerPixelAlpha());
    EXPECT_EQ(0x20, static_cast<CWceUi565Bitmap*>(pOk.get())->GetAlphaPlane()[11]);

    std::string file = testsupport::ReadHostFile(HostPath(u"\\bitmap\\a.bmp"));
    file[28] = 24;
    file += std::string(16, '\0'); // enough pixel data for 24 bits per pixel
    testsupport::WriteHostFile(HostPath(u"\\bitmap\\c.bmp"), file);
    EXPECT_EQ(nullptr, WceUiLoadBmpFromFile(u"\\bitmap\\c.bmp", FALSE, NULL));
    EXPECT_TRUE(log.Contains(u"WceUiLoadBmpFromFile, \\bitmap\\c.bmp is neither  16 nor 32 bitmap"));
    testsupport::WriteHostFile(HostPath(u"\\bitmap\\d.bmp"), "BM" + std::string(45, '\0'));
    EXPECT_EQ(nullptr, WceUiLoadBmpFromFile(u"\\bitmap\\d.bmp", FALSE, NULL));
    EXPECT_TRUE(log.Contains(u"WceUiLoadBmpFromFile, \\bitmap\\d.bmp is not a valid bitmap"));
    EXPECT_EQ(nullptr, WceUiLoadBmpFromFile(u"\\bitmap\\none.bmp", FALSE, NULL));
    EXPECT_TRUE(log.Contains(u"WceUiLoadBmpFromFile, WceUiReadFile \\bitmap\\none.bmp failed"));
}

TEST_F(BitmapFileTest, DescriptionKeys) {
    CReadBitmapConfInfo info;
    COLORREF cr = 0;
    int nAlpha = 0;
    WriteConf(u"\\res\\bitmap\\btn.conf", u"src=button.bmp\r\n");
    ASSERT_TRUE(info.LoadBitmapConfFile(u"\\res\\bitmap\\btn.conf"));
    EXPECT_EQ(std::u16string(u"\\res\\bitmap\\button.bmp"), info.GetBitmapFullPath());
    EXPECT_FALSE(info.HasPerPixelAlpha());
    EXPECT_FALSE(info.GetTransColor(&cr));
    EXPECT_FALSE(info.GetConstantAlpha(&nAlpha));

    WriteConf(u"\\res\\bitmap\\a.conf", u"src = ..\\img\\image.BMP\npa = TRUE\ntc = FF00FF\nca = 255\n");
    ASSERT_TRUE(info.LoadBitmapConfFile(u"\\res\\bitmap\\a.conf"));
    EXPECT_EQ(std::u16string(u"\\res\\img\\image.BMP"), info.GetBitmapFullPath());
    EXPECT_TRUE(info.HasPerPixelAlpha());
    EXPECT_EQ(std::u16string(u"\\res\\img\\image.alpha"), info.GetAlphaFullPath());
    EXPECT_TRUE(info.GetTransColor(&cr));
    EXPECT_EQ(0x00FF00FFu, cr);
    EXPECT_TRUE(info.GetConstantAlpha(&nAlpha));
    EXPECT_EQ(255, nAlpha);

    // Blue written as 0000FF becomes the colour value 0x00FF0000; "yes" is not "true".
    WriteConf(u"\\res\\bitmap\\b.conf", u"src=x.bmp\npa=yes\ntc=0000FF\nca=FALSE\n");
    ASSERT_TRUE(info.LoadBitmapConfFile(u"\\res\\bitmap\\b.conf"));
    EXPECT_FALSE(info.HasPerPixelAlpha());
    EXPECT_TRUE(info.GetTransColor(&cr));
    EXPECT_EQ(0x00FF0000u, cr);
    EXPECT_FALSE(info.GetConstantAlpha(&nAlpha));

    // The unit converts in 32 bits: a longer value saturates to 0xFFFFFFFF (white once cut to 24 bits)
    // instead of wrapping to its low digits, and a minus sign negates in 32 bits.
    const struct {
        const char16_t* tc;
        COLORREF expected;
    } tcs[] = {{u"123456789", 0x00FFFFFFu},  {u"1000000FF", 0x00FFFFFFu},
               {u"FFFFFFFF", 0x00FFFFFFu},   {u"0x12FF0000", 0x000000FFu},
               {u"-1", 0x00FFFFFFu},         {u"-2", 0x00FEFFFFu},
               {u"-100000001", 0x00FFFFFFu}, {u"-123456789ABCDEF0123", 0x00FFFFFFu},
               {u"  ABCDEF", 0x00EFCDABu}};
    for (const auto& t : tcs) {
        WriteConf(u"\\res\\bitmap\\tc.conf", std::u16string(u"src=x.bmp\ntc=") + t.tc + u"\n");
        ASSERT_TRUE(info.LoadBitmapConfFile(u"\\res\\bitmap\\tc.conf"));
        EXPECT_TRUE(info.GetTransColor(&cr));
        EXPECT_EQ(t.expected, cr) << WideToUtf8(t.tc);
    }

    LogCapture log;
    WriteConf(u"\\res\\bitmap\\png.conf", u"src=x.png\npa=true\n");
    EXPECT_FALSE(info.LoadBitmapConfFile(u"\\res\\bitmap\\png.conf"));
    EXPECT_TRUE(log.Messages().empty());
    EXPECT_FALSE(info.HasPerPixelAlpha()); // reset: refuses with its check
    EXPECT_TRUE(log.Contains(u"CReadBitmapConfInfo::HasPerPixelAlpha,check(m_bLoaded)fail"));
    for (const char16_t* pCa : {u"256", u"-1"}) {
        log.Clear();
        WriteConf(u"\\res\\bitmap\\ca.conf", std::u16string(u"src=x.bmp\nca=") + pCa + u"\n");
        EXPECT_FALSE(info.LoadBitmapConfFile(u"\\res\\bitmap\\ca.conf"));
        EXPECT_TRUE(log.Contains(u"invalid ca in \\res\\bitmap\\ca.conf"));
    }
    WriteConf(u"\\res\\bitmap\\nosrc.conf", u"pa=true\n");
    EXPECT_FALSE(info.LoadBitmapConfFile(u"\\res\\bitmap\\nosrc.conf"));
    EXPECT_TRUE(log.Contains(u"Load \\res\\bitmap\\nosrc.conf failed no src item"));
    testsupport::WriteHostFile(HostPath(u"\\res\\bitmap\\nobom.conf"),
                               testsupport::Utf16Bytes(u"src=x.bmp\n"));
    EXPECT_FALSE(info.LoadBitmapConfFile(u"\\res\\bitmap\\nobom.conf"));
    EXPECT_TRUE(log.Contains(u"can not load file \\res\\bitmap\\nobom.conf"));
}

TEST_F(BitmapFileTest, LoadFromDescription) {
    auto pBmp = Saved565(u"\\bitmap\\icon.bmp", 3, 3);
    testsupport::WriteHostFile(HostPath(u"\\bitmap\\icon.alpha"), std::string(12, '\x3F'));
    WriteConf(u"\\bitmap\\icon.565a.conf", u"src=icon.bmp\npa=true\ntc=FF00FF\nca=0\n");
    LogCapture log;
    std::unique_ptr<CWceUiGenericBitmap> pLoaded(FhLoadBitmapFromConfFile(u"\\bitmap\\icon.565a.conf"));
    ASSERT_TRUE(pLoaded);
    EXPECT_EQ(StoredPixels<WORD>(*pBmp), StoredPixels<WORD>(*pLoaded));
    EXPECT_TRUE(pLoaded->HasPerPixelAlpha());
    COLORREF cr = 0;
    int nAlpha = -1;
    EXPECT_TRUE(pLoaded->GetTransColor(&cr));
    EXPECT_EQ(0x00FF00FFu, cr);
    // A constant alpha of 0 is stored after the check message.
    EXPECT_TRUE(pLoaded->GetConstantAlpha(&nAlpha));
    EXPECT_EQ(0, nAlpha);
    EXPECT_TRUE(
        log.Contains(u"CWceUiGenericBitmap::SetConstantAlpha,check(((nAlpha > 0) && (nAlpha <= 255)))fail"));

    WriteConf(u"\\bitmap\\gone.conf", u"src=gone.bmp\n");
    EXPECT_EQ(nullptr, FhLoadBitmapFromConfFile(u"\\bitmap\\gone.conf"));
    EXPECT_TRUE(log.Contains(u"WceUiLoadBmpFromFile \\bitmap\\gone.bmp failed"));
    EXPECT_EQ(nullptr, FhLoadBitmapFromConfFile(u"\\bitmap\\missing.conf"));
    EXPECT_TRUE(log.Contains(u"load file \\bitmap\\missing.conf failed"));
}
