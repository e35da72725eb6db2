#include "support/TestSupport.h"
#include "wceui/core/WceUiObject.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

namespace {

// A small class chain of our own, registered the way framework classes are.
class CTestShape : public CWceUiObject {
public:
    CTestShape() { SetClassName(WCEUI_CLASS_NAME(CTestShape)); }
};
class CTestCircle : public CTestShape {
public:
    CTestCircle() { SetClassName(WCEUI_CLASS_NAME(CTestCircle)); }
};
class CTestAbstract : public CWceUiObject {};

} // namespace

WCEUI_DYNCREATE_BEGIN(CTestShape, CWceUiObject)
WCEUI_DYNCREATE_END(CTestShape)
WCEUI_DYNCREATE_BEGIN(CTestCircle, CTestShape)
WCEUI_DYNCREATE_END(CTestCircle)
WCEUI_DYNAMIC_BEGIN(CTestAbstract, CWceUiObject)
WCEUI_DYNAMIC_END(CTestAbstract)

TEST(ClassRegistry, CreatesByNameWithTheMostDerivedName) {
    std::unique_ptr<CWceUiObject> circle(WceUiCreateObject(u"CTestCircle"));
    ASSERT_NE(circle, nullptr);
    EXPECT_EQ(std::u16string(circle->GetClassName()), u"CTestCircle");
    EXPECT_TRUE(circle->IsKindOf(u"CTestShape"));
    EXPECT_TRUE(circle->IsKindOf(WCEUI_CLASS_NAME(CWceUiObject)));
    std::unique_ptr<CWceUiObject> root(WceUiCreateObject(u"CWceUiObject"));
    ASSERT_NE(root, nullptr);
    EXPECT_FALSE(root->IsKindOf(u"CTestShape"));
}

TEST(ClassRegistry, RefusesUnknownAndKnownOnlyClassesWithTheirMessages) {
    testsupport::LogCapture log;
    EXPECT_EQ(WceUiCreateObject(u"CNoSuchClass"), nullptr);
    ASSERT_EQ(log.Messages().size(), 1u);
    EXPECT_EQ(log.Messages()[0],
              u"can not create class:CNoSuchClass, check WCEUI_DYNCREATE_BEGIN/ WCEUI_DYNCREATE_END");
    log.Clear();
    EXPECT_EQ(WceUiCreateObject(u"CTestAbstract"), nullptr);
    EXPECT_EQ(WceUiCreateObject(u"CWceUiGenericBitmap"), nullptr);
    ASSERT_EQ(log.Messages().size(), 2u);
    for (const auto& m : log.Messages())
        EXPECT_EQ(m, u"you must use WCEUI_DYNCREATE_BEGIN/WCEUI_DYNCREATE_END for dynamic create object,not "
                     u"WCEUI_DYNAMIC_BEGIN/WCEUI_DYNAMIC_END.");
    log.Clear();
    EXPECT_EQ(WceUiCreateObject(nullptr), nullptr);
    EXPECT_EQ(WceUiCreateObject(u""), nullptr);
    ASSERT_EQ(log.Messages().size(), 2u);
    EXPECT_EQ(log.Messages()[0], u"WceUiCreateObject,check(NULL != pClassName)fail");
    EXPECT_EQ(log.Messages()[1], u"WceUiCreateObject,check(*pClassName)fail");
}

TEST(ClassRegistry, KindsFollowTheWholeFrameworkTable) {
    // The framework's chains are known by name even in a program that has none of their code.
    class CFakeListBox : public CWceUiObject {
    public:
        CFakeListBox() { SetClassName(u"CWceUiListBox"); }
    } listBox;
    EXPECT_TRUE(listBox.IsKindOf(u"CWceUiScrollLayer"));
    EXPECT_TRUE(listBox.IsKindOf(u"CWceUiLayer"));
    EXPECT_TRUE(listBox.IsKindOf(u"CWceUiObject"));
    EXPECT_FALSE(listBox.IsKindOf(u"CWceUiEditBox"));
    class CFake565 : public CWceUiObject {
    public:
        CFake565() { SetClassName(u"CWceUi565Bitmap"); }
    } bitmap;
    EXPECT_TRUE(bitmap.IsKindOf(u"CWceUiGenericBitmap"));
    EXPECT_FALSE(bitmap.IsKindOf(u"CWceUiLayer"));
    // An application enters its own classes on the framework's chains, by name only here.
    WceUiDeclareClass(u"CAppListDlg", u"CWceUiDlg");
    WceUiDeclareClass(u"CAppMainDlg", u"CAppListDlg");
    class CFakeMain : public CWceUiObject {
    public:
        CFakeMain() { SetClassName(u"CAppMainDlg"); }
    } dialog;
    EXPECT_TRUE(dialog.IsKindOf(u"CAppListDlg"));
    EXPECT_TRUE(dialog.IsKindOf(u"CWceUiDlg"));
    EXPECT_FALSE(dialog.IsKindOf(u"CWceUiListBox"));
    // An unregistered class is still its own kind, and nothing else.
    class CStranger : public CWceUiObject {
    public:
        CStranger() { SetClassName(u"CStranger"); }
    } stranger;
    EXPECT_TRUE(stranger.IsKindOf(u"CStranger"));
    EXPECT_FALSE(stranger.IsKindOf(u"CWceUiObject"));
    // A declared class whose code is not linked in cannot be created.
    testsupport::LogCapture log;
    EXPECT_EQ(WceUiCreateObject(u"CAppMainDlg"), nullptr);
    EXPECT_TRUE(log.Contains(u"can not create class:CAppMainDlg"));
}

TEST(ClassRegistry, RegistrationBeforeTheBaseCompletesThePlaceholder) {
    static const WCHAR child[] = u"CLateChild";
    static const WCHAR parent[] = u"CLateParent";
    WceUiRegisterClass(child, parent, nullptr);
    WceUiRegisterClass(parent, u"CWceUiObject", nullptr);
    class CLate : public CWceUiObject {
    public:
        CLate() { SetClassName(child); }
    } late;
    EXPECT_TRUE(late.IsKindOf(u"CLateParent"));
    EXPECT_TRUE(late.IsKindOf(u"CWceUiObject"));
}

// Class names are the one lookup that keeps letter case: across the Basic Multilingual Plane, a
// name registered with one case partner of a unit is not found under another, by creation or kind.
TEST(ClassRegistry, NamesKeepLetterCaseForEveryUnit) {
    static std::vector<std::u16string>* names = new std::vector<std::u16string>; // registry keeps pointers
    std::vector<std::vector<char16_t>> classes;
    {
        std::map<char16_t, std::vector<char16_t>> byFold;
        for (unsigned c = 0x20; c <= 0xFFFF; ++c) {
            if (c < 0xD800 || c > 0xDFFF)
                byFold[WCharLower(static_cast<char16_t>(c))].push_back(static_cast<char16_t>(c));
        }
        for (auto& [fold, members] : byFold) {
            if (members.size() > 1)
                classes.push_back(members);
        }
    }
    ASSERT_GT(classes.size(), 300u);
    names->reserve(classes.size());
    for (const auto& members : classes) {
        names->push_back(u"CCase" + std::u16string(1, members[0]));
        WceUiRegisterClass(names->back().c_str(), WCEUI_CLASS_NAME(CTestShape),
                           [] { return static_cast<CWceUiObject*>(new CTestShape); });
    }
    testsupport::LogCapture log;
    for (size_t i = 0; i < classes.size(); ++i) {
        const LPCWSTR registered = (*names)[i].c_str();
        std::unique_ptr<CWceUiObject> made(WceUiCreateObject(registered));
        ASSERT_NE(made, nullptr) << i;
        made->SetClassName(registered);
        for (char16_t other : classes[i]) {
            if (other == classes[i][0])
                continue;
            std::u16string variant = u"CCase" + std::u16string(1, other);
            EXPECT_EQ(WceUiCreateObject(variant.c_str()), nullptr) << std::hex << unsigned(other);
            EXPECT_FALSE(made->IsKindOf(variant.c_str())) << std::hex << unsigned(other);
        }
        EXPECT_TRUE(made->IsKindOf(registered));
    }
}
