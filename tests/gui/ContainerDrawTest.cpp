// Containers drawing their children into a window's back buffer: clipped to
// each child container, skipping what lies outside the area being drawn, and
// a component repainting only its own rectangle.
#include <gtest/gtest.h>

#include "gui/Container.h"
#include "gui/Graphics.h"
#include "gui/Window.h"
#include "gui/gdiGraphics.h"
#include "platform/MessageBox.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/Pictures.h"

using pellium::GuiColor;
using pellium::Rect;

namespace {

// Fills its bounds in a colour and counts its drawings; may move itself.
struct Block : pellium::Component {
    Block(Rect r, GuiColor::gui_color c) : color(c) { setBounds(r); }
    void draw(pellium::Graphics& g) override {
        ++draws;
        g.setColor(color);
        g.fillRect(getBounds());
        if (moves)
            setBounds({getBounds().x + 1, getBounds().y, getBounds().width, getBounds().height});
    }
    GuiColor::gui_color color;
    int draws = 0;
    bool moves = false;
};

// Keeps the children where the test put them.
struct Fixed : pellium::Container {
    void layout() override {}
};

struct FixedWindow : pellium::Window {
    void layout() override {}
};

}  // namespace

TEST(ContainerDrawTest, ChildrenClipToTheirContainerAndOnlyTheRepaintedAreaIsDrawn) {
    platform::setMessageBoxRecording(true);
    platform::clearRecordedMessageBoxes();
    FixedWindow window;
    Fixed* box = new Fixed;
    box->setBounds({10, 10, 50, 40});
    Block* inside = new Block({20, 20, 10, 10}, GuiColor::blue);
    Block* across = new Block({50, 30, 30, 30}, GuiColor::green);  // reaches out of the box
    Block* hidden = new Block({0, 0, 200, 100}, GuiColor::black);
    Block* apart = new Block({150, 60, 20, 20}, GuiColor::red);
    hidden->setVisible(false);
    box->add(inside);
    box->add(across);
    box->add(hidden);
    window.add(box);
    window.add(apart);
    guitest::openAt(window, 100, 100, 200, 100);
    window.repaint();
    const pellium::gdiGraphics& g = window.graphics();
    EXPECT_EQ(g.pixelAt(20, 20), guitest::bufferPixel(GuiColor::blue));
    EXPECT_EQ(g.pixelAt(59, 49), guitest::bufferPixel(GuiColor::green));
    EXPECT_EQ(g.pixelAt(60, 49), guitest::bufferPixel(GuiColor::face)) << "cut at the box's right edge";
    EXPECT_EQ(g.pixelAt(59, 50), guitest::bufferPixel(GuiColor::face)) << "and at its top";
    EXPECT_EQ(hidden->draws, 0);
    EXPECT_EQ(g.drawn, 4);

    // A repaint of one child draws what meets its rectangle and skips the rest.
    int before = apart->draws;
    window.invalidate();
    inside->color = GuiColor::yellow;
    apart->color = GuiColor::yellow;
    inside->revalidate();
    EXPECT_EQ(apart->draws, before);
    EXPECT_EQ(g.skipped, 2) << "the other block in the box and the block apart";
    EXPECT_EQ(g.pixelAt(20, 20), guitest::bufferPixel(GuiColor::yellow));
    EXPECT_EQ(g.pixelAt(150, 60), guitest::bufferPixel(GuiColor::red));
    box->setVisible(false);
    int drawsBefore = inside->draws;
    inside->revalidate();
    EXPECT_EQ(inside->draws, drawsBefore) << "a hidden ancestor: nothing is drawn";
    box->setVisible(true);

    // A component that moves while it draws is a user error, each time.
    apart->moves = true;
    window.repaint();
    window.repaint();
    ASSERT_EQ(platform::recordedMessageBoxes().size(), 2u);
    EXPECT_EQ(platform::recordedMessageBoxes()[0].text, "You changed the position of a component when you drew it!");
}
