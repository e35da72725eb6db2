#include "wceui/anim/WceUiComeAni.h"

namespace {

typedef CWceUiDirectionalAni A;

// The old picture stays in place; the new one enters from the edge it moves away from, its
// leading edge first.
const A::Layout kToStart = {2,
                            {{A::FROM_PICTURE, A::AT_START, A::END_MINUS_D, A::AT_START},
                             {A::TO_PICTURE, A::AT_START, A::START_PLUS_D, A::END_MINUS_D}}};
const A::Layout kToEnd = {2,
                          {{A::FROM_PICTURE, A::START_PLUS_D, A::AT_END, A::START_PLUS_D},
                           {A::TO_PICTURE, A::END_MINUS_D, A::AT_END, A::AT_START}}};
const A::Layout kToMid = {4,
                          {{A::FROM_PICTURE, A::START_PLUS_D, A::AT_MID, A::START_PLUS_D},
                           {A::FROM_PICTURE, A::AT_MID, A::END_MINUS_D, A::AT_MID},
                           {A::TO_PICTURE, A::MID_MINUS_D, A::AT_MID, A::AT_START},
                           {A::TO_PICTURE, A::AT_MID, A::MID_PLUS_D, A::END_MINUS_D}}};

const A::Direction kDirections[] = {
    {CWceUiComeAni::DIR_LEFT, u"left", "CWceUiComeAni::DrawLeft", A::HORIZONTAL, A::WHOLE, &kToStart},
    {CWceUiComeAni::DIR_RIGHT, u"right", "CWceUiComeAni::DrawRight", A::HORIZONTAL, A::WHOLE, &kToEnd},
    {CWceUiComeAni::DIR_UP, u"up", "CWceUiComeAni::DrawUp", A::VERTICAL, A::WHOLE, &kToStart},
    {CWceUiComeAni::DIR_DOWN, u"down", "CWceUiComeAni::DrawDown", A::VERTICAL, A::WHOLE, &kToEnd},
    {CWceUiComeAni::DIR_LR2MID, u"lr-mid", "CWceUiComeAni::DrawLR2Mid", A::HORIZONTAL, A::HALF, &kToMid},
    {CWceUiComeAni::DIR_UD2MID, u"ud-mid", "CWceUiComeAni::DrawUD2Mid", A::VERTICAL, A::HALF, &kToMid},
};

const A::Kind kCome = {"CWceUiComeAni", CWceUiComeAni::DIR_RIGHT, kDirections,
                       (int)(sizeof(kDirections) / sizeof(kDirections[0]))};

} // namespace

CWceUiComeAni::CWceUiComeAni() : CWceUiDirectionalAni(&kCome) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiComeAni));
}

CWceUiComeAni::~CWceUiComeAni() = default;
