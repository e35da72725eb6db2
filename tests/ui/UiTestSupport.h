// Helpers of the layer suites: a host window that records what the layers ask of it, a device folder
// with window and resource directories, and dialogs made from dialog and style text.
#pragma once

#include "style/StyleTestSupport.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/style/WceUiStyleCtrls.h"
#include "wceui/ui/WceUiDlg.h"
#include "wceui/ui/WceUiLayer.h"
#include "wceui/ui/WceUiLayerCtrl.h"

#include "wceui/anim/WceUiWndAnimate.h"

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace uitest {

// The address of a rectangle written in place, for calls that take a pointer.
inline const RECT* R(const RECT& rc) {
    return &rc;
}

class FakeHost : public CWceUiLayerHost {
public:
    void InvalidateWndRect(LPCRECT lpRect, BOOL) override {
        RECT rc = {0, 0, 0, 0};
        if (lpRect) {
            rc = *lpRect;
        }
        invalid.push_back(rc);
    }
    BOOL SetWndTimer(UINT_PTR uIDEvent, UINT uElapse) override {
        timers[uIDEvent] = uElapse;
        return TRUE;
    }
    BOOL KillWndTimer(UINT_PTR uIDEvent) override { return timers.erase(uIDEvent) > 0; }
    BOOL RegisterMsg(UINT uMsg, CWceUiLayer* pLayer) override {
        messages.push_back({uMsg, pLayer});
        return TRUE;
    }
    BOOL UnRegisterMsg(UINT uMsg, CWceUiLayer* pLayer) override {
        auto it = std::find(messages.begin(), messages.end(), std::make_pair(uMsg, pLayer));
        if (it == messages.end()) {
            return FALSE;
        }
        messages.erase(it);
        return TRUE;
    }
    CWceUiLayer* SetCapture(CWceUiLayer* pLayer) override {
        CWceUiLayer* pOld = capture;
        if (capture && capture != pLayer) {
            capture->OnLoseCapture();
        }
        capture = pLayer;
        return pOld;
    }
    void ReleaseCapture(CWceUiLayer* pLayer) override {
        if (capture == pLayer) {
            capture = nullptr;
        }
    }
    CWceUiLayer* GetCaptureLayer() const override { return capture; }
    BOOL MoveWnd(LPCRECT lpRect) override {
        moves.push_back(*lpRect);
        return TRUE;
    }
    BOOL Apply(CWceUiGenericBitmap*) override {
        ++applied;
        return TRUE;
    }
    BOOL Play(CWceUiWndAnimate** ppWndAnimate, int nWndAnimate, BOOL) override {
        for (int i = 0; i < nWndAnimate; ++i) {
            played.push_back(ppWndAnimate[i]->GetClassName());
        }
        return TRUE;
    }
    // Runs the steps queued for this level of nesting, then stands for a queue that ran dry.
    BOOL RunModalLoop(const BOOL* pbEnd) override {
        const size_t level = loopDepth++;
        while (!*pbEnd && level < loopSteps.size() && !loopSteps[level].empty()) {
            auto step = loopSteps[level].front();
            loopSteps[level].erase(loopSteps[level].begin());
            step();
        }
        --loopDepth;
        return *pbEnd;
    }
    void WakeUp() override { ++wakeUps; }

    bool WasInvalidated(const RECT& rc) const {
        return std::any_of(invalid.begin(), invalid.end(), [&](const RECT& r) { return EqualRect(&r, &rc); });
    }

    std::vector<RECT> invalid;
    std::map<UINT_PTR, UINT> timers;
    std::vector<std::pair<UINT, CWceUiLayer*>> messages;
    CWceUiLayer* capture = nullptr;
    std::vector<RECT> moves;
    int applied = 0;
    std::vector<std::u16string> played;
    // loopSteps[n]: what happens, in order, inside the modal loop nested n deep.
    std::vector<std::vector<std::function<void()>>> loopSteps;
    size_t loopDepth = 0;
    int wakeUps = 0;
};

// A device folder with "\wnd\" and "\res\", a controller on a recording host, and dialogs made from
// text. Every dialog made is deleted again before the loaders are checked.
class LayerTest : public styletest::ResDirTest {
protected:
    void SetUp() override {
        ResDirTest::SetUp();
        ASSERT_TRUE(CFhGlobalData::Instance().SetWndDir(u"\\wnd\\"));
        m_ctrl = std::make_unique<CWceUiLayerCtrl>();
        m_ctrl->SetWindow(&m_host);
    }
    void TearDown() override {
        CWceUiLayer* pRoot = m_ctrl->RootLayer();
        while (CWceUiLayer* pDlg = pRoot->GetLastChild()) {
            m_ctrl->DeleteLayer(pDlg);
        }
        for (CWceUiDlg* pDlg : m_loose) {
            m_ctrl->DeleteLayer(pDlg);
        }
        m_loose.clear();
        EXPECT_EQ(m_ctrl->GetLayerCount(), 1) << "layers left besides the root";
        m_ctrl.reset();
        ResDirTest::TearDown();
    }
    // Writes "\wnd\<name>.dlg.xml" and "\wnd\<name>.style.xml".
    void WriteDialog(const std::u16string& name, const std::u16string& dlgXml,
                     const std::u16string& styleXml) {
        const std::string host = HostPath((u"\\wnd\\" + name + u".dlg.xml").c_str());
        testsupport::MakeHostFolders(std::filesystem::path(host).parent_path().string());
        WriteText((u"\\wnd\\" + name + u".dlg.xml").c_str(), dlgXml);
        WriteText((u"\\wnd\\" + name + u".style.xml").c_str(), styleXml);
    }
    // Creates a dialog and runs it as the only one (no message loop), or keeps it out of the tree.
    CWceUiDlg* Open(LPCWSTR pPath, bool bRun = true) {
        CWceUiDlg* pDlg = m_ctrl->CreateDlg(pPath);
        if (pDlg && bRun) {
            EXPECT_TRUE(pDlg->RunModeless());
        } else if (pDlg) {
            m_loose.push_back(pDlg);
        }
        return pDlg;
    }
    // A plain dialog of the given window rectangle, made in code.
    CWceUiDlg* NewDlg(const RECT& rc, bool bAppend = true) {
        CWceUiDlg* pDlg = new CWceUiDlg;
        pDlg->SetLayerCtrl(m_ctrl.get());
        m_ctrl->InitLayerInfo(pDlg, u"dlg");
        pDlg->SetLayerPosition(&rc, WCEUI_POS_WAY_WINDOW, FALSE);
        if (bAppend) {
            EXPECT_TRUE(m_ctrl->RootLayer()->AppendChild(pDlg));
        } else {
            m_loose.push_back(pDlg);
        }
        return pDlg;
    }
    CWceUiLayer* Child(CWceUiLayer* pParent, LPCWSTR pName, const RECT& rc,
                       int nWay = WCEUI_POS_WAY_RELATIVE) {
        CWceUiLayer* p = m_ctrl->CreateLayer(pParent, u"CWceUiLayer", pName);
        EXPECT_NE(p, nullptr);
        if (p) {
            p->SetLayerPosition(&rc, nWay, FALSE);
        }
        return p;
    }

    FakeHost m_host;
    std::unique_ptr<CWceUiLayerCtrl> m_ctrl;
    std::vector<CWceUiDlg*> m_loose;
};

inline std::vector<std::u16string> Names(CWceUiLayerCtrl& ctrl, CWceUiLayer* (CWceUiLayerCtrl::*head)() const,
                                         CWceUiLayer* (CWceUiLayerCtrl::*next)(CWceUiLayer*) const) {
    std::vector<std::u16string> names;
    for (CWceUiLayer* p = (ctrl.*head)(); p; p = (ctrl.*next)(p)) {
        names.push_back(p->GetName());
    }
    return names;
}

inline std::vector<std::u16string> DrawNames(CWceUiLayerCtrl& c) {
    return Names(c, &CWceUiLayerCtrl::GetDrawHead, &CWceUiLayerCtrl::GetDrawNext);
}
inline std::vector<std::u16string> InputNames(CWceUiLayerCtrl& c) {
    return Names(c, &CWceUiLayerCtrl::GetInputHead, &CWceUiLayerCtrl::GetInputNext);
}
inline std::vector<std::u16string> PaintNames(CWceUiLayerCtrl& c) {
    return Names(c, &CWceUiLayerCtrl::GetPaintHead, &CWceUiLayerCtrl::GetPaintNext);
}

} // namespace uitest
