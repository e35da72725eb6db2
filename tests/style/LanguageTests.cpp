// The language file and the text handles: lookups, the switch of language reaching every live handle,
// and what a failed switch leaves.
#include "StyleTestSupport.h"
#include "wceui/style/FhLanguage.h"
#include "wceui/style/WceUiLoadString.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using styletest::ResDirTest;

namespace {

class LanguageTest : public ResDirTest {
protected:
    void SetUp() override {
        ResDirTest::SetUp();
        WriteText(u"\\lang\\en.lang", u"ok=OK\r\ncancel=Cancel\r\nstatus=Ready\\n\r\nonly_en=English\r\n");
        WriteText(u"\\lang\\de.lang", u"ok=Gut\r\ncancel=Abbrechen\r\nstatus=Bereit\\n\r\n");
    }
    // Each test has a language of its own, so that no handle of another test is in its list.
    CFhLanguage m_language;
};

} // namespace

TEST_F(LanguageTest, ASwitchOfLanguageChangesTheTextOfEveryHandle) {
    ASSERT_TRUE(m_language.SetLanguage(u"\\lang\\en.lang", FALSE));
    const LPCWSTR ids[] = {u"ok", u"cancel", u"status", u"only_en"};
    std::vector<std::unique_ptr<CWceUiLoadString>> handles;
    for (LPCWSTR id : ids) {
        handles.push_back(std::make_unique<CWceUiLoadString>(&m_language));
        ASSERT_TRUE(handles.back()->SetTextResID(id));
    }
    EXPECT_EQ(m_language.GetLoadStringCount(), 4);
    EXPECT_EQ(std::u16string(handles[0]->GetText()), u"OK");
    EXPECT_EQ(std::u16string(handles[2]->GetText()), u"Ready\\n"); // no escapes asked for
    EXPECT_EQ(std::u16string(handles[3]->GetText()), u"English");

    ASSERT_TRUE(m_language.SetLanguage(u"\\lang\\de.lang", TRUE));
    EXPECT_EQ(std::u16string(handles[0]->GetText()), u"Gut");
    EXPECT_EQ(std::u16string(handles[1]->GetText()), u"Abbrechen");
    EXPECT_EQ(std::u16string(handles[2]->GetText()), u"Bereit\n");
    EXPECT_TRUE(m_log.Messages().empty());
    // A text the new language lacks is empty, with its message.
    EXPECT_EQ(std::u16string(handles[3]->GetText()), u"");
    EXPECT_EQ(m_log.Messages(), std::vector<std::u16string>{u"LoadString only_en failed"});
    EXPECT_EQ(std::u16string(m_language.GetLanguagePath()), u"\\lang\\de.lang");

    handles.pop_back();
    EXPECT_EQ(m_language.GetLoadStringCount(), 3);
    handles.clear();
    EXPECT_EQ(m_language.GetLoadStringCount(), 0);
}

TEST_F(LanguageTest, TextsAreLookedUpOnlyWhenTheyMayHaveChanged) {
    ASSERT_TRUE(m_language.SetLanguage(u"\\lang\\en.lang", FALSE));
    CWceUiLoadString text(&m_language);
    EXPECT_EQ(std::u16string(text.GetText()), u""); // no identifier: empty, no lookup, no message
    EXPECT_TRUE(m_log.Messages().empty());
    text.SetTextResID(u"missing");
    EXPECT_EQ(std::u16string(text.GetText()), u"");
    EXPECT_EQ(std::u16string(text.GetText()), u"");
    EXPECT_EQ(m_log.Messages().size(), 1u); // looked up once, not at every read
    text.SetTextResID(u"ok");
    EXPECT_EQ(std::u16string(text.GetText()), u"OK");
    // Identifiers are exact: another case is another text.
    text.SetTextResID(u"OK");
    EXPECT_EQ(std::u16string(text.GetText()), u"");
    EXPECT_FALSE(text.SetTextResID(nullptr));
    EXPECT_TRUE(m_log.Contains(u"CWceUiLoadString::SetTextResID,check(NULL != pTextResID)fail"));
}

TEST_F(LanguageTest, AFailedSwitchEmptiesTheLanguageButKeepsTextsAlreadyRead) {
    ASSERT_TRUE(m_language.SetLanguage(u"\\lang\\en.lang", FALSE));
    CWceUiLoadString read(&m_language), unread(&m_language);
    read.SetTextResID(u"ok");
    unread.SetTextResID(u"cancel");
    EXPECT_EQ(std::u16string(read.GetText()), u"OK");

    EXPECT_FALSE(m_language.SetLanguage(u"\\lang\\fr.lang", FALSE));
    EXPECT_FALSE(m_language.IsLoaded());
    EXPECT_EQ(m_language.GetText(u"ok"), nullptr);
    EXPECT_EQ(std::u16string(read.GetText()), u"OK");
    EXPECT_EQ(std::u16string(unread.GetText()), u"");
    EXPECT_TRUE(m_log.Contains(u"LoadString cancel failed"));
    EXPECT_EQ(std::u16string(m_language.GetLanguagePath()), u"\\lang\\en.lang");

    EXPECT_FALSE(m_language.SetLanguage(nullptr, FALSE));
    EXPECT_TRUE(m_log.Contains(u"CFhLanguage::SetLanguage,check(NULL != pLangeFilePath)fail"));
}

TEST_F(LanguageTest, ARelativePathStartsAtTheProgramsFolderAndTheProcessLanguageServesDefaultHandles) {
    WriteText(u"\\Program\\lang\\en.lang", u"ok=Program OK\r\n");
    CWceUiLoadString text;
    text.SetTextResID(u"ok");
    ASSERT_TRUE(WceUiSetLanguage(u"lang\\en.lang", FALSE));
    EXPECT_EQ(std::u16string(text.GetText()), u"Program OK");
    EXPECT_EQ(std::u16string(CFhLanguage::Instance().GetLanguagePath()), u"lang\\en.lang");
}
