// Copies of bitmaps when memory runs out. The framework allocates with new (std::nothrow); this suite
// replaces those operators so that a chosen one fails, and sweeps the failure over every allocation a
// copy makes.
#include "BitmapTestUtil.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {

// The number of nothrow allocations to let through before one fails; negative: none fails.
int s_nAllowed = -1;
bool s_bFailed = false;

void* AllocateOrFail(std::size_t n, bool bArray) {
    if (0 == s_nAllowed) {
        s_nAllowed = -1;
        s_bFailed = true;
        return nullptr;
    }
    if (s_nAllowed > 0) {
        --s_nAllowed;
    }
    try {
        return bArray ? ::operator new[](n) : ::operator new(n);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace

void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return AllocateOrFail(n, false);
}

void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return AllocateOrFail(n, true);
}

namespace {

using namespace bmptest;

class BitmapAllocTest : public DeviceFolderTest {
protected:
    void TearDown() override {
        s_nAllowed = -1;
        DeviceFolderTest::TearDown();
    }

    // Fails the first, second, ... allocation of a copy in turn: each copy either succeeds whole (same
    // size and pixels as the source) or reports FALSE and hands out nothing.
    void SweepCopies(CWceUiGenericBitmap& src) {
        const int nBits = src.GetBitsPixel();
        const std::vector<BYTE> pixels = StoredPixels<BYTE>(src);
        int nFailures = 0;
        for (int nAllowed = 0;; ++nAllowed) {
            CWceUiGenericBitmap* pCopy = nullptr;
            s_bFailed = false;
            s_nAllowed = nAllowed;
            const BOOL bResult = src.MakeACopy(&pCopy);
            s_nAllowed = -1;
            std::unique_ptr<CWceUiGenericBitmap> copy(pCopy);
            if (!s_bFailed) {
                ASSERT_TRUE(bResult);
                ASSERT_NE(pCopy, nullptr);
                break;
            }
            ++nFailures;
            if (bResult) {
                ASSERT_NE(pCopy, nullptr) << "allocation " << nAllowed;
                ASSERT_TRUE(pCopy->IsLoaded()) << "allocation " << nAllowed;
                EXPECT_EQ(nBits, pCopy->GetBitsPixel());
                EXPECT_EQ(pixels, StoredPixels<BYTE>(*pCopy));
            } else {
                EXPECT_EQ(pCopy, nullptr) << "allocation " << nAllowed;
            }
        }
        EXPECT_GT(nFailures, 0);
    }

    std::mt19937 m_rng{11};
};

} // namespace

TEST_F(BitmapAllocTest, ACopyThatCouldNotBeMadeIsReportedAsAFailure) {
    for (const bool bLocked : {false, true}) {
        SCOPED_TRACE(bLocked ? "locked source" : "shared source");
        auto p565 = Random565(m_rng, 5, 3, true);
        auto p32 = Random32(m_rng, 4, 3, true);
        if (bLocked) {
            // A locked source's copy takes its own pixels, which needs more allocations.
            LPVOID pBits = nullptr;
            ASSERT_NE(p565->GetHBitmap(&pBits), nullptr);
            ASSERT_NE(p32->GetHBitmap(&pBits), nullptr);
        }
        SweepCopies(*p565);
        SweepCopies(*p32);
    }
    // The first allocation is the object itself: FALSE, nothing stored, the message names the kind.
    testsupport::LogCapture log;
    auto pBmp = Random32(m_rng, 2, 2, false);
    CWceUiGenericBitmap* pCopy = nullptr;
    s_nAllowed = 0;
    EXPECT_FALSE(pBmp->MakeACopy(&pCopy));
    EXPECT_EQ(pCopy, nullptr);
    EXPECT_TRUE(log.Contains(u"CWceUi32Bitmap::MakeACopy, new fail, sizeof(CWceUi32Bitmap) = "));
}
