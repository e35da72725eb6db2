// Window animations: the transition from a window's previous picture (the from-bitmap) to its new
// picture (the to-bitmap), composed frame by frame in a third bitmap of the same size (the mixed
// bitmap). An animation only decides which pieces of the two pictures go where for frame n of N; the
// host window owns the bitmaps, the clock and the screen.
//
// The host plays a set of animations together:
//     for each enabled animation: ReStart(mixed, from, to)          (only checks)
//     for j = 0 .. largest frame count - 1:
//         for each animation with GetFrameCount() > j: Play(mixed, from, to, j, &nFrameLength)
//         paint the mixed bitmap, wait for the first animation's frame length
//     for each animation: Finish()
// The host fills the mixed bitmap with the from-bitmap before the first frame; Play touches only the
// animation rectangle, and the last frame always copies the to-bitmap there.
#pragma once

#include "platform/WinCe.h"
#include "wceui/core/WceUiObject.h"

class CWceUiGenericBitmap;
struct CWceUiXmlNode;
typedef CWceUiXmlNode CWceUiXmlElem;

// Characters of an animation's name, terminator included.
#define WCEUI_ANIMATE_NAME_LEN 64
// What a new animation plays: frames and milliseconds per frame.
#define WCEUI_ANIMATE_DEFAULT_FRAME_COUNT 12
#define WCEUI_ANIMATE_DEFAULT_FRAME_LENGTH 33

// How far an ease-in, ease-out movement of nStotal pixels has got after frame nCurFrame of
// nFrameCount (0 for arguments out of range); the last frame gives exactly nStotal.
int CalcAnidisplacement(int nCurFrame, int nFrameCount, int nStotal);

class CWceUiWndAnimate : public CWceUiObject {
public:
    CWceUiWndAnimate();
    ~CWceUiWndAnimate() override;
    CWceUiWndAnimate(const CWceUiWndAnimate&) = delete;
    CWceUiWndAnimate& operator=(const CWceUiWndAnimate&) = delete;

    // Reads the "animate" item of a style file: the name from the tag, "frame-count", "rect" (x, y,
    // width, height) and, in the kinds, "direction" and "frame-length".
    virtual BOOL Init(const CWceUiXmlElem* pElem);
    // Checks the bitmaps and settings before a run; changes nothing.
    virtual BOOL ReStart(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                         CWceUiGenericBitmap* pToBitmap);
    // Draws frame nCurFrame (0 .. GetFrameCount() - 1) into the mixed bitmap and writes the frame
    // length in milliseconds to *lpPlayTime. Frames may be played in any order and repeated.
    virtual BOOL Play(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                      CWceUiGenericBitmap* pToBitmap, int nCurFrame, int* lpPlayTime) = 0;
    // Called once after the last frame of a run.
    virtual void Finish();
    // Picks one of the kind's directions with the platform's pseudo-random generator.
    virtual void SetRandomDirection();

    // Copies at most WCEUI_ANIMATE_NAME_LEN - 1 characters.
    void SetName(LPCWSTR pName);
    LPCWSTR GetName() const { return m_szName; }
    // A count below 1 is stored (after its check message) and refused when playing.
    void SetFrameCount(int nFrameCount);
    int GetFrameCount() const { return m_nFrameCount; }
    // The animated part of the mixed bitmap; the unbounded rectangle (SetRectLarge) means all of it.
    void SetRect(LPCRECT lpRcAnimate);
    void GetRect(LPRECT lpRcAnimate) const;
    // The three bitmaps are loaded and of one size, the rectangle meets the bitmap, frames >= 1.
    BOOL CheckParameter(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                        CWceUiGenericBitmap* pToBitmap);
    BOOL IsEnabled() const { return m_bEnabled; }

protected:
    // The steps of Play that every kind shares. pKind names the kind in messages ("CWceUiBarnAni").
    // Returns PLAY_FAILED, PLAY_DONE (the last frame: the to-bitmap was copied) or PLAY_DRAW with
    // *lpRect the animation rectangle clipped to the mixed bitmap, for the kind to draw the frame in.
    enum { PLAY_FAILED, PLAY_DONE, PLAY_DRAW };
    int BeginPlay(const char* pKind, CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                  CWceUiGenericBitmap* pToBitmap, int nCurFrame, int* lpPlayTime, LPRECT lpRect);
    // Plain copy of the source's (xSrc, ySrc, nWidth, nHeight) to (xDst, yDst) of the mixed bitmap.
    static BOOL CopyPiece(CWceUiGenericBitmap* pMixedBitmap, int xDst, int yDst, int nWidth, int nHeight,
                          CWceUiGenericBitmap* pSrcBmp, int xSrc, int ySrc);
    // The value of an attribute of the element, or null.
    static LPCWSTR GetAttr(const CWceUiXmlElem* pElem, LPCWSTR pName);
    // Reads "frame-length" for the kind's Init into *pnFrameLength; FALSE (with the kind's message)
    // when it is not a positive number. pInitName is "CWceUiBarnAni::Init" and so on.
    static BOOL ReadFrameLength(const CWceUiXmlElem* pElem, LPCWSTR pInitName, int* pnFrameLength);
    // The kind's base Init step with its message on failure.
    BOOL InitBase(const CWceUiXmlElem* pElem, LPCWSTR pKind);

private:
    BOOL m_bEnabled;
    RECT m_rcAnimate;
    int m_nFrameCount;
    WCHAR m_szName[WCEUI_ANIMATE_NAME_LEN];
};

WCEUI_DYNAMIC_BEGIN(CWceUiWndAnimate, CWceUiObject)
WCEUI_DYNAMIC_END(CWceUiWndAnimate)

// Every program that sees the base class can create the five kinds by class name: this reference
// links in the unit that registers them.
int WceUiLinkWndAnimateKinds();
namespace {
[[maybe_unused]] const int s_nWceUiWndAnimateKinds = WceUiLinkWndAnimateKinds();
}
