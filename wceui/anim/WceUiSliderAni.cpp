#include "wceui/anim/WceUiSliderAni.h"

namespace {

typedef CWceUiDirectionalAni A;

// Both pictures move by D together: the old one leaves through the edge it moves to, the new one
// follows it in from the opposite edge.
const A::Layout kToStart = {2,
                            {{A::FROM_PICTURE, A::START_PLUS_D, A::AT_END, A::AT_START},
                             {A::TO_PICTURE, A::AT_START, A::START_PLUS_D, A::END_MINUS_D}}};
const A::Layout kToEnd = {2,
                          {{A::FROM_PICTURE, A::AT_START, A::END_MINUS_D, A::START_PLUS_D},
                           {A::TO_PICTURE, A::END_MINUS_D, A::AT_END, A::AT_START}}};

const A::Direction kDirections[] = {
    {CWceUiSliderAni::DIR_UP, u"up", "CWceUiSliderAni::Play", A::VERTICAL, A::WHOLE, &kToStart},
    {CWceUiSliderAni::DIR_DOWN, u"down", "CWceUiSliderAni::Play", A::VERTICAL, A::WHOLE, &kToEnd},
    {CWceUiSliderAni::DIR_LEFT, u"left", "CWceUiSliderAni::Play", A::HORIZONTAL, A::WHOLE, &kToStart},
    {CWceUiSliderAni::DIR_RIGHT, u"right", "CWceUiSliderAni::Play", A::HORIZONTAL, A::WHOLE, &kToEnd},
};

const A::Kind kSlider = {"CWceUiSliderAni", CWceUiSliderAni::DIR_RIGHT, kDirections,
                         (int)(sizeof(kDirections) / sizeof(kDirections[0]))};

} // namespace

CWceUiSliderAni::CWceUiSliderAni() : CWceUiDirectionalAni(&kSlider) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiSliderAni));
}

CWceUiSliderAni::~CWceUiSliderAni() = default;
