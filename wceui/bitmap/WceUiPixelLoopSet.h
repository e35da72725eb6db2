// Which build of the pixel loops runs: the portable one, or the AVX2 one where the processor has it.
// The framework always runs the best the processor offers. The switch below exists only so that tests
// can check both builds against the reference formulas and the benchmark can time them side by side;
// nothing else calls it.
#pragma once

#include "platform/WinCe.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(WCEUI_NO_WIDE_VECTORS)
#define WCEUI_PIX_AVX2 1
#else
#define WCEUI_PIX_AVX2 0
#endif

// FALSE forces the portable loops, TRUE returns to the best the processor offers.
void FhPixUseWideVectors(BOOL bUse);
// The loops in use: "avx2" or "generic".
const char* FhPixVectorName();
// Whether the AVX2 loops run: the processor has them and the switch does not force the portable ones.
bool FhPixWideVectorsInUse();
