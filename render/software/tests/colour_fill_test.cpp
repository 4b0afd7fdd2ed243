#include "render/software/colour_fill.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/sys/scripted_cpu.h"
#include "render/render_drivers.h"
#include "render/software/pixel_buffer.h"

namespace {

// Runs about the 16-pixel stretch at every start offset: the wide fill writes exactly the plain fill's pixels and
// nothing either side.
TEST(ColourFill, WideFillWritesThePlainPixels)
{
    for (const int32_t count : {0, 1, 3, 15, 16, 17, 63, 64, 65, 1000}) {
        for (int32_t start = 0; start < 4; ++start) {
            std::vector<uint32_t> plain(1100, 0x5A5A5A5Au);
            std::vector<uint32_t> wide = plain;
            FillColourPlain(plain.data() + 1 + start, count, 0x00123456u);
            FillColourWide(wide.data() + 1 + start, count, 0x00123456u);
            ASSERT_EQ(plain, wide) << count << " from " << start;
            EXPECT_EQ(wide[static_cast<size_t>(start)], 0x5A5A5A5Au);
            EXPECT_EQ(wide[static_cast<size_t>(start + count + 1)], 0x5A5A5A5Au);
        }
    }
}

TEST(ColourFill, ChosenByTheDriverManagersSSEFlag)
{
    pf::ScriptedCpu cpu(pf::ScriptedCpu::Script{});
    pf::setCpuProbe(&cpu);
    {
        SWhostdrivers drivers;
        drivers.Init();
        drivers.SetUseSSE(true);
        EXPECT_EQ(ChooseColourFill(), drivers.UseSSE() != 0 ? &FillColourWide : &FillColourPlain);
        drivers.SetUseSSE(false);
        EXPECT_EQ(ChooseColourFill(), &FillColourPlain);
        drivers.Shutdown();
    }
    pf::setCpuProbe(nullptr);
    EXPECT_EQ(ChooseColourFill(), &FillColourPlain); // no driver manager
}

} // namespace
