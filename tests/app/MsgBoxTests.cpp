// The message box run over a host window: icons and buttons by flags, results of the buttons by
// scripted taps, the text cut to 255 units, and text given as a language key.
#include "AppTestSupport.h"

#include "app/MsgBox.h"
#include "app/MsgBoxDlg.h"
#include "wceui/ui/WceUiLayerCtrl.h"

#include <functional>

namespace {

// Runs one body inside the window's modal run; the host window gives the script its layer dump.
class CBoxHost : public CWceUiRealWnd {
public:
    explicit CBoxHost(std::function<void(CBoxHost*)> body) : m_body(std::move(body)) {}
    void OnInitDialog() override {
        m_body(this);
        EndDialog(0);
    }

private:
    std::function<void(CBoxHost*)> m_body;
};

int RunBox(UINT uFlags, LPCWSTR pText = u"Hello") {
    int nResult = -100;
    CBoxHost host([&](CBoxHost* pHost) { nResult = TravlekMessageBox(pHost, pText, uFlags); });
    RECT rc = {0, 0, 800, 480};
    host.DoModal(WS_POPUP | WS_VISIBLE, &rc, nullptr);
    return nResult;
}

// The line of the named layer in a dump, or empty.
std::string LayerLine(const std::string& dump, const std::string& name) {
    const std::string key = "\"" + name + "\"";
    size_t at = dump.find(key);
    if (at == std::string::npos) {
        return "";
    }
    size_t begin = dump.rfind('\n', at);
    begin = begin == std::string::npos ? 0 : begin + 1;
    return dump.substr(begin, dump.find('\n', at) - begin);
}

bool Visible(const std::string& dump, const std::string& name) {
    return LayerLine(dump, name).find(" visible ") != std::string::npos;
}

// Panel at 100,137; buttons 56 high from y 267: "ok" at x 320, "yes" at 230, "no" at 410.
const char kTapOk[] = "tap 400 320\n";
const char kTapYes[] = "tap 310 320\n";
const char kTapNo[] = "tap 490 320\n";

class MsgBoxTest : public AppTest {};

TEST_F(MsgBoxTest, ErrorFlagsShowOneOkButtonAndTheErrorIconAndOkAnswersYes) {
    Start("wait 500\ndump " + File("dump.txt") + "\n" + kTapYes + kTapNo + "wait 100\n" + kTapOk);
    EXPECT_EQ(RunBox(MB_ICONHAND | MB_OK), IDYES);
    const std::string dump = testsupport::ReadHostFile(File("dump.txt"));
    EXPECT_TRUE(Visible(dump, "error_icon")) << dump;
    for (const char* name : {"info_icon", "question_icon", "warning_icon", "yes", "no"}) {
        EXPECT_FALSE(Visible(dump, name)) << name << "\n" << dump;
    }
    EXPECT_TRUE(Visible(dump, "ok"));
    EXPECT_NE(LayerLine(dump, "msg").find(" \"Hello\""), std::string::npos) << dump;
}

TEST_F(MsgBoxTest, QuestionYesNoAnswersByTheButtonTapped) {
    Start("wait 500\ndump " + File("dump.txt") + "\n" + kTapOk + "wait 100\n" + kTapNo);
    EXPECT_EQ(RunBox(MB_ICONQUESTION | MB_YESNO), IDNO);
    const std::string dump = testsupport::ReadHostFile(File("dump.txt"));
    EXPECT_TRUE(Visible(dump, "question_icon")) << dump;
    EXPECT_TRUE(Visible(dump, "yes"));
    EXPECT_TRUE(Visible(dump, "no"));
    EXPECT_FALSE(Visible(dump, "ok"));
    EXPECT_FALSE(Visible(dump, "error_icon"));

    PlatformStopDisplay();
    Start(std::string("wait 500\n") + kTapYes);
    EXPECT_EQ(RunBox(MB_ICONQUESTION | MB_YESNO), IDYES);
}

TEST_F(MsgBoxTest, IconGroupPicksOneIconOrNone) {
    const struct {
        UINT flags;
        const char* icon;
    } cases[] = {
        {MB_ICONEXCLAMATION, "warning_icon"}, {MB_ICONASTERISK, "info_icon"}, {0, nullptr}, {0x50, nullptr}};
    for (const auto& c : cases) {
        PlatformStopDisplay();
        Start("wait 500\ndump " + File("dump.txt") + "\n" + kTapOk);
        EXPECT_EQ(RunBox(c.flags), IDYES);
        const std::string dump = testsupport::ReadHostFile(File("dump.txt"));
        for (const char* name : {"info_icon", "question_icon", "warning_icon", "error_icon"}) {
            const bool expected = c.icon && std::string(c.icon) == name;
            EXPECT_EQ(Visible(dump, name), expected) << "flags " << c.flags << " " << name << "\n" << dump;
        }
    }
}

TEST_F(MsgBoxTest, LongTextIsCutTo255UnitsAndAKeyTextComesFromTheLanguageFile) {
    Start(std::string("wait 500\n") + kTapOk + "wait 500\n" + kTapOk);
    std::u16string longText(300, u'a');
    longText[254] = u'b';
    std::u16string shown;
    std::u16string keyShown;
    CBoxHost host([&](CBoxHost* pHost) {
        CWceUiLayerCtrl* pCtrl = pHost->GetLayerCtrl();
        auto* pBox = static_cast<CMsgBoxDlg*>(pCtrl->CreateDlg(u"CMsgBoxDlg"));
        ASSERT_NE(pBox, nullptr);
        EXPECT_EQ(pBox->ShowMessage(longText.c_str(), 0, MB_OK), IDYES);
        shown = pBox->GetChildByName(u"msg")->GetText();
        pCtrl->DeleteLayer(pBox);

        pBox = static_cast<CMsgBoxDlg*>(pCtrl->CreateDlg(u"CMsgBoxDlg"));
        ASSERT_NE(pBox, nullptr);
        EXPECT_EQ(pBox->ShowMessage(u"btn_ok", 1, MB_OK), IDYES);
        keyShown = pBox->GetChildByName(u"msg")->GetText();
        pCtrl->DeleteLayer(pBox);
    });
    RECT rc = {0, 0, 800, 480};
    host.DoModal(WS_POPUP | WS_VISIBLE, &rc, nullptr);
    EXPECT_EQ(shown.size(), 255u);
    EXPECT_EQ(shown.back(), u'b');
    EXPECT_FALSE(keyShown.empty());
    EXPECT_NE(keyShown, u"btn_ok");
}

TEST_F(MsgBoxTest, NoWindowOrNoSkinGivesZeroInsteadOfABox) {
    EXPECT_EQ(TravlekMessageBox(nullptr, u"x", MB_OK), 0);
    Start("");
    ASSERT_TRUE(CFhGlobalData::Instance().SetWndDir(u"\\nowhere\\"));
    testsupport::LogCapture log;
    EXPECT_EQ(RunBox(MB_OK), 0);
    EXPECT_TRUE(log.Contains(u"CMsgBoxDlg"));
}

} // namespace
