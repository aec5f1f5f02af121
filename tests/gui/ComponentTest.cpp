// Components without a window: sizes, actions and their standard icons,
// tooltips, and the renderer's metrics of every widget kind with the test
// font's exact numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "gui/Component.h"
#include "gui/Container.h"
#include "gui/GuiRenderer.h"
#include "gui/MessageDest.h"
#include "gui/PelliumAction.h"
#include "gui/ScrollPane.h"
#include "gui/gl/FontCache.h"
#include "tests/gui/TestFonts.h"

using pellium::Component;
using pellium::PelliumAction;

namespace {

// 7 wide, ascent 11, descent 3, so height 14.
platform::TestFontBackend::Metrics sevenWide() {
    platform::TestFontBackend::Metrics m;
    m.width = m.averageWidth = 7;
    m.ascent = 11;
    m.descent = 3;
    return m;
}

struct Messages : pellium::MessageDest {
    void message(Component*, int id, int detail) override { got.push_back({id, detail}); }
    std::vector<std::pair<int, int>> got;
};

std::pair<int, int> preferred(Component& c) {
    int w = 0, h = 0;
    c.getPreferredSize(w, h);
    return {w, h};
}

}  // namespace

TEST(ComponentSizeTest, LabelPictureOrFourByFour) {
    TestFonts fonts(sevenWide());
    Component c;
    EXPECT_EQ(preferred(c), std::make_pair(4, 4));
    c.setImage(pellium::Image(5, 9));
    EXPECT_EQ(preferred(c), std::make_pair(5, 9));
    c.setLabel("OK", false);
    EXPECT_EQ(preferred(c), std::make_pair(14, 14)) << "the label goes before the picture";
    c.setLabel("Four", false);
    EXPECT_EQ(c.getTextWidth(), 28) << "a new label is measured again";
    c.setFont(pellium::FontCache::get(pellium::FontKey(125, 20, 0)));
    fonts.backend.setWidth('F', 1);
    c.setFont(pellium::FontCache::get(pellium::FontKey(124, 20, 0)));
    EXPECT_EQ(c.getTextWidth(), 22) << "so is the label in a new font";
    c.setFont(nullptr);
    EXPECT_EQ(preferred(c), std::make_pair(0, 16));
}

TEST(ActionTest, StandardActionsSetUpComponents) {
    EXPECT_EQ(PelliumAction::get(PelliumAction::editCut), PelliumAction::get(0x10000066));
    EXPECT_STREQ(PelliumAction::get(PelliumAction::fileSaveAs)->label(), "Save !as...");
    EXPECT_STREQ(PelliumAction::get(PelliumAction::helpAbout)->tooltip(), "About this program...");
    EXPECT_TRUE(PelliumAction::get(PelliumAction::fileExit)->icon().empty());
    EXPECT_EQ(PelliumAction::get(PelliumAction::fileExit)->checkState(), -1);

    Messages dest;
    Component c;
    c.setAction(PelliumAction::get(PelliumAction::editCut), &dest);
    EXPECT_STREQ(c.getLabel().c_str(), "Cut");
    EXPECT_EQ(c.getShortcut(), 't');
    EXPECT_STREQ(c.getToolTip().c_str(), "Cut selection");
    EXPECT_EQ(c.getImage().width(), 16);
    c.sendMessage(3);
    EXPECT_EQ(dest.got, (std::vector<std::pair<int, int>>{{0x10000066, 3}}));
    c.setAction(nullptr, nullptr);
    EXPECT_STREQ(c.getLabel().c_str(), "Cut") << "a null action changes nothing else";

    // An id without a standard meaning: no label, so no shortcut.
    c.setAction(PelliumAction::get(0x1234), &dest);
    EXPECT_STREQ(c.getLabel().c_str(), "");
    EXPECT_EQ(c.getShortcut(), 0);
    EXPECT_TRUE(c.getImage().empty());
    c.sendMessage(0);
    EXPECT_EQ(dest.got.back().first, 0x1234);
}

// Without the common controls every standard icon comes from the pictures
// stored in the program, and looks the same as the one cut from the strip.
TEST(ActionTest, StoredIconsStandInForTheToolbarStrip) {
    const int ids[] = {PelliumAction::fileNew,  PelliumAction::fileOpen,   PelliumAction::fileSave,
                       PelliumAction::editCut,  PelliumAction::editCopy,   PelliumAction::editPaste,
                       PelliumAction::editUndo, PelliumAction::editRedo,   PelliumAction::editDelete};
    const pellium::Image& cut = PelliumAction::get(PelliumAction::editCut)->icon();
    for (int id : ids) {
        pellium::Image fromStrip = PelliumAction::get(id)->icon();
        pellium::Image stored = PelliumAction::makeIcon(id, pellium::Image());
        ASSERT_EQ(stored.width(), 16) << std::hex << id;
        ASSERT_EQ(stored.height(), 16);
        ASSERT_EQ(fromStrip.width(), 16);
        int opaque = 0;
        for (int i = 0; i < 256; ++i) {
            EXPECT_EQ(stored.constPixels()[i], fromStrip.constPixels()[i]) << std::hex << id << " pixel " << i;
            opaque += stored.constPixels()[i] >> 24 != 0;
        }
        EXPECT_EQ(stored.constPixels()[255] >> 24, 0u) << "the top-left corner is see-through";
        EXPECT_GT(opaque, 20);
    }
    // A strip too narrow for a cell also falls back to the stored picture.
    pellium::Image narrow(16 * 6, 16);
    EXPECT_EQ(PelliumAction::makeIcon(PelliumAction::fileSave, narrow).constPixels()[100],
              PelliumAction::get(PelliumAction::fileSave)->icon().constPixels()[100]);
    EXPECT_EQ(PelliumAction::makeIcon(PelliumAction::editCut, narrow).constPixels()[100], 0u)
        << "cell 0 is cut from the strip";
    EXPECT_NE(cut.constPixels()[100], 0u);
}

TEST(ComponentTest, EveryLiveComponentIsListedOldestFirstUntilItGoes) {
    const std::list<Component*>& live = Component::liveComponents();
    const struct {
        const char* what;
        std::function<Component*()> make;
        size_t made;  // the component and the parts it makes
    } rows[] = {
        {"a plain component", [] { return new Component; }, 1},
        // Bars of two arrows and a track each, the header and the viewport.
        {"a scroll pane", [] { return new pellium::ScrollPane(nullptr); }, 1 + 2 * 4 + 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const size_t before = live.size();
        Component* newest = nullptr;
        {
            orvel::ref_ptr<Component> made(row.make());
            ASSERT_EQ(live.size(), before + row.made);
            // The outermost is made, and listed, before the parts it makes.
            EXPECT_EQ(*std::next(live.begin(), std::ptrdiff_t(before)), made.get());
            newest = live.back();
        }
        EXPECT_EQ(live.size(), before) << "every one leaves as it goes";
        EXPECT_EQ(std::count(live.begin(), live.end(), newest), 0);
    }
    // One that goes from the middle leaves the others in their order.
    Component a, b, c;
    orvel::ref_ptr<Component> middle(new Component);
    Component d;
    middle.reset();
    EXPECT_EQ(std::vector<Component*>(std::prev(live.end(), 4), live.end()),
              (std::vector<Component*>{&a, &b, &c, &d}));
}

TEST(ToolTipTest, HoverShowsTheNearestOwnTooltipOnce) {
    static std::vector<Component*> made;
    made.clear();
    Component::setToolTipMaker([](const pellium::Event&, Component* shown) -> pellium::Window* {
        made.push_back(shown);
        return nullptr;
    });
    orvel::ref_ptr<pellium::Container> parent(new pellium::Container);
    Component* child = new Component;
    Component* plain = new Component;
    parent->add(child);
    parent->add(plain);
    parent->setToolTip("parent's", 7);
    child->setToolTipFromParent(true);
    pellium::Event hover;
    Component::showToolTip(child, hover);
    Component::showToolTip(child, hover);
    EXPECT_EQ(made, (std::vector<Component*>{parent.get()})) << "once, with the parent's text";
    EXPECT_EQ(Component::toolTipComponent(), child);
    Component::showToolTip(plain, hover);
    EXPECT_EQ(Component::toolTipComponent(), child) << "no text: the open one stays";
    plain->setToolTip("own", 1);
    Component::showToolTip(plain, hover);
    EXPECT_EQ(made.back(), plain);
    plain->setToolTip(nullptr, 5);
    EXPECT_EQ(plain->getToolTipWord(), 0);
    Component::closeToolTip();
    EXPECT_EQ(Component::toolTipComponent(), nullptr);
    Component::setToolTipMaker(nullptr);
}

TEST(RendererMetricsTest, EveryKind) {
    TestFonts fonts(sevenWide());
    namespace K = pellium::WidgetKind;
    namespace S = pellium::WidgetState;
    enum Look { none, label, icon, both };
    const struct {
        int kind, state;
        Look look;
        std::vector<int> want;  // width, height, label x, y, image x, y, insets l, r, t, b, extra
    } cases[] = {
        {K::pushButton, 0, label, {34, 30, 110, 208, -1, -1, -1, -1, -1, -1, -1}},
        {K::pushButton, 0, both, {56, 30, 132, 208, 112, 207, -1, -1, -1, -1, -1}},
        {K::pushButton, 0, icon, {22, 22, -1, -1, 103, 203, -1, -1, -1, -1, -1}},
        {K::flatButton, 0, none, {6, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1}},
        {K::tab, 0, label, {34, 27, 110, 208, -1, -1, -1, -1, -1, -1, -1}},
        {K::tab, S::focused, label, {34, 30, 110, 208, -1, -1, -1, -1, -1, -1, -1}},
        {K::checkBox, 0, label, {43, 19, 122, 203, 100, 202, -1, -1, -1, -1, 15}},
        {K::radioButton, 0, none, {15, 19, 122, 203, 100, 202, -1, -1, -1, -1, 15}},
        {K::menuBarEntry, 0, label, {28, 26, 107, 207, -1, -1, -1, -1, -1, -1, -1}},
        {K::menuItem, 0, label, {56, 26, 124, 206, 110, 213, -1, -1, -1, -1, -1}},
        {K::scrollArrow, S::left, none, {16, 16, -1, -1, -1, -1, -1, -1, -1, -1, -1}},
        {K::scrollTrack, S::vertical, none, {16, 48, -1, -1, -1, -1, -1, -1, -1, -1, -1}},
        {K::scrollThumb, S::horizontal, none, {48, 16, -1, -1, -1, -1, -1, -1, -1, -1, -1}},
        {K::tabPanel, 0, none, {-1, -1, -1, -1, -1, -1, 2, 2, 2, 2, -1}},
        {K::sliderThumb, S::horizontal, none, {10, 20, -1, -1, -1, -1, -1, -1, -1, -1, -1}},
        {K::groupBox, 0, label, {-1, -1, 109, 246, -1, -1, 7, 7, 21, 7, 7}},
        {99, 0, label, {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}},
    };
    for (const auto& c : cases) {
        Component widget;
        widget.setBounds({100, 200, 80, 60});
        if (c.look == label || c.look == both)
            widget.setLabel("OK", false);
        if (c.look == icon || c.look == both)
            widget.setImage(pellium::Image(16, 16));
        pellium::GuiMetrics m;
        m.width = 12345;
        pellium::GuiRenderer::instance()->getMetrics(m, c.kind, c.state, &widget);
        std::vector<int> got = {m.width,    m.height,    m.labelX,   m.labelY,      m.imageX,     m.imageY,
                                m.insetLeft, m.insetRight, m.insetTop, m.insetBottom, m.extra};
        EXPECT_EQ(got, c.want) << "kind " << c.kind << " state " << c.state;
    }
}
