// The main dialog in the real host window on the headless display, on a device folder made by the
// test: an SD card with a package, an old application in the resident flash and the registry.
#pragma once

#include "support/HostWindowTest.h"

#include "app/TravlekDlg.h"
#include "wceui/ui/WceUiRealWnd.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace apptest {

struct ShownMessage {
    std::u16string text;
    UINT flags;
};
// Every message box shown during a run, in order.
extern std::vector<ShownMessage> g_messages;

// Runs CTravlekDlg modally with the expected package and the "msk" type; onInit, when set, runs after
// the dialog's own initialisation has been asked for (before its timers fire); onEnd runs after the
// modal run, with the dialog still alive.
struct RunHooks {
    std::function<void(CTravlekDlg*)> onEnd;
};

class AppTest : public HostWindowTestBase {
protected:
    void SetUp() override;

    // A package of the given files (path under the root "app" -> content) at a device path.
    void WritePackage(LPCWSTR devicePath, const std::map<std::u16string, std::string>& files,
                      LPCWSTR password, LPCWSTR rootName = u"app");
    // A whole package with one byte of a file's stream flipped after the table.
    void DamageLastBytes(LPCWSTR devicePath);
    void SetRegistryString(HKEY root, LPCWSTR key, LPCWSTR name, LPCWSTR value);
    void CreateRegistryKey(HKEY root, LPCWSTR key);
    BOOL RegistryKeyExists(HKEY root, LPCWSTR key);
    void WriteDeviceFile(LPCWSTR devicePath, const std::string& content);
    bool DeviceFileExists(LPCWSTR devicePath);
    std::string ReadDeviceFile(LPCWSTR devicePath);
    std::vector<std::string> Journal();
    // Runs the dialog to its end (or until nothing more can happen) with the given pen script.
    void Run(LPCWSTR expectedPath, const std::string& script = "", RunHooks hooks = {});

    // Progress positions and status texts seen at every repaint of the host window.
    std::vector<std::pair<int, std::u16string>> m_progressSeen;
    // The list box's texts at every repaint that changed them.
    std::vector<std::vector<std::u16string>> m_listsSeen;
};

} // namespace apptest
