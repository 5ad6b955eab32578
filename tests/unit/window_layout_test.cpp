// The progress window's layout at every display scale it must serve.
#include "window/window_layout.h"

#include <gtest/gtest.h>

namespace {

const int32_t SCALES_DPI[] = {96, 120, 144, 168, 192, 240, 288};  // 100 % to 300 %

WindowLayout At(int32_t dpi) {
    WindowLayout layout;
    ComputeWindowLayout(dpi, 256, 256, 68, 22, &layout);
    return layout;
}

bool Inside(const LayoutRect& r, const WindowLayout& l) {
    return r.left >= 0 && r.top >= 0 && r.width > 0 && r.height > 0 &&
           r.left + r.width <= l.client_width && r.top + r.height <= l.client_height;
}

void ExpectRect(const LayoutRect& r, int32_t left, int32_t top, int32_t width, int32_t height) {
    EXPECT_EQ(left, r.left);
    EXPECT_EQ(top, r.top);
    EXPECT_EQ(width, r.width);
    EXPECT_EQ(height, r.height);
}

TEST(WindowLayout, At96DpiEverythingSitsWhereThePicturesPutIt) {
    WindowLayout l = At(96);
    EXPECT_EQ(256, l.client_width);
    EXPECT_EQ(256, l.client_height);
    ExpectRect(l.progress_bar, 10, 158, 236, 15);
    ExpectRect(l.cancel, 93, 184, 70, 25);
    ExpectRect(l.caption, 0, 184, 256, 15);
    ExpectRect(l.buttons[0], 17, 209, 68, 22);
    ExpectRect(l.buttons[1], 94, 209, 68, 22);
    ExpectRect(l.buttons[2], 170, 209, 68, 22);
    // A branded background of another size keeps its own size at 96 DPI.
    ComputeWindowLayout(96, 300, 200, 80, 30, &l);
    EXPECT_EQ(300, l.client_width);
    EXPECT_EQ(200, l.client_height);
    ExpectRect(l.buttons[2], 200, 164, 80, 30);
    // Exact hundredths, on every architecture, also where a product of doubles falls just below
    // a whole number (150 * 0.82 is 122.99...).
    ComputeWindowLayout(96, 300, 150, 80, 30, &l);
    EXPECT_EQ(123, l.buttons[0].top);
    ComputeWindowLayout(96, 300, 600, 80, 30, &l);
    EXPECT_EQ(492, l.buttons[0].top);
}

// The factors are applied to the scaled client area, so the truncations differ from the base
// layout's: by at most one pixel at 150 % and 200 %, by at most two elsewhere.
TEST(WindowLayout, EveryScaleIsTheBaseLayoutScaledWithinAPixelOrTwo) {
    const WindowLayout base = At(96);
    for (int32_t dpi : SCALES_DPI) {
        SCOPED_TRACE(dpi);
        WindowLayout l = At(dpi);
        const double tolerance = dpi == 144 || dpi == 192 ? 1.0 : 2.0;
        // W = H = round(256 * s)
        EXPECT_EQ((256 * dpi + 48) / 96, l.client_width);
        EXPECT_EQ(l.client_width, l.client_height);
        const LayoutRect* pairs[][2] = {
            {&l.progress_bar, &base.progress_bar}, {&l.cancel, &base.cancel},
            {&l.caption, &base.caption},           {&l.buttons[0], &base.buttons[0]},
            {&l.buttons[1], &base.buttons[1]},     {&l.buttons[2], &base.buttons[2]}};
        for (auto& pair : pairs) {
            const LayoutRect& r = *pair[0];
            const LayoutRect& b = *pair[1];
            EXPECT_NEAR(b.left * dpi / 96.0, r.left, tolerance);
            EXPECT_NEAR(b.top * dpi / 96.0, r.top, tolerance);
            EXPECT_NEAR(b.width * dpi / 96.0, r.width, tolerance);
            EXPECT_NEAR(b.height * dpi / 96.0, r.height, tolerance);
        }
    }
    // The double-size pictures fit their buttons exactly at 200 %.
    ExpectRect(At(192).buttons[0], 34, 419, 136, 44);
}

TEST(WindowLayout, NothingIsClippedOrOverlapsAtAnyScale) {
    for (int32_t dpi : SCALES_DPI) {
        SCOPED_TRACE(dpi);
        WindowLayout l = At(dpi);
        EXPECT_TRUE(Inside(l.progress_bar, l));
        EXPECT_TRUE(Inside(l.cancel, l));
        EXPECT_TRUE(Inside(l.caption, l));
        EXPECT_LE(l.progress_bar.top + l.progress_bar.height, l.cancel.top);
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(Inside(l.buttons[i], l)) << i;
            EXPECT_LE(l.caption.top + l.caption.height, l.buttons[i].top) << i;
            if (i > 0) {
                EXPECT_LT(l.buttons[i - 1].left + l.buttons[i - 1].width, l.buttons[i].left);
            }
        }
        // The caption's font fits the caption's height.
        EXPECT_LE(-DialogFontHeight(dpi), l.caption.height);
    }
}

TEST(WindowLayout, DialogFontIsEightPointsRoundedAsMulDiv) {
    EXPECT_EQ(-11, DialogFontHeight(96));
    EXPECT_EQ(-13, DialogFontHeight(120));
    EXPECT_EQ(-16, DialogFontHeight(144));
    EXPECT_EQ(-19, DialogFontHeight(168));
    EXPECT_EQ(-21, DialogFontHeight(192));
    EXPECT_EQ(-32, DialogFontHeight(288));
    EXPECT_EQ(3, ScaleToDpi(2, 144));  // 3.0
    EXPECT_EQ(4, ScaleToDpi(3, 120));  // 3.75
    EXPECT_EQ(5, ScaleToDpi(4, 108));  // 4.5 rounds up
}

}  // namespace
