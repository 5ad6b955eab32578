// The progress window's layout at every display scale it must serve.
#include "window/window_layout.h"

#include <gtest/gtest.h>

#include <string>

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

// A vendor's languages: 1, 2, 4 and 8 buttons of the narrowest (stock picture), a middling
// ("Português (Brasil)") and the widest width, at 100, 125, 150, 200, 250 and 300 %.
TEST(LanguageLayout, RowsNeverOverlapNorLeaveTheClientArea) {
    const int32_t counts[] = {1, 2, 4, 8};
    const int32_t dpis[] = {96, 120, 144, 192, 240, 288};
    for (int32_t dpi : dpis) {
        const int32_t text_widths[] = {0, ScaleToDpi(95, dpi) - 2 * ScaleToDpi(8, dpi), 100000};
        for (int32_t text_width : text_widths) {
            for (int32_t count : counts) {
                SCOPED_TRACE(testing::Message()
                             << dpi << " dpi, text " << text_width << ", " << count << " buttons");
                const int32_t bw = LanguageButtonWidth(dpi, 256, 68, text_width);
                const int32_t bh = LanguageButtonHeight(dpi, 22, -DialogFontHeight(dpi));
                WindowLayout l;
                ComputeLanguageLayout(dpi, 256, 256, count, bw, bh, &l);
                const int32_t h = ScaleToDpi(256, dpi);
                EXPECT_EQ(h, l.background_height);
                EXPECT_EQ(count, l.button_count);
                // Three to a row for the stock width, two for the middling one, then one.
                const int32_t per_row = text_width == 0 ? 3 : text_width < 1000 ? 2 : 1;
                EXPECT_EQ((count + per_row - 1) / per_row, l.button_rows);
                // The client area grows by whole rows below the background.
                const int32_t pitch = bh + ScaleToDpi(6, dpi);
                EXPECT_EQ(h + (l.button_rows - 1) * pitch, l.client_height);
                EXPECT_LE(bw, l.client_width - 2 * ScaleToDpi(10, dpi));
                for (int32_t i = 0; i < count; ++i) {
                    const LayoutRect& r = l.buttons[i];
                    EXPECT_TRUE(Inside(r, l)) << i;
                    EXPECT_EQ(bw, r.width);
                    EXPECT_EQ(bh, r.height);
                    EXPECT_EQ(h * 82 / 100 + (i / per_row) * pitch, r.top) << i;
                    EXPECT_LE(l.caption.top + l.caption.height, r.top) << i;
                    for (int32_t j = 0; j < i; ++j) {
                        const LayoutRect& o = l.buttons[j];
                        const bool apart = o.left + o.width <= r.left ||
                                           r.left + r.width <= o.left ||
                                           o.top + o.height <= r.top || r.top + r.height <= o.top;
                        EXPECT_TRUE(apart) << j << " and " << i;
                    }
                }
                // A row's buttons sit symmetrically about the centre, whole rows or not.
                for (int32_t first = 0; first < count; first += per_row) {
                    const int32_t last =
                        first + per_row - 1 < count ? first + per_row - 1 : count - 1;
                    const int32_t left_space = l.buttons[first].left;
                    const int32_t right_space =
                        l.client_width - l.buttons[last].left - l.buttons[last].width;
                    EXPECT_NEAR(left_space, right_space, 2) << "row from " << first;
                }
            }
        }
    }
}

TEST(LanguageLayout, ThreeStockSizedButtonsSitWhereTheStockThreeDo) {
    for (int32_t dpi : SCALES_DPI) {
        SCOPED_TRACE(dpi);
        const WindowLayout stock = At(dpi);
        WindowLayout l;
        ComputeLanguageLayout(dpi, 256, 256, 3, ScaleToDpi(68, dpi), ScaleToDpi(22, dpi), &l);
        EXPECT_EQ(stock.client_height, l.client_height);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(stock.buttons[i].left, l.buttons[i].left) << i;
            EXPECT_EQ(stock.buttons[i].top, l.buttons[i].top) << i;
        }
    }
    // Four at 96 DPI: the fourth alone in the second row, centred, one row lower.
    WindowLayout l;
    ComputeLanguageLayout(96, 256, 256, 4, 68, 22, &l);
    ExpectRect(l.buttons[3], 94, 237, 68, 22);
    EXPECT_EQ(284, l.client_height);
    // Two: centred between the stock centres, not on the outer ones.
    ComputeLanguageLayout(96, 256, 256, 2, 68, 22, &l);
    ExpectRect(l.buttons[0], 55, 209, 68, 22);
    ExpectRect(l.buttons[1], 132, 209, 68, 22);
}

// The example: one width for all, centred at W/5, W/2, 4W/5, overlaps above about 76 px
// at W = 256.
TEST(LanguageLayout, ThreeToARowOnlyWhileTheyKeepTheirGap) {
    WindowLayout l;
    ComputeLanguageLayout(96, 256, 256, 3, 72, 22, &l);
    EXPECT_EQ(1, l.button_rows);
    ComputeLanguageLayout(96, 256, 256, 3, 73, 22, &l);
    EXPECT_EQ(2, l.button_rows);
    EXPECT_EQ(l.buttons[0].top, l.buttons[1].top);
    ExpectRect(l.buttons[0], 28, 209, 73, 22);
    ExpectRect(l.buttons[2], 92, 237, 73, 22);  // alone, centred, one row lower
}

TEST(LanguageLayout, ButtonWidthFollowsTheLongestNameWithinBounds) {
    EXPECT_EQ(68, LanguageButtonWidth(96, 256, 68, 20));       // never below the picture
    EXPECT_EQ(95, LanguageButtonWidth(96, 256, 68, 79));       // the name and its margins
    EXPECT_EQ(236, LanguageButtonWidth(96, 256, 68, 5000));    // never past the margins
    EXPECT_EQ(136, LanguageButtonWidth(192, 256, 68, 40));     // the picture, scaled
    EXPECT_EQ(708, LanguageButtonWidth(288, 256, 68, 99999));  // 768 less 2 * 30
    EXPECT_EQ(22, LanguageButtonHeight(96, 22, 13));
    EXPECT_EQ(44, LanguageButtonHeight(192, 22, 26));
    EXPECT_EQ(40, LanguageButtonHeight(96, 22, 34));  // a tall script's line with its margins
}

// Arabic and Hebrew names are drawn right to left; a name is judged by its first letter.
TEST(LanguageLayout, RightToLeftNamesAreThoseOfRightToLeftScripts) {
    EXPECT_TRUE(IsRightToLeftText(u"\u0627\u0644\u0639\u0631\u0628\u064A\u0629"));  // Arabic
    EXPECT_TRUE(IsRightToLeftText(u"\u05E2\u05D1\u05E8\u05D9\u05EA"));              // Hebrew
    EXPECT_TRUE(IsRightToLeftText(u"(&\u0641) 1 \u0641\u0627\u0631\u0633\u06CC"));  // Persian
    EXPECT_TRUE(IsRightToLeftText(u"\uFEFB"));  // a presentation form
    EXPECT_FALSE(IsRightToLeftText(u"&English \u0639"));
    EXPECT_FALSE(IsRightToLeftText(u"Fran\u00E7ais"));
    EXPECT_FALSE(IsRightToLeftText(u"\u00C9"));
    EXPECT_FALSE(IsRightToLeftText(u"\u7B80\u4F53\u4E2D\u6587"));
    EXPECT_FALSE(IsRightToLeftText(u"\u0420\u0443\u0441\u0441\u043A\u0438\u0439"));
    EXPECT_FALSE(IsRightToLeftText(u"12 - ()"));
    EXPECT_FALSE(IsRightToLeftText(u""));
}

TEST(LanguageLayout, HiddenMnemonicsLeaveTheTextAsRead) {
    char16_t text[] = u"&Fran\u00E7ais && Co&";
    StripMnemonic(text);
    EXPECT_EQ(std::u16string(u"Fran\u00E7ais & Co"), std::u16string(text));
    char ansi[] = "Pols&ki &&&x";
    StripMnemonic(ansi);
    EXPECT_STREQ("Polski &x", ansi);
}

}  // namespace
