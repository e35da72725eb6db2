#include "wceui/anim/WceUiBarnAni.h"

namespace {

typedef CWceUiDirectionalAni A;

// Everything stays in place; only the boundary moves by D.
const A::Layout kToStart = {2,
                            {{A::FROM_PICTURE, A::AT_START, A::END_MINUS_D, A::AT_START},
                             {A::TO_PICTURE, A::END_MINUS_D, A::AT_END, A::END_MINUS_D}}};
const A::Layout kToEnd = {2,
                          {{A::FROM_PICTURE, A::START_PLUS_D, A::AT_END, A::START_PLUS_D},
                           {A::TO_PICTURE, A::AT_START, A::START_PLUS_D, A::AT_START}}};
const A::Layout kToMid = {4,
                          {{A::FROM_PICTURE, A::START_PLUS_D, A::AT_MID, A::START_PLUS_D},
                           {A::FROM_PICTURE, A::AT_MID, A::END_MINUS_D, A::AT_MID},
                           {A::TO_PICTURE, A::AT_START, A::START_PLUS_D, A::AT_START},
                           {A::TO_PICTURE, A::END_MINUS_D, A::AT_END, A::END_MINUS_D}}};
const A::Layout kFromMid = {4,
                            {{A::FROM_PICTURE, A::AT_START, A::MID_MINUS_D, A::AT_START},
                             {A::FROM_PICTURE, A::MID_PLUS_D, A::AT_END, A::MID_PLUS_D},
                             {A::TO_PICTURE, A::MID_MINUS_D, A::AT_MID, A::MID_MINUS_D},
                             {A::TO_PICTURE, A::AT_MID, A::MID_PLUS_D, A::AT_MID}}};

const A::Direction kDirections[] = {
    {CWceUiBarnAni::DIR_LEFT, u"left", "CWceUiBarnAni::DrawLeft", A::HORIZONTAL, A::WHOLE, &kToStart},
    {CWceUiBarnAni::DIR_RIGHT, u"right", "CWceUiBarnAni::DrawRight", A::HORIZONTAL, A::WHOLE, &kToEnd},
    {CWceUiBarnAni::DIR_UP, u"up", "CWceUiBarnAni::DrawUp", A::VERTICAL, A::WHOLE, &kToStart},
    {CWceUiBarnAni::DIR_DOWN, u"down", "CWceUiBarnAni::DrawDown", A::VERTICAL, A::WHOLE, &kToEnd},
    {CWceUiBarnAni::DIR_LR2MID, u"lr-mid", "CWceUiBarnAni::DrawLR2Mid", A::HORIZONTAL, A::HALF, &kToMid},
    {CWceUiBarnAni::DIR_MID2LR, u"mid-lr", "CWceUiBarnAni::DrawMid2LR", A::HORIZONTAL, A::HALF, &kFromMid},
    {CWceUiBarnAni::DIR_UD2MID, u"ud-mid", "CWceUiBarnAni::DrawUD2Mid", A::VERTICAL, A::HALF, &kToMid},
    {CWceUiBarnAni::DIR_MID2UD, u"mid-ud", "CWceUiBarnAni::DrawMID2UD", A::VERTICAL, A::HALF, &kFromMid},
};

const A::Kind kBarn = {"CWceUiBarnAni", CWceUiBarnAni::DIR_RIGHT, kDirections,
                       (int)(sizeof(kDirections) / sizeof(kDirections[0]))};

} // namespace

CWceUiBarnAni::CWceUiBarnAni() : CWceUiDirectionalAni(&kBarn) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiBarnAni));
}

CWceUiBarnAni::~CWceUiBarnAni() = default;
