// The theme renderer through a stand-in function table: which theme part and
// state each widget kind and state draws, the device rectangles, the
// measured sizes and their fallbacks, and the default renderer taking over
// wherever the theme cannot draw. On this system the real functions do not
// exist, so the renderer is unavailable and the default renderer paints.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/Component.h"
#include "gui/GuiRenderer.h"
#include "gui/XPtheme.h"
#include "tests/gui/FakeTheme.h"
#include "tests/gui/TestFonts.h"
#include "tests/support/Pictures.h"
#include "tests/support/WidgetDriver.h"

using guitest::Surface;
using pellium::XPtheme;
namespace K = pellium::WidgetKind;
namespace S = pellium::WidgetState;
using Calls = std::vector<std::string>;

namespace {

std::vector<int> corners(const pellium::ThemeRect& r) { return {r.left, r.top, r.right, r.bottom}; }

class ThemeTest : public ::testing::Test {
protected:
    void SetUp() override { faketheme::state() = faketheme::State(); }
    std::vector<std::string>& calls = faketheme::state().calls;
    TestFonts fonts{guitest::sevenWide()};
    pellium::Component c;
    ThemeTest() {
        c.setLabel("OK", false);
        c.setBounds({2, 2, 50, 30});
    }
};

}  // namespace

TEST_F(ThemeTest, WithoutTheSystemsFunctionsTheDefaultRendererPaints) {
    EXPECT_FALSE(XPtheme::isAvailable());
    pellium::GuiRenderer::setVisualStyles(true);
    EXPECT_EQ(dynamic_cast<XPtheme*>(pellium::GuiRenderer::instance()), nullptr);
    pellium::GuiRenderer::setVisualStyles(false);
    pellium::ThemeFunctions partial = faketheme::functions();
    partial.getThemeColor = nullptr;
    EXPECT_FALSE(XPtheme(partial).available()) << "a table missing one function is no theme either";
    EXPECT_TRUE(faketheme::state().handles.empty()) << "no class was opened";
}

TEST_F(ThemeTest, EachKindAndStateDrawsItsPartAndState) {
    XPtheme theme(faketheme::functions());
    ASSERT_TRUE(theme.available());
    const struct {
        int kind, state;
        Calls expected;
        bool foreground = false;
    } rows[] = {
        {K::pushButton, 0, {"BUTTON 1/1"}}, {K::pushButton, S::hot, {"BUTTON 1/2"}}, {K::pushButton, 2, {"BUTTON 1/3"}},
        // Hot compares the whole word: a focused push button is no variant, a ticked box is.
        {K::pushButton, S::focused | S::hot, {"BUTTON 1/1"}}, {K::checkBox, S::focused | S::hot, {"BUTTON 3/6"}, true},
        // The default button carries its bit beside hot and pressed: always 5.
        {K::pushButton, S::disabled, {"BUTTON 1/4"}}, {K::pushButton, S::defaultButton | S::hot, {"BUTTON 1/5"}},
        {K::pushButton, S::defaultButton | S::pressed, {"BUTTON 1/5"}}, {K::textField, S::hot, {"EDIT 1/2"}},
        {K::comboField, S::disabled, {"EDIT 1/4"}}, {K::themedToolBar, S::hot, {"TOOLBAR 0/0"}},
        {K::flatButton, S::pressed, {"TOOLBAR 1/3"}}, {K::menuBarEntry, 0, {"TOOLBAR 0/0"}}, {K::menuBarEntry, 1, {}},
        {K::popupMenu, 0, {}}, {K::scrollTrack, S::vertical, {"SCROLLBAR 6/1"}},
        {K::scrollTrack, S::horizontal | S::disabled, {"SCROLLBAR 4/4"}}, {K::scrollArrow, S::up, {"SCROLLBAR 1/1"}},
        {K::scrollArrow, S::down | S::hot, {"SCROLLBAR 1/6"}}, {K::scrollArrow, S::left | 2, {"SCROLLBAR 1/11"}},
        {K::scrollArrow, S::right | S::disabled, {"SCROLLBAR 1/16"}}, {K::comboButton, 2, {"SCROLLBAR 1/7"}},
        {K::scrollThumb, S::vertical | S::pressed, {"SCROLLBAR 3/3", "SCROLLBAR 9/3"}}, {K::tabPanel, 0, {"TAB 9/0"}},
        {K::tab, S::hot, {"TAB 5/2"}}, {K::tab, S::focused, {"TAB 5/3"}}, {K::tab, S::disabled | 0x100, {"TAB 5/4"}},
        {K::sliderTrack, S::horizontal, {"TRACKBAR 1/1"}}, {K::sliderTrack, S::vertical, {"TRACKBAR 2/1"}},
        {K::checkBox, S::hot, {"BUTTON 3/2"}, true}, {K::checkBox, S::focused | S::pressed, {"BUTTON 3/7"}, true},
        {K::checkBox, S::disabled, {"BUTTON 3/4"}, true}, {K::checkBox, S::disabled | S::focused, {"BUTTON 3/8"}, true},
        {K::radioButton, S::focused, {"BUTTON 2/5"}, true}, {K::sliderThumb, S::horizontal | 2, {"TRACKBAR 3/3"}, true},
        {K::sliderThumb, S::vertical | S::disabled, {"TRACKBAR 6/5"}, true}, {K::groupBox, 0, {}},
        {K::groupBox, 0, {"BUTTON 4/1", "BUTTON 4/1", "BUTTON 4/1"}, true},  // three clipped passes of the frame
    };
    for (const auto& row : rows) {
        calls.clear();
        Surface s(60, 40);
        if (row.foreground)
            theme.drawForeground(s.g, row.kind, row.state, &c);
        else
            theme.drawBackground(s.g, row.kind, row.state, {4, 6, 40, 20});
        EXPECT_EQ(calls, row.expected) << "kind " << row.kind << " state " << std::hex << row.state;
    }
}

TEST_F(ThemeTest, RectanglesInDeviceRowsAndSizesMeasuredOnce) {
    faketheme::state().sizes = {{{3, 5}, {16, 16}}, {{2, 5}, {12, 12}}, {{4, 1}, {12, 20}}};
    XPtheme theme(faketheme::functions());
    Surface s(60, 40);
    s.g.pushClip({0, 0, 50, 30});
    theme.drawBackground(s.g, K::pushButton, 0, {4, 6, 40, 20});
    theme.drawBackground(s.g, K::tab, S::focused, {4, 6, 40, 20});  // two rows further down
    theme.drawBackground(s.g, K::sliderTrack, S::horizontal, {4, 6, 40, 20});  // the groove less the thumb
    theme.drawForeground(s.g, K::checkBox, 0, &c);  // the mark's square
    const std::vector<std::vector<int>> expected = {
        {4, 14, 44, 34}, {4, 14, 44, 36}, {10, 21, 38, 25}, {2, 20, 18, 36}};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(corners(faketheme::state().rects.at(i)), expected[i]) << i;
        EXPECT_EQ(corners(faketheme::state().clips.at(i)), (std::vector<int>{0, 10, 50, 40})) << i;
    }
    pellium::GuiMetrics m;
    theme.getMetrics(m, K::checkBox, 0, &c);
    EXPECT_EQ(std::vector<int>({m.extra, m.width, m.height, m.labelX}), std::vector<int>({16, 44, 20, 25}));
    theme.getMetrics(m, K::radioButton, 0, &c);
    EXPECT_EQ(m.extra, 13) << "the radio mark is one wider than measured";
    faketheme::state().sizes.clear();
    theme.getMetrics(m, K::checkBox, 0, &c);
    EXPECT_EQ(m.extra, 16) << "measured once";
    theme.getMetrics(m, K::tabPanel, 0, &c);
    EXPECT_EQ(std::vector<int>({m.insetLeft, m.insetRight, m.insetTop, m.insetBottom}), std::vector<int>({2, 4, 2, 4}));
    // A tab "OK": 34 wide less two spaces; 2 x 14 - 3 high, less 3 more when not selected; label centred.
    theme.getMetrics(m, K::tab, S::focused, &c);
    EXPECT_EQ(std::vector<int>({m.width, m.labelX, m.height, m.labelY}), std::vector<int>({20, 5, 25, 7}));
    theme.getMetrics(m, K::tab, 0, &c);
    EXPECT_EQ(std::vector<int>({m.height, m.labelY, m.imageY}), std::vector<int>({22, 6, -1}));
    // Without sizes: marks of 13 and thumbs of 11 x 21.
    XPtheme unmeasured(faketheme::functions());
    unmeasured.getMetrics(m, K::checkBox, 0, &c);
    EXPECT_EQ(m.extra, 13);
    unmeasured.getMetrics(m, K::sliderThumb, S::vertical, &c);
    EXPECT_EQ(std::make_pair(m.width, m.height), std::make_pair(21, 11));
}

TEST_F(ThemeTest, WhereTheThemeCannotDrawTheDefaultRendererDoes) {
    guitest::DistinctColours colours;
    faketheme::state().unopened = {"SCROLLBAR", "TASKBAR"};
    {
        XPtheme theme(faketheme::functions());
        pellium::GuiRenderer plain;
        Surface box(60, 40), a(60, 40), b(60, 40);
        theme.drawForeground(box.g, K::groupBox, 0, &c);
        EXPECT_EQ(box.g.pixelAt(11, 19), 0xFF996633u) << "the label in the theme's 0x00BBGGRR colour";
        faketheme::state().failing = {"EDIT", "BUTTON"};
        for (pellium::GuiRenderer* r : {static_cast<pellium::GuiRenderer*>(&theme), &plain}) {
            Surface& s = r == &plain ? b : a;
            r->drawBackground(s.g, K::scrollThumb, S::vertical, {2, 2, 16, 30});  // a class that did not open
            r->drawBackground(s.g, K::textField, 0, {20, 2, 30, 12});           // a call that failed
            r->drawForeground(s.g, K::groupBox, 0, &c);
        }
        EXPECT_EQ(a.rows(), b.rows());
        EXPECT_LT(a.count(pellium::GuiColor::red), 60 * 40 - 800) << "thumb and field were drawn";
    }
    EXPECT_EQ(faketheme::state().closed, (Calls{"BUTTON", "EDIT", "TOOLBAR", "MENU", "TAB", "TRACKBAR"}));
}
