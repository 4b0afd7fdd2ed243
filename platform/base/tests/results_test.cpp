#include "platform/base/assertion.h"
#include "platform/base/color.h"
#include "platform/base/result.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(LastError, EachThreadKeepsItsOwn)
{
    pf::setLastError(pf::ERROR_INVALID_PARAMETER);
    uint32_t seenByOther = 1234;
    std::thread other([&] {
        seenByOther = pf::lastError();
        pf::setLastError(pf::ERROR_INVALID_HANDLE);
    });
    other.join();
    EXPECT_EQ(seenByOther, pf::ERROR_SUCCESS);
    EXPECT_EQ(pf::lastError(), pf::ERROR_INVALID_PARAMETER);
    pf::setLastError(pf::ERROR_SUCCESS);
}

TEST(HResultValues, FailuresAreNegativeAndSuccessesAreNot)
{
    EXPECT_TRUE(pf::succeeded(pf::S_FALSE));
    for (const pf::HResult hr : {pf::E_NOINTERFACE, pf::E_INVALIDARG, pf::E_OUTOFMEMORY, pf::E_UNEXPECTED,
                                 pf::REGDB_E_CLASSNOTREG, pf::DDERR_SURFACELOST, pf::D3DERR_INVALIDCALL})
        EXPECT_TRUE(pf::failed(hr)) << std::hex << hr;
}

TEST(ColorForms, ColorRefAndPixelSwapRedAndBlue)
{
    EXPECT_EQ(pf::rgb(0x11, 0x22, 0x33), 0x00332211u);
    EXPECT_EQ(pf::pixelFromColorRef(pf::rgb(0x11, 0x22, 0x33)), 0x00112233u);
    EXPECT_EQ(pf::colorRefFromPixel(0xFF112233u), pf::rgb(0x11, 0x22, 0x33)) << "the alpha byte is not a colour";
    EXPECT_EQ(pf::pixelFromColorRef(0x0000AAu), 0x00AA0000u) << "0x0000AA is a red";
}

int g_recorded = 0;
void recordAssertion(const pf::AssertionInfo&)
{
    ++g_recorded;
}

TEST(Assertion, HandlerSeesMisuseAndTheCallerContinues)
{
    const pf::AssertHandler previous = pf::setAssertHandler(recordAssertion);
    const unsigned before = pf::assertionFailureCount();
    PF_ASSERT(1 + 1 == 3, "arithmetic is broken");
    PF_ASSERT(true, "never reported");
    pf::setAssertHandler(previous);
    EXPECT_EQ(g_recorded, 1);
    EXPECT_EQ(pf::assertionFailureCount(), before + 1);
}

} // namespace
