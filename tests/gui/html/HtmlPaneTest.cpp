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
        const char* link = static_cast<pellium::HTMLPane*>(source)->getClickedLink();
        got += std::to_string(id) + ":" + std::to_string(detail) + ":" + (link ? link : "null") + ";";
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
    // The page is 296 wide from (2, 171); its text starts 5 in, on baseline 183:
    // "next" at 7, "page" at 37, "x" at 67.
    EXPECT_EQ(html->getBounds(), (pellium::Rect{2, 171, 296, 27}));
    guitest::Pointer pointer(window);
    pointer.move(10, 187);
    EXPECT_EQ(html->getCursor().get(), pellium::getCursor(pellium::Cursor::PointingHand).get());
    pointer.move(64, 187);  // the space after "page": no link
    EXPECT_EQ(html->getCursor().get(), nullptr);
    for (int x : {10, 69, 200}) {  // next, x and nothing
        pointer.move(x, 187);
        pointer.down(x, 187);
        pointer.up(x, 187);
    }
    EXPECT_EQ(listener.got, "7:0:next.html;7:0:x;");
    EXPECT_EQ(html->getClickedLink(), nullptr);

    int w, h;
    html->getPreferredSize(w, h);
    EXPECT_EQ(std::vector<int>({html->getWidthHint(), w, h, html->minimumWidth()}), std::vector<int>({320, 296, 27, 30}));
    html->setWidth(10);
    EXPECT_EQ(html->width(), 25);
}

}  // namespace
