#include "wceui/bitmap/WceUiPixelLoopSet.h"

namespace {

bool DetectWideVectors() {
#if WCEUI_PIX_AVX2
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

const bool s_bHasWideVectors = DetectWideVectors();
bool s_bForcePortable = false;

} // namespace

void FhPixUseWideVectors(BOOL bUse) {
    s_bForcePortable = FALSE == bUse;
}

const char* FhPixVectorName() {
    return FhPixWideVectorsInUse() ? "avx2" : "generic";
}

bool FhPixWideVectorsInUse() {
    return s_bHasWideVectors && !s_bForcePortable;
}
