#include "wceui/anim/WceUiGoAni.h"

namespace {

typedef CWceUiDirectionalAni A;

// The new picture stays in place; the old one leaves towards the named edge (or, from the middle,
// towards both), uncovering it.
const A::Layout kToStart = {2,
                            {{A::FROM_PICTURE, A::START_PLUS_D, A::AT_END, A::AT_START},
                             {A::TO_PICTURE, A::END_MINUS_D, A::AT_END, A::END_MINUS_D}}};
const A::Layout kToEnd = {2,
                          {{A::FROM_PICTURE, A::AT_START, A::END_MINUS_D, A::START_PLUS_D},
                           {A::TO_PICTURE, A::AT_START, A::START_PLUS_D, A::AT_START}}};
const A::Layout kFromMid = {4,
                            {{A::FROM_PICTURE, A::START_PLUS_D, A::AT_MID, A::AT_START},
                             {A::FROM_PICTURE, A::AT_MID, A::END_MINUS_D, A::MID_PLUS_D},
                             {A::TO_PICTURE, A::MID_MINUS_D, A::AT_MID, A::MID_MINUS_D},
                             {A::TO_PICTURE, A::AT_MID, A::MID_PLUS_D, A::AT_MID}}};

const A::Direction kDirections[] = {
    {CWceUiGoAni::DIR_LEFT, u"left", "CWceUiGoAni::DrawLeft", A::HORIZONTAL, A::WHOLE, &kToStart},
    {CWceUiGoAni::DIR_RIGHT, u"right", "CWceUiGoAni::DrawRight", A::HORIZONTAL, A::WHOLE, &kToEnd},
    {CWceUiGoAni::DIR_UP, u"up", "CWceUiGoAni::DrawUp", A::VERTICAL, A::WHOLE, &kToStart},
    {CWceUiGoAni::DIR_DOWN, u"down", "CWceUiGoAni::DrawDown", A::VERTICAL, A::WHOLE, &kToEnd},
    {CWceUiGoAni::DIR_MID2LR, u"mid-lr", "CWceUiGoAni::DrawMid2LR", A::HORIZONTAL, A::HALF, &kFromMid},
    {CWceUiGoAni::DIR_MID2UD, u"mid-ud", "CWceUiGoAni::DrawMID2UD", A::VERTICAL, A::HALF, &kFromMid},
};

const A::Kind kGo = {"CWceUiGoAni", CWceUiGoAni::DIR_RIGHT, kDirections,
                     (int)(sizeof(kDirections) / sizeof(kDirections[0]))};

} // namespace

CWceUiGoAni::CWceUiGoAni() : CWceUiDirectionalAni(&kGo) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiGoAni));
}

CWceUiGoAni::~CWceUiGoAni() = default;
