// Registers the five kinds of window animation for creation by class name (their headers carry the
// registrations); WceUiWndAnimate.h refers to this unit so that every program using animations has them.
#include "wceui/anim/WceUiBarnAni.h"
#include "wceui/anim/WceUiBlendAni.h"
#include "wceui/anim/WceUiComeAni.h"
#include "wceui/anim/WceUiGoAni.h"
#include "wceui/anim/WceUiSliderAni.h"

int WceUiLinkWndAnimateKinds() {
    return 5;
}
