#include "ui/FormKit.h"

#include <gtest/gtest.h>

namespace tc::ui {
namespace {

// At 96 dpi a pixel is 15 twips; on larger screens the same twips give more
// pixels, so the dialogs keep their size in inches rather than shrinking.
TEST(Twips, PositionsScaleWithTheScreenResolution) {
    const TwipsRect save = {480, 1800, 1095, 375};
    struct Case {
        ScreenDpi dpi;
        RECT expected;
    } cases[] = {
        {{96, 96}, {32, 120, 105, 145}},
        {{144, 144}, {48, 180, 158, 218}},
        {{192, 120}, {64, 150, 210, 181}},
    };
    for (const Case& c : cases) {
        const RECT got = toPixels(save, c.dpi);
        EXPECT_EQ(got.left, c.expected.left) << c.dpi.x;
        EXPECT_EQ(got.top, c.expected.top) << c.dpi.y;
        EXPECT_EQ(got.right, c.expected.right) << c.dpi.x;
        EXPECT_EQ(got.bottom, c.expected.bottom) << c.dpi.y;
    }
}

// Neighbours that meet in twips meet in pixels: both edges come from twips.
TEST(Twips, AdjacentControlsNeitherOverlapNorLeaveAGap) {
    const ScreenDpi dpi = {120, 120};
    for (int left = 0; left < 3000; left += 7) {
        const RECT a = toPixels({left, 0, 1095, 10}, dpi);
        const RECT b = toPixels({left + 1095, 0, 500, 10}, dpi);
        ASSERT_EQ(a.right, b.left) << left;
    }
}

} // namespace
} // namespace tc::ui
