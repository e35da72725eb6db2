// The bitmap, colour and font caches and the handles that hold their objects: sharing by identifier,
// release at the last reference, fallbacks with their messages, and the report of what is still held.
#include "StyleTestSupport.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/style/FhResLoaders.h"
#include "wceui/style/WceUiColor.h"
#include "wceui/style/WceUiFont.h"
#include "wceui/style/WceUiLoadBitmap.h"
#include "wceui/style/WceUiLoadColor.h"
#include "wceui/style/WceUiLoadFont.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

using styletest::ResDirTest;

namespace {

class LoaderTest : public ResDirTest {
protected:
    CFhBitmapResLoader& Bitmaps() { return CFhBitmapResLoader::Instance(); }
};

LOGFONTW SystemFont() {
    LOGFONTW lf;
    std::memset(&lf, 0, sizeof(lf));
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(lf), &lf);
    return lf;
}

} // namespace

TEST_F(LoaderTest, HandlesWithOneBitmapIdShareOneBitmapUntilTheLastLetsGo) {
    WriteBitmap(u"btn", 4, 2, 0xF800);
    WriteBitmap(u"sub\\icon", 2, 2, 0x07E0);
    CWceUiLoadBitmap a, b, c, d;
    ASSERT_TRUE(a.SetBitmapFromRes(u"btn.conf"));
    ASSERT_TRUE(b.SetBitmapFromRes(u"btn.conf"));
    // Nothing is loaded before the first use.
    EXPECT_EQ(Bitmaps().GetRefCount(u"btn.conf"), 0);
    CWceUiGenericBitmap* pA = a.GetBitmap();
    ASSERT_NE(pA, nullptr);
    EXPECT_EQ(pA->GetWidth(), 4);
    EXPECT_EQ(b.GetBitmap(), pA);
    EXPECT_EQ(Bitmaps().GetRefCount(u"btn.conf"), 2);
    EXPECT_EQ(a.GetBitmap(), pA); // a second use takes no second reference
    EXPECT_EQ(Bitmaps().GetRefCount(u"btn.conf"), 2);

    // The same identifier in another case keeps the handle's bitmap and reference.
    ASSERT_TRUE(a.SetBitmapFromRes(u"BTN.CONF"));
    EXPECT_EQ(a.GetBitmap(), pA);
    EXPECT_EQ(Bitmaps().GetRefCount(u"btn.conf"), 2);

    // "/" and "\" find one entry; a different case is a different entry.
    ASSERT_TRUE(c.SetBitmapFromRes(u"sub/icon.conf"));
    ASSERT_TRUE(d.SetBitmapFromRes(u"sub\\icon.conf"));
    ASSERT_NE(c.GetBitmap(), nullptr);
    EXPECT_EQ(d.GetBitmap(), c.GetBitmap());
    EXPECT_EQ(Bitmaps().GetRefCount(u"sub\\icon.conf"), 2);
    CWceUiGenericBitmap* pUpper = WceUiGetBitmap(u"SUB\\icon.conf");
    ASSERT_NE(pUpper, nullptr);
    EXPECT_NE(pUpper, c.GetBitmap());
    EXPECT_EQ(Bitmaps().GetCount(), 3);
    WceUiReleaseBitmap(pUpper);

    a.Clean();
    EXPECT_EQ(Bitmaps().GetRefCount(u"btn.conf"), 1);
    EXPECT_EQ(b.GetBitmap(), pA); // still loaded for b
    b.SetBitmapFromRes(u"sub/icon.conf");
    EXPECT_EQ(Bitmaps().GetRefCount(u"btn.conf"), 0); // gone with the last reference
    EXPECT_EQ(b.GetBitmap(), c.GetBitmap());
    EXPECT_EQ(Bitmaps().GetRefCount(u"sub\\icon.conf"), 3);
    EXPECT_TRUE(m_log.Messages().empty());
}

TEST_F(LoaderTest, CopiesOfHandlesTakeTheirOwnReferenceOrTheirOwnBitmap) {
    WriteBitmap(u"btn", 2, 2, 0x001F);
    CWceUiLoadBitmap fromRes, copy;
    fromRes.SetBitmapFromRes(u"btn.conf");
    ASSERT_NE(fromRes.GetBitmap(), nullptr);
    ASSERT_TRUE(copy.DoCopy(fromRes));
    EXPECT_TRUE(copy.IsFromRes());
    EXPECT_EQ(copy.GetBitmap(), fromRes.GetBitmap());
    EXPECT_EQ(Bitmaps().GetRefCount(u"btn.conf"), 2);

    // An application's bitmap is copied; the handle deletes its copy, never the original.
    std::unique_ptr<CWceUiGenericBitmap> pApp(WceUiCreateBitmapObject(16));
    ASSERT_TRUE(pApp->CreateDIB(3, 1));
    CWceUiLoadBitmap own, ownCopy;
    ASSERT_TRUE(own.SetBitmapFromApp(pApp.get()));
    ASSERT_NE(own.GetBitmap(), nullptr);
    EXPECT_NE(own.GetBitmap(), pApp.get());
    EXPECT_EQ(own.GetBitmap()->GetWidth(), 3);
    ASSERT_TRUE(ownCopy.DoCopy(own));
    EXPECT_NE(ownCopy.GetBitmap(), own.GetBitmap());
    EXPECT_EQ(ownCopy.GetBitmap()->GetWidth(), 3);
    ASSERT_TRUE(copy.DoCopy(own)); // from an identifier to an own copy gives the reference back
    EXPECT_EQ(Bitmaps().GetRefCount(u"btn.conf"), 1);

    // Nothing, or a bitmap that is not loaded, leaves an empty handle.
    CWceUiGenericBitmap* pEmpty = WceUiCreateBitmapObject(32);
    own.SetBitmapFromApp(pEmpty);
    EXPECT_EQ(own.GetBitmap(), nullptr);
    delete pEmpty;
    EXPECT_FALSE(copy.DoCopy(copy));
    EXPECT_TRUE(m_log.Contains(u"CWceUiLoadBitmap::DoCopy,check(this != &rhs)fail"));
}

TEST_F(LoaderTest, AFailedBitmapLoadLeavesNoEntryAndIsTriedAgain) {
    CWceUiLoadBitmap handle;
    handle.SetBitmapFromRes(u"late.conf");
    EXPECT_EQ(handle.GetBitmap(), nullptr);
    EXPECT_TRUE(m_log.Contains(u"load file \\res\\bitmap\\late.conf failed"));
    EXPECT_TRUE(m_log.Contains(u"In CWceUiLoadBitmap::GetBitmap, load bitmap id late.conf failed"));
    EXPECT_EQ(Bitmaps().GetCount(), 0);

    WriteBitmap(u"late", 1, 1, 0);
    EXPECT_NE(handle.GetBitmap(), nullptr);
    EXPECT_EQ(Bitmaps().GetRefCount(u"late.conf"), 1);
}

TEST_F(LoaderTest, BadArgumentsAndForeignObjectsAreRefusedWithTheirMessages) {
    WriteBitmap(u"btn", 1, 1, 0);
    CWceUiGenericBitmap* pShared = WceUiGetBitmap(u"btn.conf");
    ASSERT_NE(pShared, nullptr);
    std::unique_ptr<CWceUiGenericBitmap> pForeign(WceUiCreateBitmapObject(16));
    WceUiReleaseBitmap(pForeign.get());
    EXPECT_TRUE(m_log.Contains(u"call WceUiReleaseBitmap Release but pWceUiBitmap not found"));
    EXPECT_EQ(Bitmaps().GetRefCount(u"btn.conf"), 1);
    CWceUiColor foreignColor;
    WceUiReleaseColor(&foreignColor);
    EXPECT_TRUE(m_log.Contains(u"call WceUiReleaseColor Release but pWceUiColor not found"));
    CWceUiFont foreignFont;
    WceUiReleaseFont(&foreignFont);
    EXPECT_TRUE(m_log.Contains(u"call WceUiReleaseFont Release but pWceUiFont not found"));
    WceUiReleaseBitmap(nullptr); // nothing, no message
    WceUiReleaseBitmap(pShared);
    EXPECT_EQ(Bitmaps().GetCount(), 0);

    m_log.Clear();
    EXPECT_EQ(WceUiGetBitmap(nullptr), nullptr);
    EXPECT_EQ(WceUiGetColor(nullptr), nullptr);
    EXPECT_EQ(WceUiGetFont(nullptr), nullptr);
    EXPECT_TRUE(m_log.Contains(u"WceUiGetBitmap,check(NULL != pBitmapID)fail"));
    EXPECT_TRUE(m_log.Contains(u"WceUiGetColor,check(NULL != pColorID)fail"));
    EXPECT_TRUE(m_log.Contains(u"WceUiGetFont,check(NULL != pFontID)fail"));
    CWceUiLoadBitmap handle;
    EXPECT_FALSE(handle.SetBitmapFromRes(u""));
    EXPECT_TRUE(m_log.Contains(u"CWceUiLoadBitmap::SetBitmapFromRes,check(*pBitmapID)fail"));
    EXPECT_FALSE(handle.IsFromRes());

    // An identifier that cannot make a path is refused whole rather than cut to another name.
    m_log.Clear();
    const std::u16string longID(300, u'a');
    EXPECT_EQ(WceUiGetBitmap(longID.c_str()), nullptr);
    EXPECT_TRUE(m_log.Contains(u"too long"));
    const std::u16string nearlyLongID(250, u'a');
    EXPECT_EQ(WceUiGetFont(nearlyLongID.c_str()), nullptr);
    EXPECT_TRUE(m_log.Contains(u"is too long"));
}

TEST_F(LoaderTest, ColoursComeFromTheColourTableAndFallBackToBlack) {
    WriteColorTable(u"red = 0xff0000\r\nblue=0000FF\r\nodd=12345678\r\ntext=ff8000zz\r\n");
    struct Case {
        LPCWSTR id;
        COLORREF expected;
    } cases[] = {
        {u"red", RGB(255, 0, 0)},
        {u"blue", RGB(0, 0, 255)},
        {u"odd", RGB(0x34, 0x56, 0x78)}, // bits above 23 are dropped
        {u"text", RGB(0xFF, 0x80, 0)},   // reading stops at the first other character
    };
    for (const Case& c : cases) {
        CWceUiLoadColor handle;
        handle.SetColorFromRes(c.id);
        EXPECT_EQ(handle.GetColor(), c.expected) << testing::PrintToString(std::u16string(c.id));
    }
    EXPECT_EQ(CFhColorResLoader::Instance().GetCount(), 0);

    CWceUiLoadColor a, b;
    a.SetColorFromRes(u"red");
    b.SetColorFromRes(u"red");
    EXPECT_EQ(a.GetColorObject(), b.GetColorObject());
    EXPECT_EQ(CFhColorResLoader::Instance().GetRefCount(u"red"), 2);
    EXPECT_NE(a.GetColorObject()->GetBrush(), nullptr);
    a.SetColor(RGB(1, 2, 3)); // a value of its own gives the reference back
    EXPECT_EQ(a.GetColor(), RGB(1, 2, 3));
    EXPECT_FALSE(a.IsFromRes());
    EXPECT_EQ(CFhColorResLoader::Instance().GetRefCount(u"red"), 1);
    EXPECT_TRUE(m_log.Messages().empty());

    // An identifier the table does not have: black, with the message at every call.
    CWceUiLoadColor missing;
    missing.SetColorFromRes(u"Red");
    EXPECT_EQ(missing.GetColor(), 0u);
    EXPECT_EQ(missing.GetColor(), 0u);
    int lines = 0;
    for (const auto& m : m_log.Messages()) {
        lines += m == u"load color id Red failed, use black";
    }
    EXPECT_EQ(lines, 2);
    EXPECT_EQ(CFhColorResLoader::Instance().GetCount(), 1);
}

// A handle given a second identifier shows the second and gives back what it held for the first,
// whether the first was used yet or not; the same identifier again, in any case, changes nothing.
TEST_F(LoaderTest, ASecondIdentifierReplacesTheFirst) {
    WriteColorTable(u"red=FF0000\r\nblue=0000FF\r\n");
    CFhColorResLoader& colors = CFhColorResLoader::Instance();
    CWceUiLoadColor used, unused;
    ASSERT_TRUE(used.SetColorFromRes(u"red"));
    EXPECT_EQ(used.GetColor(), RGB(255, 0, 0));
    ASSERT_TRUE(used.SetColorFromRes(u"blue"));
    EXPECT_EQ(used.GetColor(), RGB(0, 0, 255));
    EXPECT_EQ(colors.GetRefCount(u"red"), 0);
    ASSERT_TRUE(unused.SetColorFromRes(u"red"));
    ASSERT_TRUE(unused.SetColorFromRes(u"blue"));
    EXPECT_EQ(unused.GetColor(), RGB(0, 0, 255));
    EXPECT_EQ(colors.GetRefCount(u"blue"), 2);
    ASSERT_TRUE(used.SetColorFromRes(u"BLUE"));
    EXPECT_EQ(colors.GetRefCount(u"blue"), 2);
    EXPECT_EQ(std::u16string(used.GetColorID()), u"blue");
    used.SetColor(RGB(1, 2, 3));
    EXPECT_EQ(colors.GetRefCount(u"blue"), 1);
    ASSERT_TRUE(used.SetColorFromRes(u"red"));
    EXPECT_EQ(used.GetColor(), RGB(255, 0, 0));

    WriteText(u"\\res\\font\\big.conf", u"height=-30\r\n");
    WriteText(u"\\res\\font\\small.conf", u"height=-10\r\n");
    CFhFontResLoader& fonts = CFhFontResLoader::Instance();
    CWceUiLoadFont font;
    ASSERT_TRUE(font.SetFontFromRes(u"big.conf"));
    ASSERT_NE(font.GetFontObject(), nullptr);
    ASSERT_TRUE(font.SetFontFromRes(u"small.conf"));
    ASSERT_NE(font.GetFontObject(), nullptr);
    EXPECT_EQ(font.GetFontObject()->GetLogFontRef().lfHeight, -10);
    EXPECT_EQ(fonts.GetRefCount(u"big.conf"), 0);
    EXPECT_EQ(fonts.GetRefCount(u"small.conf"), 1);
    EXPECT_TRUE(m_log.Messages().empty());
}

TEST_F(LoaderTest, AMissingColourTableIsReportedAndReadOnceItExists) {
    CWceUiLoadColor handle;
    handle.SetColorFromRes(u"red");
    EXPECT_EQ(handle.GetColor(), 0u);
    EXPECT_TRUE(m_log.Contains(u"load file \\res\\color\\wceui.color failed"));
    WriteColorTable(u"red=FF0000\r\n");
    EXPECT_EQ(handle.GetColor(), RGB(255, 0, 0));
    handle.Clean();
    EXPECT_EQ(handle.GetColor(), 0u);
}

TEST_F(LoaderTest, FontsComeFromTheirDescriptionsAndFallBackToTheSystemFont) {
    WriteText(u"\\res\\font\\title.conf", u"height=-22\r\nweight=700\r\nfacename=DejaVu Serif\r\n");
    CWceUiLoadFont a;
    CWceUiFontCtrl b;
    a.SetFontFromRes(u"title.conf");
    b.SetFontFromRes(u"title.conf");
    ASSERT_NE(a.GetFontObject(), nullptr);
    EXPECT_EQ(a.GetFontObject(), b.GetFontObject());
    EXPECT_EQ(CFhFontResLoader::Instance().GetRefCount(u"title.conf"), 2);
    LOGFONTW lf;
    ASSERT_TRUE(a.GetFontObject()->GetLogFont(&lf));
    EXPECT_EQ(lf.lfHeight, -22);
    EXPECT_EQ(lf.lfWeight, 700);
    EXPECT_EQ(std::u16string(lf.lfFaceName), u"DejaVu Serif");
    HFONT hFont = a.GetFont();
    ASSERT_NE(hFont, nullptr);
    EXPECT_EQ(b.GetFont(), hFont);
    LOGFONTW made;
    ASSERT_EQ(GetObjectW(hFont, sizeof(made), &made), static_cast<int>(sizeof(made)));
    EXPECT_EQ(made.lfHeight, -22);

    // A font of its own is copied by value; one from an identifier by identifier.
    CWceUiFontCtrl own, ownCopy;
    LOGFONTW small = SystemFont();
    small.lfHeight = -9;
    own.SetLogFont(small);
    ASSERT_TRUE(ownCopy.DoCopy(own));
    EXPECT_EQ(ownCopy.GetFontObject()->GetLogFontRef().lfHeight, -9);
    ASSERT_TRUE(ownCopy.DoCopy(b));
    EXPECT_EQ(CFhFontResLoader::Instance().GetRefCount(u"title.conf"), 2); // lazy until used
    EXPECT_EQ(ownCopy.GetFontObject(), a.GetFontObject());
    EXPECT_EQ(CFhFontResLoader::Instance().GetRefCount(u"title.conf"), 3);
    EXPECT_TRUE(m_log.Messages().empty());

    CWceUiLoadFont missing;
    missing.SetFontFromRes(u"none.conf");
    ASSERT_NE(missing.GetFont(), nullptr);
    EXPECT_TRUE(CWceUiFont::IsSameLogFont(missing.GetFontObject()->GetLogFontRef(), SystemFont()));
    EXPECT_TRUE(m_log.Contains(u"load font id none.conf failed use default font"));
    EXPECT_FALSE(b.SetFontFromRes(u""));
    EXPECT_TRUE(m_log.Contains(u"CWceUiFontCtrl::SetFontFromRes,check(*pFontID)fail"));
    EXPECT_FALSE(b.DoCopy(b));
    EXPECT_TRUE(m_log.Contains(u"CWceUiFontCtrl::DoCopy,check(this != &rhs)fail"));
}

TEST_F(LoaderTest, AFaceNameThatDiffersOnlyAtItsEndIsANewFont) {
    const LOGFONTW system = SystemFont();
    std::u16string face(system.lfFaceName);
    ASSERT_FALSE(face.empty());
    face.back() = face.back() == u'x' ? u'y' : u'x';
    WriteText(u"\\res\\font\\near.conf", u"facename=" + face + u"\r\n");
    std::unique_ptr<CWceUiFont> pFont(FhLoadFontFromConfFile(u"\\res\\font\\near.conf"));
    ASSERT_NE(pFont, nullptr);
    EXPECT_EQ(std::u16string(pFont->GetLogFontRef().lfFaceName), face);

    // The platform font follows the record: a new record frees the old font.
    CWceUiFont font;
    HFONT hSystem = font.GetFont();
    ASSERT_NE(hSystem, nullptr);
    font.SetLogFont(system);
    EXPECT_EQ(font.GetFont(), hSystem); // equal record: nothing changes
    font.SetLogFont(pFont->GetLogFontRef());
    LOGFONTW made;
    GetObjectW(font.GetFont(), sizeof(made), &made);
    EXPECT_EQ(std::u16string(made.lfFaceName), face);
}

TEST_F(LoaderTest, WhatIsStillHeldIsReportedOncePerIdentifier) {
    WriteBitmap(u"kept", 1, 1, 0);
    WriteColorTable(u"red=FF0000\r\n");
    WriteText(u"\\res\\font\\f.conf", u"height=10\r\n");
    CWceUiGenericBitmap* pBitmap = nullptr;
    CWceUiColor* pColor = nullptr;
    CWceUiFont* pFont = nullptr;
    {
        CFhBitmapResLoader bitmaps;
        CFhColorResLoader colors;
        CFhFontResLoader fonts;
        pBitmap = bitmaps.GetBitmap(u"kept.conf");
        ASSERT_EQ(bitmaps.GetBitmap(u"kept.conf"), pBitmap);
        pColor = colors.GetColor(u"red");
        pFont = fonts.GetFont(u"f.conf");
        CWceUiFont* pFont2 = fonts.GetFont(u"f.conf");
        fonts.GetFont(u"f.conf");
        fonts.ReleaseFont(pFont2);
        ASSERT_NE(pBitmap, nullptr);
        ASSERT_NE(pColor, nullptr);
        ASSERT_NE(pFont, nullptr);
        m_log.Clear();
    }
    EXPECT_EQ(m_log.Messages(),
              (std::vector<std::u16string>{
                  u"f.conf is not released, reference count is 2. call WceUiReleaseFont to release",
                  u"red is not released, reference count is 1. call WceUiReleaseColor to release",
                  u"kept.conf is not released, reference count is 2. call WceUiReleaseBitmap to release",
              }));
    // The report does not free them (their users may still draw with them).
    EXPECT_EQ(pBitmap->GetWidth(), 1);
    delete pBitmap;
    delete pColor;
    delete pFont;
}

TEST_F(LoaderTest, TheProcessReportsWhatIsStillHeldWhenItExits) {
    WriteBitmap(u"forgotten", 1, 1, 0);
    EXPECT_EXIT(
        {
            CWceUiLogFile::Instance().SetHook([](int, const std::u16string& m) {
                fprintf(stderr, "%s\n", std::string(m.begin(), m.end()).c_str());
            });
            WceUiGetBitmap(u"forgotten.conf");
            exit(0);
        },
        testing::ExitedWithCode(0),
        "forgotten.conf is not released, reference count is 1. call WceUiReleaseBitmap to release");
}

// Runs only in a process where no test has set the resource directory yet (CTest runs each test in a
// process of its own).
TEST(LoaderWithoutResDirTest, EveryRequestSaysThatTheResourceDirectoryIsMissing) {
    if (*CFhGlobalData::Instance().GetResDir()) {
        GTEST_SKIP() << "the resource directory was set by an earlier test of this process";
    }
    testsupport::LogCapture log;
    EXPECT_EQ(WceUiGetBitmap(u"a.conf"), nullptr);
    EXPECT_EQ(WceUiGetColor(u"red"), nullptr);
    EXPECT_EQ(WceUiGetFont(u"f.conf"), nullptr);
    const std::u16string message = u"please set the resource directory use WceUiInit or WceUiChangeResDir";
    EXPECT_EQ(log.Messages(), (std::vector<std::u16string>{message, message, message}));
}
