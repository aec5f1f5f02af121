// Buttons, check boxes, radio buttons and tabbed panes: each kind painted in
// each state (pixels at the points that matter, with the test font and a
// colour scheme whose colours all differ), and driven by injected input in
// an open window; containers drawing their children into its back buffer.
#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

#include "gui/Action.h"
#include "gui/Button.h"
#include "gui/CardLayout.h"
#include "gui/Checkbox.h"
#include "gui/Container.h"
#include "gui/GuiRenderer.h"
#include "gui/MenuItem.h"
#include "gui/MessageDest.h"
#include "gui/PanelArea.h"
#include "gui/PopupMenu.h"
#include "gui/RadioButton.h"
#include "gui/Tab.h"
#include "gui/TabHolder.h"
#include "gui/TabbedPane.h"
#include "gui/Window.h"
#include "gui/gdiGraphics.h"
#include "platform/MessageBox.h"
#include "platform/Windows.h"
#include "tests/support/LogCapture.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/Pictures.h"
#include "tests/support/WidgetDriver.h"
#include "tests/gui/TestFonts.h"

using guitest::Pairs;
using guitest::sevenWide;
using guitest::Surface;
using guitest::WidgetDriveTest;
using pellium::Rect;
namespace K = pellium::WidgetKind;
namespace S = pellium::WidgetState;
using platform::MessageType;

TEST(WidgetLookTest, EveryKindInEveryState) {
    TestFonts fonts(sevenWide());
    guitest::DistinctColours colours;
    struct Probe {
        int x, y;
        char letter;
    };
    const struct {
        int kind, state;
        const char* label;
        Rect bounds;
        std::vector<Probe> probes;
        bool keyboardFocus = false;
    } cases[] = {
        // Push button "OK" (34 x 30): etched frame, raised edge, label at (10, 8), 'O' underlined at row 6.
        {K::pushButton, 0, "!OK", {0, 0, 34, 30},
         {{0, 15, 'S'}, {1, 15, 'L'}, {2, 15, 'H'}, {31, 15, 'D'}, {33, 15, 'L'}, {16, 29, 'S'}, {16, 27, 'H'},
          {16, 2, 'D'}, {16, 0, 'L'}, {5, 5, 'F'}, {10, 9, 'T'}, {15, 19, 'T'}, {10, 20, 'F'}, {10, 6, 'T'},
          {16, 6, 'T'}, {17, 6, 'F'}, {4, 4, 'F'}}},
        {K::pushButton, S::hot, "!OK", {0, 0, 34, 30}, {{0, 15, 'S'}, {2, 15, 'H'}, {4, 4, 'F'}}},
        {K::pushButton, S::pressed, "!OK", {0, 0, 34, 30},
         {{0, 15, 'D'}, {16, 29, 'D'}, {33, 15, 'H'}, {16, 0, 'H'}, {2, 15, 'F'}, {10, 9, 'T'}}},
        {K::pushButton, S::focused, "!OK", {0, 0, 34, 30}, {{4, 4, 'D'}, {5, 4, 'F'}, {6, 4, 'D'}, {4, 25, 'F'}}},
        {K::pushButton, S::focused | S::defaultButton, "!OK", {0, 0, 34, 30}, {{4, 4, 'D'}, {2, 15, 'H'}}},
        // The default button's bit beside the pressed one: pressed all the same.
        {K::pushButton, S::pressed | S::defaultButton, "!OK", {0, 0, 34, 30},
         {{0, 15, 'D'}, {16, 29, 'D'}, {2, 15, 'F'}}},
        // Disabled: the label in gray over its highlight one right and one down.
        {K::pushButton, S::disabled, "!OK", {0, 0, 34, 30}, {{10, 9, 'G'}, {16, 8, 'H'}, {16, 18, 'H'}, {16, 19, 'F'}, {4, 4, 'F'}}},
        // Check box "OK": a well at (0, 2) of 15, the label at (22, 3).
        {K::checkBox, 0, "OK", {0, 0, 43, 19}, {{0, 10, 'S'}, {14, 10, 'H'}, {5, 5, 'w'}, {22, 4, 'T'}, {21, 0, '.'}}},
        // Holding the keyboard focus: the dotted outline one pixel round the
        // label (rows 0 to 15 of a label at (22, 3)); so too the radio button and tab.
        {K::checkBox, 0, "OK", {0, 0, 43, 19}, {{21, 0, 'T'}, {22, 0, '.'}, {23, 0, 'T'}, {22, 4, 'T'}}, true},
        {K::radioButton, S::focused, "OK", {0, 0, 43, 19}, {{21, 0, 'T'}, {22, 0, '.'}, {35, 0, 'T'}}, true},
        {K::tab, S::focused, "OK", {10, 10, 34, 30},
         {{19, 15, 'T'}, {20, 15, '.'}, {21, 15, 'T'}, {20, 19, 'T'}}, true},
        {K::checkBox, S::pressed, "OK", {0, 0, 43, 19}, {{5, 5, 'F'}}},
        {K::checkBox, S::focused, "OK", {0, 0, 43, 19},
         {{3, 7, '#'}, {3, 9, '#'}, {3, 10, 'w'}, {3, 6, 'w'}, {5, 5, '#'}, {11, 13, '#'}, {11, 14, 'w'}}},
        {K::checkBox, S::disabled | S::focused, "OK", {0, 0, 43, 19}, {{5, 5, 'G'}, {12, 5, 'F'}, {22, 4, 'G'}}},
        // Radio button: the mark's middle, its ring and its see-through corner.
        {K::radioButton, 0, "OK", {0, 0, 43, 19}, {{7, 9, 'w'}, {7, 5, 'w'}, {7, 2, 'H'}, {0, 9, 'S'}, {0, 2, '.'}}},
        {K::radioButton, S::focused, "OK", {0, 0, 43, 19}, {{7, 9, '#'}, {7, 5, 'w'}}},
        {K::radioButton, S::pressed, "OK", {0, 0, 43, 19}, {{7, 9, 'F'}, {7, 5, 'F'}}},
        {K::radioButton, S::pressed | S::focused, "OK", {0, 0, 43, 19}, {{7, 9, '#'}}},
        {K::radioButton, S::disabled | S::focused, "OK", {0, 0, 43, 19}, {{7, 9, 'G'}, {7, 5, 'F'}, {22, 4, 'G'}}},
        // Tabs at (10, 10): raised on three sides; the selected one erases the row below it.
        {K::tab, 0, "OK", {10, 10, 34, 27}, {{10, 20, 'H'}, {20, 35, 'H'}, {42, 20, 'S'}, {43, 20, '.'}, {20, 9, '.'}}},
        {K::tab, S::pressed, "OK", {10, 10, 34, 27}, {{10, 20, '.'}, {11, 20, 'S'}, {20, 34, 'S'}, {43, 20, 'H'}}},
        {K::tab, S::focused, "OK", {10, 10, 34, 30},
         {{20, 9, 'F'}, {10, 9, 'H'}, {20, 39, 'H'}, {11, 20, 'L'}, {20, 38, 'L'}, {43, 20, 'D'}, {42, 20, 'S'},
          {44, 9, 'H'}}},
        // A scroll arrow with its arrow centred, and the tab panel's frame.
        {K::scrollArrow, S::up, "", {0, 0, 16, 16}, {{4, 6, '#'}, {10, 6, '#'}, {3, 6, 'F'}, {7, 9, '#'}, {6, 9, 'F'}}},
        {K::tabPanel, 0, "", {0, 0, 20, 10}, {{0, 5, 'H'}, {19, 5, 'D'}, {5, 5, 'F'}}},
        // Scroll parts: the track in shadow; an arrow pressed (sunken) or disabled
        // (an outline, the arrow in shadow); a thumb raised, or outlined when disabled.
        {K::scrollTrack, S::vertical, "", {0, 0, 16, 40}, {{0, 0, 'S'}, {8, 20, 'S'}}},
        {K::scrollArrow, S::up | S::pressed, "", {0, 0, 16, 16}, {{0, 8, 'D'}, {15, 8, 'H'}, {4, 6, '#'}}},
        {K::scrollArrow, S::up | S::disabled, "", {0, 0, 16, 16}, {{0, 8, 'G'}, {1, 8, 'F'}, {4, 6, 'S'}, {7, 9, 'S'}}},
        {K::scrollThumb, S::vertical, "", {0, 0, 16, 40},
         {{0, 20, 'H'}, {1, 20, 'L'}, {14, 20, 'S'}, {15, 20, 'D'}, {8, 20, 'F'}}},
        {K::scrollThumb, S::vertical | S::disabled, "", {0, 0, 16, 40}, {{0, 20, 'G'}, {1, 20, 'F'}}},
        // The combo box's drop button: raised, the down arrow centred, its widest row on top.
        {K::comboButton, 0, "", {0, 0, 16, 16},
         {{0, 8, 'H'}, {15, 8, 'D'}, {4, 9, '#'}, {10, 9, '#'}, {7, 6, '#'}, {4, 6, 'F'}}},
        // Text and combo fields: a well, filled with window, or face when disabled.
        {K::textField, 0, "", {0, 0, 30, 20},
         {{0, 10, 'S'}, {1, 10, 'D'}, {28, 10, 'L'}, {29, 10, 'H'}, {15, 10, 'w'}}},
        {K::comboField, S::disabled, "", {0, 0, 30, 20}, {{0, 10, 'S'}, {15, 10, 'F'}}},
        // A panel; a flat button at rest, hot (raised) and pressed (sunken); a popup menu's ground.
        {K::panel, 0, "", {0, 0, 30, 20}, {{0, 10, 'F'}, {15, 10, 'F'}}},
        {K::flatButton, 0, "", {0, 0, 30, 20}, {{0, 10, 'F'}, {29, 10, 'F'}}},
        {K::flatButton, S::hot, "", {0, 0, 30, 20}, {{0, 10, 'H'}, {29, 10, 'D'}, {15, 10, 'F'}}},
        {K::flatButton, S::pressed, "", {0, 0, 30, 20}, {{0, 10, 'D'}, {29, 10, 'H'}}},
        {K::popupMenu, 0, "", {0, 0, 30, 20}, {{0, 10, 'H'}, {29, 10, 'D'}, {15, 10, 'F'}}},
        // Menu-bar entries and menu items "OK": hot in the selection colours, else the
        // menu's; a disabled entry is not highlighted and its label is etched.
        {K::menuBarEntry, S::hot, "OK", {0, 0, 28, 26}, {{2, 2, 's'}, {7, 10, 't'}}},
        {K::menuBarEntry, 0, "OK", {0, 0, 28, 26}, {{2, 2, 'F'}, {7, 10, 'm'}}},
        {K::menuBarEntry, S::hot | S::disabled, "OK", {0, 0, 28, 26}, {{2, 2, 'F'}, {7, 10, 'G'}, {13, 9, 'H'}}},
        {K::menuItem, S::hot, "OK", {0, 0, 56, 26}, {{2, 2, 's'}, {24, 10, 't'}}},
        {K::menuItem, 0, "OK", {0, 0, 56, 26}, {{2, 2, '.'}, {24, 10, 'm'}}},
        // Sliders: a sunken groove 4 wide along the middle, the dotted outline when
        // focused; the thumb raised, or outlined when disabled.
        {K::sliderTrack, S::vertical, "", {0, 0, 20, 40}, {{9, 20, 'D'}, {12, 20, 'H'}, {10, 20, '.'}, {0, 0, '.'}}},
        {K::sliderTrack, S::horizontal | S::focused, "", {0, 0, 40, 20},
         {{20, 12, 'D'}, {20, 9, 'H'}, {0, 0, 'D'}, {1, 0, '.'}}},
        {K::sliderThumb, S::horizontal, "", {0, 0, 10, 20}, {{0, 10, 'H'}, {1, 10, 'L'}, {9, 10, 'D'}, {5, 10, 'F'}}},
        {K::sliderThumb, S::horizontal | S::disabled, "", {0, 0, 10, 20}, {{0, 10, 'G'}, {1, 10, 'F'}}},
        // A group box: the frame's top line breaks around the label.
        {K::groupBox, 0, "OK", {0, 0, 60, 40}, {{0, 10, 'S'}, {3, 32, 'S'}, {15, 32, '.'}, {30, 32, 'S'}, {9, 27, 'T'}}},
    };
    for (const auto& c : cases) {
        Surface s(64, 44);
        pellium::Component widget;
        widget.setLabel(c.label, true);
        widget.setBounds(c.bounds);
        widget.setEnabled(!(c.state & S::disabled));
        pellium::Window::setKeyboardFocus(nullptr, c.keyboardFocus ? &widget : nullptr);
        pellium::GuiRenderer* r = pellium::GuiRenderer::instance();
        r->drawBackground(s.g, c.kind, c.state, c.bounds);
        r->drawForeground(s.g, c.kind, c.state, &widget);
        pellium::Window::setKeyboardFocus(nullptr, nullptr);
        std::vector<std::string> rows = s.rows();
        for (const Probe& p : c.probes)
            EXPECT_EQ(rows[size_t(43 - p.y)][size_t(p.x)], p.letter)
                << "kind " << c.kind << " state " << std::hex << c.state << " at " << std::dec << p.x << "," << p.y;
    }

    // A group box whose painter stops after the first pass keeps only what lies below the label.
    struct Stopping : pellium::GuiRendererInternals::GroupBoxBackgroundRenderer {
        bool draw(pellium::Graphics& g, const pellium::GuiMetrics& m, pellium::Component* c) override {
            GroupBoxBackgroundRenderer::draw(g, m, c);
            return false;
        }
    } stopping;
    pellium::GuiRendererInternals::setGroupBoxBackgroundRenderer(&stopping);
    Surface s(64, 44);
    pellium::Component box;
    box.setLabel("OK", false);
    box.setBounds({0, 0, 60, 40});
    pellium::GuiRenderer::instance()->drawForeground(s.g, K::groupBox, 0, &box);
    pellium::GuiRendererInternals::setGroupBoxBackgroundRenderer(nullptr);
    EXPECT_EQ(s.rows()[43 - 10][0], 'S');
    EXPECT_EQ(s.rows()[43 - 32][3], '.');

    // A menu item "Go" (56 x 26) that opens a submenu ends in the right
    // arrow, 2 pixels in from its width, its widest column at x 50, rows 9 to 15.
    pellium::MenuItem plain, opener;
    opener.setSubmenu(new pellium::PopupMenu);
    const Probe arrowProbes[] = {{50, 9, '#'}, {50, 15, '#'}, {53, 12, '#'}, {53, 11, '.'}, {49, 12, '.'}};
    for (pellium::MenuItem* item : {&plain, &opener}) {
        Surface menu(64, 44);
        item->setLabel("Go", false);
        item->setFont(pellium::GuiRenderer::menuFont());
        item->setBounds({0, 0, 56, 26});
        pellium::GuiRenderer::instance()->drawForeground(menu.g, K::menuItem, 0, item);
        for (const Probe& p : arrowProbes)
            EXPECT_EQ(menu.rows()[size_t(43 - p.y)][size_t(p.x)], item == &plain ? '.' : p.letter)
                << (item == &plain ? "plain" : "opener") << " at " << p.x << "," << p.y;
    }
}


namespace {

// Fills its bounds in a colour and counts its drawings; may move itself.
struct Block : pellium::Component {
    Block(Rect r, pellium::GuiColor::gui_color c) : color(c) { setBounds(r); }
    void draw(pellium::Graphics& g) override {
        ++draws;
        g.setColor(color);
        g.fillRect(getBounds());
        if (moves)
            setBounds({getBounds().x + 1, getBounds().y, getBounds().width, getBounds().height});
    }
    pellium::GuiColor::gui_color color;
    int draws = 0;
    bool moves = false;
};

// Keeps its children where the test put them.
struct Fixed : pellium::Container {
    void layout() override {}
};

}  // namespace

TEST_F(WidgetDriveTest, ChildrenClipToTheirContainerAndARepaintDrawsOnlyItsArea) {
    using pellium::GuiColor;
    platform::clearRecordedMessageBoxes();
    Fixed* box = place(new Fixed, {10, 10, 50, 40}, 0);
    Block* inside = new Block({20, 20, 10, 10}, GuiColor::blue);
    Block* across = new Block({50, 30, 30, 30}, GuiColor::green);  // reaches out of the box
    Block* hidden = new Block({0, 0, 200, 100}, GuiColor::black);
    hidden->setVisible(false);
    for (Block* b : {inside, across, hidden})
        box->add(b);
    Block* apart = place(new Block({150, 60, 20, 20}, GuiColor::red), {150, 60, 20, 20}, 0);
    window.repaint();
    const pellium::gdiGraphics& g = window.graphics();
    EXPECT_EQ(g.pixelAt(20, 20), guitest::bufferPixel(GuiColor::blue));
    EXPECT_EQ(g.pixelAt(59, 49), guitest::bufferPixel(GuiColor::green));
    EXPECT_EQ(g.pixelAt(60, 49), guitest::bufferPixel(GuiColor::face)) << "cut at the box's right edge";
    EXPECT_EQ(g.pixelAt(59, 50), guitest::bufferPixel(GuiColor::face)) << "and at its top";
    EXPECT_EQ(hidden->draws, 0);
    EXPECT_EQ(g.drawn, 4);

    // A repaint of one child draws what meets its rectangle and skips the rest.
    inside->color = apart->color = GuiColor::yellow;
    inside->revalidate();
    EXPECT_EQ(g.skipped, 2) << "the other block in the box and the block apart";
    EXPECT_EQ(g.pixelAt(20, 20), guitest::bufferPixel(GuiColor::yellow));
    EXPECT_EQ(g.pixelAt(150, 60), guitest::bufferPixel(GuiColor::red));
    box->setVisible(false);
    int draws = inside->draws;
    inside->revalidate();
    EXPECT_EQ(inside->draws, draws) << "a hidden ancestor: nothing is drawn";
    box->setVisible(true);

    // A component that moves while it draws is a user error, each time.
    apart->moves = true;
    window.repaint();
    window.repaint();
    ASSERT_EQ(platform::recordedMessageBoxes().size(), 2u);
    EXPECT_EQ(platform::recordedMessageBoxes()[0].text, "You changed the position of a component when you drew it!");
    apart->moves = false;

    // In an OpenGL window a repaint waits for the window's own drawing.
    pellium::Window gl;
    gl.setOpenGL(true);
    Block* drawnByGl = new Block({0, 0, 10, 10}, GuiColor::red);
    gl.add(drawnByGl);
    guitest::openAt(gl, 500, 100, 50, 50);
    gl.repaint();
    drawnByGl->revalidate();
    EXPECT_TRUE(gl.isDirty());
    EXPECT_EQ(drawnByGl->draws, 0);
}

TEST_F(WidgetDriveTest, ButtonsPressOnlyWhenReleasedOverThem) {
    pellium::Button* b = place(new pellium::Button("!Go"), {10, 10, 60, 30}, 1);
    down(20, 20);
    move(200, 150);
    up(200, 150);
    EXPECT_TRUE(messages.got.empty()) << "released outside";
    down(20, 20);
    move(200, 150);
    move(25, 25);
    int kind, state;
    b->getRenderInfo(kind, state);
    EXPECT_EQ(state, S::pressed);
    up(25, 25);
    EXPECT_EQ(messages.got, (Pairs{{1, 0}}));
    b->getRenderInfo(kind, state);
    EXPECT_EQ(state, S::hot) << "the pointer still rests on it";
    move(200, 150);
    b->getRenderInfo(kind, state);
    EXPECT_EQ(state, S::focused);
    window.setDefaultButton(b);
    b->getRenderInfo(kind, state);
    EXPECT_EQ(state, S::focused | S::defaultButton);
    window.repaint();
    EXPECT_EQ(window.graphics().pixelAt(14, 14), guitest::bufferPixel(pellium::GuiColor::dark_shadow_lit))
        << "the focus outline's first dot";
    EXPECT_EQ(window.graphics().pixelAt(15, 14), guitest::bufferPixel(pellium::GuiColor::face));

    // Enter and Space press the focused button; a letter goes on to the
    // window's own handling once, and the shortcut presses it from anywhere.
    type({13, ' ', 'q'});
    EXPECT_EQ(messages.got.size(), 3u);
    EXPECT_EQ(window.keys, (std::vector<int>{'q'}));
    pellium::Window::setKeyboardFocus(&window, &window);
    guitest::key(MessageType::SysKeyDown, window, 'G', true);
    guitest::dispatchAll();
    EXPECT_EQ(messages.got.size(), 4u);
    EXPECT_TRUE(b->isKeyboardFocus());
    b->setEnabled(false);
    b->getRenderInfo(kind, state);
    EXPECT_EQ(state, S::disabled);
}

// Another component's shortcut typed while a button holds the focus reaches
// that component; the focused button used to press itself on any shortcut.
TEST_F(WidgetDriveTest, ShortcutsReachTheirOwnComponentWhateverHasTheFocus) {
    pellium::Button* b = place(new pellium::Button("!Go"), {10, 10, 60, 30}, 1);
    pellium::Checkbox* c = place(new pellium::Checkbox("!Check"), {10, 50, 80, 20}, 2);
    pellium::Window::setKeyboardFocus(&window, b);
    guitest::key(MessageType::SysKeyDown, window, 'C', true);
    guitest::dispatchAll();
    EXPECT_TRUE(c->isChecked());
    EXPECT_EQ(messages.got, (Pairs{{2, 0}}));
    guitest::key(MessageType::SysKeyDown, window, 'Z', true);
    guitest::dispatchAll();
    EXPECT_EQ(messages.got.size(), 1u) << "a letter nobody has";
}

// A shortcut reaches only a component that takes input: not a disabled
// one, nor a hidden one, nor one inside a hidden container or on a page of a
// tabbed pane that is not selected (chosen from code, before any layout).
TEST_F(WidgetDriveTest, ShortcutsPassOverDisabledAndHiddenComponents) {
    auto* off = place(new pellium::Button("!Off"), {10, 10, 50, 20}, 1);
    off->setEnabled(false);
    place(new pellium::Button("!Hidden"), {10, 40, 50, 20}, 2)->setVisible(false);
    auto* box = place(new pellium::Container, {100, 10, 50, 50}, 0);
    auto* boxed = new pellium::Button("!Boxed");
    boxed->setMessageDest(&messages, 3);
    box->add(boxed);
    box->setVisible(false);
    auto* pane = place(new pellium::TabbedPane, {160, 10, 130, 180}, 0);
    auto* page = new pellium::Container;
    auto* inside = new pellium::Button("!Inside one");
    inside->setMessageDest(&messages, 4);
    page->add(inside);
    pane->addTab("First", page);
    pane->addTab("Second", new pellium::Container);
    pane->select(1);
    for (char letter : {'O', 'H', 'B', 'I'}) {
        guitest::key(MessageType::SysKeyDown, window, letter, true);
        guitest::dispatchAll();
        EXPECT_TRUE(messages.got.empty()) << letter;
        EXPECT_EQ(pellium::Window::getKeyboardFocus(), nullptr) << letter;
    }
    off->setEnabled(true);
    guitest::key(MessageType::SysKeyDown, window, 'O', true);
    guitest::dispatchAll();
    EXPECT_EQ(messages.got, (Pairs{{1, 0}})) << "enabled again, it answers";
    ASSERT_TRUE(off->isKeyboardFocus());
    off->setEnabled(false);
    guitest::key(MessageType::SysKeyDown, window, 'O', true);
    guitest::dispatchAll();
    EXPECT_EQ(messages.got.size(), 1u) << "disabled while it holds the focus";
}

// One jump of the pointer onto a widget, with no move seen on the way, and
// a click there clicks it: after another widget let the mouse go (twice,
// without moving), and coming into the window from outside.
TEST_F(WidgetDriveTest, AClickAfterASingleJumpClicksTheWidgetUnderIt) {
    place(new pellium::Checkbox("a"), {10, 10, 60, 20}, 1);
    place(new pellium::Checkbox("b"), {10, 50, 60, 20}, 2);
    click(20, 15);
    click(20, 55);
    clock.advance(1);
    down(20, 55);
    up(20, 55);
    EXPECT_EQ(messages.got, (Pairs{{1, 0}, {2, 0}, {2, 1}}));
    move(5000, 5000);
    guitest::mouse(MessageType::MouseMove, window, 20, 199 - 15);  // enters: no move event
    down(20, 15);
    up(20, 15);
    EXPECT_EQ(messages.got.back(), (std::pair<int, int>{1, 1}));
}

// Before anything has the keyboard focus, Tab gives it to the first
// focusable component, and Space then presses it.
TEST_F(WidgetDriveTest, TabWithoutAFocusStartsAtTheFirstFocusableComponent) {
    place(new pellium::Checkbox("box"), {10, 40, 50, 20}, 2)->setEnabled(false);
    auto* first = place(new pellium::Button("first"), {10, 10, 50, 20}, 1);
    ASSERT_EQ(pellium::Window::getKeyboardFocus(), nullptr);
    type({'\t', ' '});
    EXPECT_TRUE(first->isKeyboardFocus());
    EXPECT_EQ(messages.got, (Pairs{{1, 0}}));
}

// Repeats follow the clock, half a second and then every 50 ms, however
// often the loop passes: pressing on every pass made the rate the machine's
// and kept a core busy while the button was held.
TEST_F(WidgetDriveTest, AutoRepeatFollowsTheClockNotTheLoop) {
    pellium::Button* b = place(new pellium::Button("+"), {10, 10, 30, 30}, 2);
    b->setAutoRepeat(true);
    move(20, 20);
    down(20, 20);
    for (int i = 0; i < 50; ++i)
        guitest::dispatchAll();
    EXPECT_TRUE(messages.got.empty());
    clock.advance(0.5);
    guitest::dispatchAll();
    clock.advance(0.05);
    guitest::dispatchAll();
    guitest::dispatchAll();
    EXPECT_EQ(messages.got.size(), 2u);
    move(200, 150);
    clock.advance(1);
    guitest::dispatchAll();
    EXPECT_EQ(messages.got.size(), 2u) << "none while held outside";
    move(20, 20);
    clock.advance(0.05);
    guitest::dispatchAll();
    up(20, 20);
    EXPECT_EQ(messages.got.size(), 5u) << "one on the way back in, one 50 ms later, one on release";
    clock.advance(1);
    guitest::dispatchAll();
    EXPECT_EQ(messages.got.size(), 5u);
}

TEST_F(WidgetDriveTest, CheckBoxesToggleAndFollowTheirAction) {
    pellium::Checkbox* c = place(new pellium::Checkbox("!Sound"), {10, 10, 80, 20}, 3);
    click(15, 15);
    EXPECT_TRUE(c->isChecked());
    move(200, 150);
    down(200, 150);
    move(15, 15);
    up(15, 15);
    EXPECT_FALSE(c->isChecked()) << "released inside, pressed elsewhere";
    pellium::Window::setKeyboardFocus(&window, c);
    type({' '});
    guitest::key(MessageType::SysKeyDown, window, 'S', true);
    guitest::dispatchAll();
    EXPECT_EQ(messages.got, (Pairs{{3, 0}, {3, 1}, {3, 0}, {3, 1}}));

    struct Ticked : pellium::Action {
        int checkState() const override { return 1; }
    } ticked;
    c->setAction(&ticked, &messages);
    int kind, state;
    c->getRenderInfo(kind, state);
    EXPECT_EQ(state & S::focused, S::focused);
    EXPECT_TRUE(c->isChecked());
}

TEST_F(WidgetDriveTest, RadioButtonsOfOneParentExcludeEachOther) {
    pellium::Container* group = place(new pellium::Container, {0, 0, 150, 100}, 0);
    pellium::Container* other = place(new pellium::Container, {150, 0, 150, 100}, 0);
    std::vector<pellium::RadioButton*> radios;
    for (int i = 0; i < 3; ++i) {
        auto* r = new pellium::RadioButton("choice");
        r->setBounds({10, 10 + 25 * i, 100, 20});
        r->setMessageDest(&messages, 10 + i);
        group->add(r);
        radios.push_back(r);
    }
    auto* apart = new pellium::RadioButton("!Apart");
    apart->setBounds({160, 10, 100, 20});
    apart->setChecked(true);
    other->add(apart);
    click(20, 15);
    click(20, 40);
    click(20, 40);
    EXPECT_EQ(messages.got, (Pairs{{10, 0}, {11, 0}, {11, 0}})) << "chosen again: the message again";
    EXPECT_FALSE(radios[0]->isChecked());
    EXPECT_TRUE(radios[1]->isChecked());
    EXPECT_TRUE(apart->isChecked()) << "another parent, another group";
    radios[2]->select();
    EXPECT_EQ(messages.got.size(), 3u) << "select() from code sends nothing";
    EXPECT_FALSE(radios[1]->isChecked());
    int kind, state;
    radios[2]->setEnabled(false);
    radios[2]->getRenderInfo(kind, state);
    EXPECT_EQ(state, S::disabled | S::focused);
}

TEST_F(WidgetDriveTest, TabbedPaneSelectsPanelsAndJoinsTheSelectedTab) {
    TestFonts fonts(sevenWide());
    window.laysOut = true;
    auto* pane = new pellium::TabbedPane;
    window.add(pane);
    pellium::Container* panels[3] = {new pellium::Container, new pellium::Container, new pellium::Container};
    pellium::Tab* tabs[3];
    const char* labels[3] = {"!One", "!Two", "T!hree"};
    for (int i = 0; i < 3; ++i) {
        tabs[i] = pane->addTab(labels[i], panels[i]);
        tabs[i]->setMessageDest(&messages, 20 + i);
    }
    EXPECT_EQ(pane->getSelectedIndex(), 0) << "the first panel is chosen at once";
    window.repaint();
    EXPECT_TRUE(panels[0]->isVisible());
    EXPECT_FALSE(panels[1]->isVisible());
    // Tabs stand on the pane's panel area; the selected one 3 pixels higher.
    EXPECT_EQ(tabs[0]->getBounds(), (Rect{6, 166, 41, 30}));
    EXPECT_EQ(tabs[1]->getBounds(), (Rect{47, 166, 41, 27}));
    EXPECT_EQ(pane->getPanelArea()->getBounds(), (Rect{4, 2, 292, 164}));
    // The panel's top edge (row 165) is opened under the selected tab, within
    // its side lines, and kept under the others.
    const pellium::gdiGraphics& g = window.graphics();
    const std::uint32_t face = guitest::bufferPixel(pellium::GuiColor::face);
    const std::uint32_t edge = guitest::bufferPixel(pellium::GuiColor::highlight_dim);
    EXPECT_EQ(g.pixelAt(20, 165), face);
    EXPECT_EQ(g.pixelAt(45, 165), face);
    EXPECT_EQ(g.pixelAt(46, 165), edge);
    EXPECT_EQ(g.pixelAt(60, 165), edge);

    click(60, 180);
    EXPECT_EQ(pane->getSelectedIndex(), 1);
    EXPECT_TRUE(panels[1]->isVisible());
    EXPECT_EQ(g.pixelAt(60, 165), face);
    EXPECT_EQ(g.pixelAt(20, 165), edge);
    click(60, 180);
    EXPECT_EQ(messages.got, (Pairs{{20, 1}, {21, 0}})) << "the selected tab pressed again sends nothing";
    pane->select(-3);
    EXPECT_EQ(pane->getSelectedIndex(), 0);
    pane->select(99);
    EXPECT_EQ(pane->getSelectedIndex(), 2);
    guitest::key(MessageType::SysKeyDown, window, 'T', true);
    guitest::dispatchAll();
    EXPECT_EQ(pane->getSelectedIndex(), 1) << "the shortcut of \"Two\"";

    // A tab holding the focus but not selected does not look selected.
    pellium::Window::setKeyboardFocus(&window, tabs[2]);
    int kind, state;
    tabs[2]->getRenderInfo(kind, state);
    EXPECT_EQ(kind, K::tab);
    EXPECT_EQ(state & S::focused, 0);
    tabs[1]->getRenderInfo(kind, state);
    EXPECT_EQ(state & S::focused, S::focused);
}

TEST(TabbedPaneTest, DrawingWithTheSelectionOutOfRangeLogs) {
    pellium::TabbedPane pane;
    LogCapture log;
    Surface s(100, 100);
    pane.setBounds({0, 0, 100, 100});
    pane.draw(s.g);
    EXPECT_EQ(log.text(), "Error in TabbedPane::PanelArea::draw() - tab 0 isn't in range 0\n");
}

TEST_F(WidgetDriveTest, TabMovesTheFocusThroughTheWidgets) {
    auto* first = place(new pellium::Button("first"), {10, 10, 50, 20}, 1);
    auto* box = place(new pellium::Checkbox("box"), {10, 40, 50, 20}, 2);
    place(new pellium::Container, {100, 100, 10, 10}, 0);
    auto* last = place(new pellium::RadioButton("last"), {10, 70, 50, 20}, 3);
    click(15, 15);
    EXPECT_TRUE(first->isKeyboardFocus());
    type({'\t'});
    EXPECT_TRUE(box->isKeyboardFocus());
    type({' '});
    EXPECT_TRUE(box->isChecked());
    type({'\t', '\t'});
    EXPECT_TRUE(first->isKeyboardFocus()) << "round from the last";
    platform::Message backTab = guitest::message(MessageType::Char, window);
    backTab.character = '\t';
    backTab.shift = true;
    platform::injectMessage(backTab);
    guitest::dispatchAll();
    EXPECT_TRUE(last->isKeyboardFocus()) << "Shift+Tab goes back round";
}
