// The main dialog's own record, shared by its screen code and its update sequence.
#pragma once

#include "app/TravlekDlg.h"

#include <string>
#include <vector>

// Message box flags the updater uses: an error with one "ok" button, information with one "ok".
#define TRAVLEK_BOX_ERROR 0x10
#define TRAVLEK_BOX_INFO 0x40

struct CTravlekDlg::Data {
    CWceUiListBox* pListBox = nullptr;
    CWceUiSlider* pProgress = nullptr;
    std::u16string configuredApp;
    // Text colours of the greyed layers before the update run greyed them.
    std::vector<std::pair<CWceUiLayer*, COLORREF>> savedColors;
};
