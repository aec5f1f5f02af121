// The class record every window opens with: the program's icon, read back
// from the X windows with xprop and compared with the pictures the program
// holds; the drag-icon query; and the style, for which every popup asks the
// theme renderer whether the visual-styles library is there.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "gui/EventQueue.h"
#include "gui/ProgramIcon.h"
#include "gui/Window.h"
#include "gui/XPtheme.h"
#include "platform/DynamicLibrary.h"
#include "platform/Windows.h"
#include "tests/gui/FakeTheme.h"
#include "tests/support/GuiTestSupport.h"

using pellium::Window;

namespace {

// The numbers of a window's _NET_WM_ICON as xprop prints them; empty when
// the window has none.
std::vector<unsigned long> iconProperty(const Window& window) {
    const unsigned long xid = platform::x11WindowOf(window.getHWND());
    if (!xid)
        return {};
    const std::string command = "xprop -id " + std::to_string(xid) + " -notype -f _NET_WM_ICON 32c _NET_WM_ICON";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return {};
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, n);
    pclose(pipe);
    std::vector<unsigned long> numbers;
    const size_t equals = text.find(" = ");
    if (equals == std::string::npos)
        return {};
    const char* at = text.c_str() + equals + 3;
    for (char* end = nullptr;; at = end + (*end == ',' ? 1 : 0)) {
        const unsigned long n = std::strtoul(at, &end, 0);
        if (end == at)
            break;
        numbers.push_back(n);
    }
    return numbers;
}

// The picture as the property holds it: width, height, then the pixels top row first.
std::vector<unsigned long> asProperty(const pellium::Image& picture) {
    std::vector<unsigned long> out{(unsigned long)picture.width(), (unsigned long)picture.height()};
    for (int y = picture.height() - 1; y >= 0; --y)
        for (int x = 0; x < picture.width(); ++x)
            out.push_back(picture.constPixels()[y * picture.width() + x]);
    return out;
}

std::vector<unsigned long> bothSizes() {
    std::vector<unsigned long> expected =
        asProperty(pellium::iconResource(pellium::programIconResource, pellium::largeIconSide));
    const std::vector<unsigned long> small =
        asProperty(pellium::iconResource(pellium::programIconResource, pellium::smallIconSide));
    expected.insert(expected.end(), small.begin(), small.end());
    return expected;
}

// Installs stand-ins for the visual-styles library, found from then on.
void provideThemeLibrary() {
    const pellium::ThemeFunctions f = faketheme::functions();
    const std::pair<const char*, void*> symbols[] = {
        {"OpenThemeData", reinterpret_cast<void*>(f.openThemeData)},
        {"CloseThemeData", reinterpret_cast<void*>(f.closeThemeData)},
        {"DrawThemeBackground", reinterpret_cast<void*>(f.drawThemeBackground)},
        {"GetThemePartSize", reinterpret_cast<void*>(f.getThemePartSize)},
        {"GetThemeColor", reinterpret_cast<void*>(f.getThemeColor)}};
    for (auto [name, address] : symbols)
        platform::addBuiltinSymbol("uxtheme.dll", name, address);
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
    popup.setWindowType(Window::Popup);
    popup.setBounds({10, 10, 40, 30});
    popup.open();
    sub.setWindowType(Window::Subwindow);
    sub.setBounds({60, 10, 40, 30});
    sub.open();
    const std::vector<unsigned long> expected = bothSizes();
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

// Only the first popup loads the library; a shadow only where it draws one.
TEST(WindowClassTest, PopupsAskTheThemeRendererAndGetTheShadowWhereItIsThere) {
    provideThemeLibrary();
    Window top;
    guitest::openAt(top, 100, 100, 200, 150);
    EXPECT_EQ(top.classStyle(), 0x23u);
    EXPECT_TRUE(faketheme::state().handles.empty()) << "nothing asked the theme renderer yet";
    const struct {
        const char* what;
        bool shadow;
        unsigned style;
    } rows[] = {{"a popup", false, 0x823}, {"a popup asking for a shadow", true, 0x20823}};
    for (const auto& row : rows) {
        Window popup(&top);
        popup.setWindowType(Window::Popup);
        popup.setBounds({10, 10, 40, 30});
        if (row.shadow)
            popup.setShadow();
        popup.open();
        EXPECT_EQ(popup.classStyle(), row.style) << row.what;
        EXPECT_EQ(faketheme::state().handles.size(), 8u) << "the theme's classes opened";
    }
}

TEST(WindowClassTest, WithoutTheLibraryAPopupGoesWithoutItsShadow) {
    Window top;
    guitest::openAt(top, 100, 100, 200, 150);
    Window popup(&top);
    popup.setWindowType(Window::Popup);
    popup.setBounds({10, 10, 40, 30});
    popup.setShadow();
    popup.open();
    EXPECT_FALSE(pellium::XPtheme::isAvailable());
    EXPECT_EQ(popup.classStyle(), 0x823u);
    Window unopened;
    EXPECT_EQ(unopened.classStyle(), 0u);
}

}  // namespace
