// The class record every window opens with: the program's icon, read back
// from the X windows with xprop and compared with the pictures the program
// holds; the drag-icon query; and the style of a popup when the visual-styles
// library is not there (ThemePopupTest.cpp has it there).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "gui/EventQueue.h"
#include "gui/ProgramIcon.h"
#include "gui/Window.h"
#include "gui/XPtheme.h"
#include "platform/Windows.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/GuiTestSupport.h"

using pellium::Window;

namespace {

// What a window's _NET_WM_ICON holds, as xprop reads it: the width, height
// and pixels of each size in turn; empty when it has none.
std::vector<unsigned long> iconProperty(const Window& window) {
    const std::string command = "xprop -notype -f _NET_WM_ICON 32c -id " +
                                std::to_string(platform::x11WindowOf(window.getHWND())) + " _NET_WM_ICON";
    const std::string text = support::commandOutput(command);
    const size_t equals = text.find(" = ");
    std::istringstream in(equals == std::string::npos ? "" : text.substr(equals + 3));
    std::vector<unsigned long> numbers;
    for (unsigned long n; in >> n; in.ignore(1, ','))
        numbers.push_back(n);
    return numbers;
}

// The program's pictures as the property should hold them, top rows first.
std::vector<unsigned long> programIconProperty() {
    std::vector<unsigned long> out;
    for (int side : {pellium::largeIconSide, pellium::smallIconSide}) {
        const pellium::Image picture = pellium::iconResource(pellium::programIconResource, side);
        out.insert(out.end(), {(unsigned long)side, (unsigned long)side});
        for (int y = side - 1; y >= 0; --y)
            out.insert(out.end(), picture.constPixels() + y * side, picture.constPixels() + (y + 1) * side);
    }
    return out;
}

TEST(ProgramIconTest, TwoPicturesOfTheirOwnSize) {
    const struct {
        int side;
        int opaqueAtLeast;
    } rows[] = {{pellium::largeIconSide, 600}, {pellium::smallIconSide, 150}};
    for (const auto& row : rows) {
        const pellium::Image picture = pellium::iconResource(pellium::programIconResource, row.side);
        ASSERT_EQ(picture.width(), row.side);
        ASSERT_EQ(picture.height(), row.side);
        int opaque = 0;
        for (int i = 0; i < row.side * row.side; ++i)
            opaque += picture.constPixels()[i] >> 24 == 0xFF;
        EXPECT_GE(opaque, row.opaqueAtLeast) << row.side;
        const int last = row.side - 1;
        for (auto [x, y] : {std::pair{0, 0}, {last, 0}, {0, last}, {last, last}})
            EXPECT_EQ(picture.constPixels()[y * row.side + x] >> 24, 0u) << "round: the corners are see-through";
    }
    EXPECT_TRUE(pellium::iconResource(pellium::programIconResource, 24).empty());
    EXPECT_TRUE(pellium::iconResource(102, pellium::largeIconSide).empty());
}

TEST(ProgramIconTest, EveryKindOfWindowShowsItInBothSizesAndTheDragQueryAnswersIt) {
    Window top;
    guitest::openAt(top, 100, 100, 200, 150);
    Window popup(&top), sub(&top);
    guitest::openPopup(popup);
    sub.setWindowType(Window::Subwindow);
    sub.setBounds({60, 10, 40, 30});
    sub.open();
    const std::vector<unsigned long> expected = programIconProperty();
    ASSERT_EQ(expected.size(), 2 + 32 * 32 + 2 + 16 * 16);
    const struct {
        const char* what;
        const Window& window;
    } rows[] = {{"top-level", top}, {"popup", popup}, {"subwindow", sub}};
    for (const auto& row : rows) {
        ASSERT_TRUE(row.window.isOpen()) << row.what;
        EXPECT_EQ(iconProperty(row.window), expected) << row.what;
    }

    platform::Message query;
    query.type = platform::MessageType::QueryDragIcon;
    query.window = top.getHWND();
    EXPECT_NE(pellium::programIcon(), 0u);
    EXPECT_EQ(pellium::WindowProc(query), long(pellium::programIcon()));
    EXPECT_EQ(pellium::programIcon(), pellium::programIcon()) << "made once";
}

TEST(WindowClassTest, WithoutTheLibraryAPopupGoesWithoutItsShadow) {
    Window top;
    guitest::openAt(top, 100, 100, 200, 150);
    Window popup(&top);
    guitest::openPopup(popup, true);
    EXPECT_FALSE(pellium::XPtheme::isAvailable());
    EXPECT_EQ(popup.classStyle(), 0x823u);
    Window unopened;
    EXPECT_EQ(unopened.classStyle(), 0u);
}

}  // namespace
