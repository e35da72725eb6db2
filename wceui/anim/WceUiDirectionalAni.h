// The kinds that move pictures along one of several directions (barn, come, go, slider): each kind is
// a table that says, per direction, which columns (or rows) of the two pictures go where; this class
// reads the direction, picks it at random and draws a frame from the table. It is no class of the
// registry: the kinds are entered there as animations, as they always were.
#pragma once

#include "wceui/anim/WceUiWndAnimate.h"

class CWceUiDirectionalAni : public CWceUiWndAnimate {
public:
    // Where an edge of a piece stands along the axis of movement: at the rectangle's start, end or
    // middle, or the frame's displacement D away from one of them.
    enum Edge { AT_START, AT_END, AT_MID, START_PLUS_D, END_MINUS_D, MID_MINUS_D, MID_PLUS_D };
    enum Picture { FROM_PICTURE, TO_PICTURE };
    // Columns (rows) first..last of a picture over the rectangle's full height (width), drawn with
    // their first one at dst.
    struct PieceAt {
        Picture picture;
        Edge first, last, dst;
    };
    // The pieces of a frame, drawn in order.
    struct Layout {
        int nPieces;
        PieceAt pieces[4];
    };
    enum Axis { HORIZONTAL, VERTICAL };
    // D runs over the whole rectangle or, for the directions to or from the middle, over half of it.
    enum Span { WHOLE, HALF };
    struct Direction {
        int nDirection;
        LPCWSTR pWord;          // the "direction" word of the style file, compared ignoring case
        const char* pOperation; // names the checks of failed copies
        Axis axis;
        Span span;
        const Layout* pLayout;
    };
    struct Kind {
        const char* pName; // the class name, for messages
        int nDefaultDirection;
        const Direction* pDirections; // SetRandomDirection picks by position in this list
        int nDirections;
    };

    explicit CWceUiDirectionalAni(const Kind* pKind);
    ~CWceUiDirectionalAni() override;

    BOOL Init(const CWceUiXmlElem* pElem) override;
    BOOL Play(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
              CWceUiGenericBitmap* pToBitmap, int nCurFrame, int* lpPlayTime) override;
    void SetRandomDirection() override;

    void SetFrameLength(int nFrameLength) { m_nFrameLength = nFrameLength; }
    int GetFrameLength() const { return m_nFrameLength; }
    // Any number is stored; Play refuses one that is not a direction of the kind.
    void SetDirection(int nDirection) { m_nDirection = nDirection; }
    int GetDirection() const { return m_nDirection; }

private:
    const Direction* FindDirection(int nDirection) const;
    // Reads "direction" into m_nDirection; FALSE with the kind's message for a word it does not have.
    BOOL ReadDirection(const CWceUiXmlElem* pElem, LPCWSTR pInitName);
    void DrawFrame(const Direction& direction, CWceUiGenericBitmap* pMixedBitmap,
                   CWceUiGenericBitmap* pFromBitmap, CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect,
                   int nCurFrame);

    const Kind* m_pKind;
    int m_nFrameLength;
    int m_nDirection;
};
