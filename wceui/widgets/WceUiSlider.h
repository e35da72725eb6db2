// A horizontal bar drawn from three bitmaps (background, selected background, thumb) with an integer
// range and position. The pen drags it unless it is read-only; every change the pen makes is posted to
// the host window as WCEUI_WM_SLIDER_NOTIFY.
#pragma once

#include "wceui/ui/WceUiLayer.h"

#include <memory>
#include <string>

class CWceUiLoadBitmap;

// Posted to the host window with the slider as first parameter and a WCEUI_SLIDER_* code as second.
#define WCEUI_WM_SLIDER_NOTIFY (WM_APP + 0x3EA)
#define WCEUI_SLIDER_POS_DOWN 0 // the position changed at pen-down
#define WCEUI_SLIDER_POS_MOVE 1 // it changed while dragging
#define WCEUI_SLIDER_POS_UP 2   // it changed at pen-up

class CWceUiSlider : public CWceUiLayer {
public:
    CWceUiSlider();
    ~CWceUiSlider() override;

    // The layer's own properties, then "bg_bmp", "bg_sel_bmp", "thumb_bmp" and "readonly".
    BOOL SetProperties(CWceUiXmlElem* pCreateElem) override;
    // Fits the width to the background plus the thumb when both bitmaps load.
    void OnInitLayer() override;
    void OnLoseCapture() override;
    void OnLButtonDown(UINT nFlags, POINT point) override;
    void OnLButtonUp(UINT nFlags, POINT point) override;
    void OnMouseMove(UINT nFlags, POINT point) override;
    // Draws the bar in place of a text.
    void OnDrawText(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient) override;

    // Refused (FALSE, logged) when nMax < nMin; the position is left as it is.
    BOOL SetRange(int nMin, int nMax, BOOL bRedraw);
    void GetRange(int* pnMin, int* pnMax) const;
    // Refused when outside the range; no notification is posted.
    BOOL SetPos(int nPos);
    int GetPos() const;

    void SetReadOnly(BOOL bReadOnly);
    BOOL IsReadOnly() const;
    BOOL IsDragging() const;

    // The three bitmaps, by resource identifier or as a copy of a bitmap made by the caller. The thumb
    // width follows the thumb bitmap when it loads.
    BOOL SetBgBitmap(LPCWSTR pBitmapID);
    BOOL SetBgSelBitmap(LPCWSTR pBitmapID);
    BOOL SetThumbBitmap(LPCWSTR pBitmapID);
    BOOL SetBgBitmap(CWceUiGenericBitmap* pBitmap);
    BOOL SetBgSelBitmap(CWceUiGenericBitmap* pBitmap);
    BOOL SetThumbBitmap(CWceUiGenericBitmap* pBitmap);
    int GetThumbWidth() const;

    // The pixel mapping: a pen x in window coordinates to a track offset (0..track length), an offset to
    // a value, and the position to its offset.
    int PointToOffset(int x) const;
    int OffsetToValue(int nOffset) const;
    int PosToOffset() const;
    // The slider's width less the thumb's; the thumb centre travels along it.
    int GetTrackLength() const;

    // What the layer-tree dump adds after a slider's common fields: " range=MIN..MAX pos=P".
    std::u16string GetDumpInfo() const;
    void AppendDumpInfo(std::string* line, std::vector<std::string>* extraLines) const override;

    struct SliderData;
    SliderData* GetSliderData() const;

private:
    void TrackPen(POINT point, int nCode);
    void UpdateThumbWidth();

    std::unique_ptr<SliderData> m_pSliderData;
};

WCEUI_DYNCREATE_BEGIN(CWceUiSlider, CWceUiLayer)
WCEUI_DYNCREATE_END(CWceUiSlider)
