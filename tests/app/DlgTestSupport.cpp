#include "DlgTestSupport.h"

#include "app/MsgBox.h"
#include "app/TravlekMessages.h"
#include "package/MskWriter.h"
#include "platform/Platform.h"
#include "wceui/core/FhScramble.h"
#include "wceui/style/FhLanguage.h"
#include "wceui/ui/WceUiLayerCtrl.h"
#include "wceui/widgets/WceUiListBox.h"
#include "wceui/widgets/WceUiSlider.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace apptest {

std::vector<ShownMessage> g_messages;

} // namespace apptest

// The message box of these tests: it records the text and puts a line in the journal, so that its
// order against the broadcast can be read there, and answers "ok".
int TravlekMessageBox(CWceUiRealWnd*, LPCWSTR pText, UINT uFlags, BOOL* pShown) {
    if (NULL != pShown) {
        *pShown = TRUE;
    }
    apptest::g_messages.push_back({pText, uFlags});
    PlatformJournal("MessageBox " + WideToUtf8(pText));
    return 6;
}

namespace apptest {
namespace {

class CAppHost : public CWceUiRealWnd {
public:
    CAppHost(LPCWSTR pExpected, RunHooks hooks, std::vector<std::pair<int, std::u16string>>* pSeen,
             std::vector<std::vector<std::u16string>>* pLists)
        : m_expected(pExpected), m_hooks(std::move(hooks)), m_pSeen(pSeen), m_pLists(pLists) {}
    void OnInitDialog() override {
        CWceUiDlg* pDlg = GetLayerCtrl()->CreateDlg(u"CTravlekDlg");
        m_pDlg = dynamic_cast<CTravlekDlg*>(pDlg);
        ASSERT_NE(nullptr, m_pDlg);
        m_pDlg->AddAcceptedType(u"msk", u"");
        m_pDlg->SetExpectedPath(m_expected.c_str());
        m_pDlg->DoModal();
        if (m_hooks.onEnd) {
            m_hooks.onEnd(m_pDlg);
        }
        GetLayerCtrl()->DeleteLayer(m_pDlg);
        m_pDlg = nullptr;
        EndDialog(0);
    }
    void OnAfterPaint(CWceUiGenericBitmap*) override {
        if (NULL == m_pDlg || NULL == m_pDlg->GetProgress()) {
            return;
        }
        CWceUiLayer* pStatus = m_pDlg->GetChildByName(u"status");
        const std::u16string status =
            NULL == pStatus || NULL == pStatus->GetText() ? u"" : pStatus->GetText();
        const std::pair<int, std::u16string> seen(m_pDlg->GetProgress()->GetPos(), status);
        if (m_pSeen->empty() || m_pSeen->back() != seen) {
            m_pSeen->push_back(seen);
        }
        std::vector<std::u16string> list;
        if (CWceUiListBox* pList = m_pDlg->GetFileListBox()) {
            for (int i = 0; i < pList->GetCount(); ++i) {
                list.push_back(pList->GetItemText(i));
            }
        }
        if (!list.empty() && (m_pLists->empty() || m_pLists->back() != list)) {
            m_pLists->push_back(list);
        }
    }

private:
    std::u16string m_expected;
    RunHooks m_hooks;
    std::vector<std::pair<int, std::u16string>>* m_pSeen;
    std::vector<std::vector<std::u16string>>* m_pLists;
    CTravlekDlg* m_pDlg = nullptr;
};

} // namespace

void AppTest::SetUp() {
    ASSERT_NO_FATAL_FAILURE(HostWindowTestBase::SetUp());
    // The main dialog and the messages; the message box is this suite's own (TravlekMessageBox above).
    TravlekRegisterMainDialog();
    ASSERT_TRUE(TravlekRegisterMessages());
    g_messages.clear();
    WriteText(u"\\wnd\\CTravlekDlg.dlg.xml",
              u"<dialog><body name=\"CTravlekDlg\" style=\"dlg\" windowrect=\"0,0,320,240\">"
              u"<layer type=\"CWceUiLayer\" name=\"background\" style=\"background\"/>"
              u"<layer type=\"CWceUiListBox\" name=\"listbox\" style=\"list\" item_height=\"30\"/>"
              u"<layer type=\"CWceUiButton\" name=\"update\" style=\"b1\"/>"
              u"<layer type=\"CWceUiButton\" name=\"reboot\" style=\"b2\"/>"
              u"<layer type=\"CWceUiButton\" name=\"calibrate\" style=\"b3\"/>"
              u"<layer type=\"CWceUiButton\" name=\"back\" style=\"b4\"/>"
              u"<layer type=\"CWceUiSlider\" name=\"progress\" style=\"progress\" readonly=\"true\"/>"
              u"<layer type=\"CWceUiLayer\" name=\"status\" style=\"status\"/>"
              u"</body></dialog>");
    WriteText(u"\\wnd\\CTravlekDlg.style.xml",
              u"<dialog><style>"
              u"<dlg><position rect=\"0,0,320,240\"/><background color=\"0x000000\"/></dlg>"
              u"<background><position rect=\"0,0,320,240\"/><background color=\"0x101010\"/></background>"
              u"<list><position rect=\"0,0,240,180\"/><text color=\"0xE0E0E0\"/></list>"
              u"<b1><position rect=\"240,0,80,40\"/><text color=\"0x00FF00\"/></b1>"
              u"<b2><position rect=\"240,40,80,40\"/></b2>"
              u"<b3><position rect=\"240,80,80,40\"/></b3>"
              u"<b4><position rect=\"240,120,80,40\"/></b4>"
              u"<progress><position rect=\"0,190,240,20\"/></progress>"
              u"<status><position rect=\"240,190,80,20\"/></status>"
              u"</style></dialog>");
    WriteText(u"\\res\\english.ini", u"uplevel_folder=Up\r\n");
    ASSERT_TRUE(WceUiSetLanguage(u"\\res\\english.ini", FALSE));
    testsupport::MakeHostFolders(HostPath(u"\\SDMMC"));
    WriteDeviceFile(u"\\Residentflash2\\app\\old.exe", "old application");
    WriteDeviceFile(u"\\Residentflash2\\app\\data\\map.dat", "old map");
}

void AppTest::WritePackage(LPCWSTR devicePath, const std::map<std::u16string, std::string>& files,
                           LPCWSTR password, LPCWSTR rootName) {
    CMskWriter writer;
    for (const auto& [path, content] : files) {
        writer.AddFile(path, std::vector<BYTE>(content.begin(), content.end()));
    }
    std::u16string error;
    ASSERT_TRUE(writer.Write(devicePath, rootName, FhPasswordToKey(password), error)) << WideToUtf8(error);
}

void AppTest::DamageLastBytes(LPCWSTR devicePath) {
    const std::string host = HostPath(devicePath);
    std::string bytes = testsupport::ReadHostFile(host);
    ASSERT_GT(bytes.size(), 8u);
    // The streams lie behind the table; the end of the last one is its Adler-32 trailer.
    bytes[bytes.size() - 3] = static_cast<char>(bytes[bytes.size() - 3] ^ 0x5A);
    testsupport::WriteHostFile(host, bytes);
}

void AppTest::SetRegistryString(HKEY root, LPCWSTR key, LPCWSTR name, LPCWSTR value) {
    HKEY hKey = NULL;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, key, 0, NULL, 0, 0, NULL, &hKey, &disposition));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                            static_cast<DWORD>((WStrLen(value) + 1) * sizeof(WCHAR))));
    RegCloseKey(hKey);
}

void AppTest::CreateRegistryKey(HKEY root, LPCWSTR key) {
    HKEY hKey = NULL;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, key, 0, NULL, 0, 0, NULL, &hKey, &disposition));
    RegCloseKey(hKey);
}

BOOL AppTest::RegistryKeyExists(HKEY root, LPCWSTR key) {
    HKEY hKey = NULL;
    if (ERROR_SUCCESS != RegOpenKeyExW(root, key, 0, 0, &hKey)) {
        return FALSE;
    }
    RegCloseKey(hKey);
    return TRUE;
}

void AppTest::WriteDeviceFile(LPCWSTR devicePath, const std::string& content) {
    const std::string host = HostPath(devicePath);
    testsupport::MakeHostFolders(std::filesystem::path(host).parent_path().string());
    testsupport::WriteHostFile(host, content);
}

bool AppTest::DeviceFileExists(LPCWSTR devicePath) {
    return std::filesystem::exists(HostPath(devicePath));
}

std::string AppTest::ReadDeviceFile(LPCWSTR devicePath) {
    return testsupport::ReadHostFile(HostPath(devicePath));
}

std::vector<std::string> AppTest::Journal() {
    std::ifstream in(PlatformJournalPath());
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        const size_t colon = line.find(": ");
        lines.push_back(std::string::npos == colon ? line : line.substr(colon + 2));
    }
    return lines;
}

void AppTest::Run(LPCWSTR expectedPath, const std::string& script, RunHooks hooks) {
    ASSERT_NO_FATAL_FAILURE(Start(script));
    m_progressSeen.clear();
    m_listsSeen.clear();
    CAppHost host(expectedPath, std::move(hooks), &m_progressSeen, &m_listsSeen);
    RECT rc = {0, 0, 320, 240};
    host.DoModal(WS_POPUP | WS_VISIBLE, &rc, nullptr);
    if (HasFailure()) {
        for (const auto& line : m_log.Messages()) {
            std::printf("log: %s\n", WideToUtf8(line).c_str());
        }
    }
}

} // namespace apptest
