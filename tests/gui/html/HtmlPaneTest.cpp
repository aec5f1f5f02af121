// The HTML pane as a component in an open window, inside a scroll pane:
// the hand over links, the link's message with its href, and its sizes.
#include <gtest/gtest.h>

#include <string>

#include "gui/MessageDest.h"
#include "gui/ScrollPane.h"
#include "gui/Window.h"
#include "gui/gl/Cursor.h"
#include "gui/html/HTMLPane.h"
#include "tests/gui/TestFonts.h"
#include "tests/support/GuiTestSupport.h"

namespace {

struct LinkListener : pellium::MessageDest {
    void message(pellium::Component* source, int id, int detail) override {
        auto* pane = static_cast<pellium::HTMLPane*>(source);
        got += std::to_string(id) + ":" + std::to_string(detail) + ":" + (pane->getClickedLink() ? pane->getClickedLink() : "null") + ";";
    }
    std::string got;
};

TEST(HtmlPaneTest, LinksShowTheHandAndSendTheirHref) {
    TestFonts fonts;
    guitest::FakeClock clock;
    pellium::Window window;
    window.setResizable(false);
    auto* html = new pellium::HTMLPane;
    html->setText("<body widthhint=320><a href=Next.HTML>next</a> page <a href=x>x</a>");
    LinkListener listener;
    html->setMessageDest(&listener, 7);
    auto* scroll = new pellium::ScrollPane(html);
    scroll->setHorizontalScrollPolicy(pellium::ScrollPane::never);
    window.add(scroll);
    guitest::openAt(window, 100, 100, 300, 200);
    window.repaint();
    // The page is 296 wide from (2, 2); its text starts 5 in, on baseline 183.
    EXPECT_EQ(html->getBounds(), (pellium::Rect{2, 171, 296, 27}));
    guitest::Pointer pointer(window);
    pointer.move(10, 187);
    EXPECT_EQ(html->getCursor().get(), pellium::getCursor(pellium::Cursor::PointingHand).get());
    pointer.move(64, 187);  // the space after "page": no link
    EXPECT_EQ(html->getCursor().get(), nullptr);
    pointer.move(10, 187);
    pointer.down(10, 187);
    pointer.up(10, 187);
    pointer.move(69, 187);  // on "x"
    pointer.down(69, 187);
    pointer.up(69, 187);
    pointer.move(200, 187);  // on nothing
    pointer.down(200, 187);
    pointer.up(200, 187);
    EXPECT_EQ(listener.got, "7:0:next.html;7:0:x;");
    EXPECT_EQ(html->getClickedLink(), nullptr);

    EXPECT_EQ(html->getWidthHint(), 320);
    int w, h;
    html->getPreferredSize(w, h);
    EXPECT_EQ(w, 296);
    EXPECT_EQ(h, 27);
    html->setWidth(10);
    EXPECT_EQ(html->width(), 25);
    EXPECT_EQ(html->minimumWidth(), 30) << "the widest word with its space";
}

}  // namespace
