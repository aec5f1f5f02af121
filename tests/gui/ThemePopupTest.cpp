// Every popup asks the theme renderer whether the visual-styles library is
// there, for its shadow. The process-wide renderer is made once, on first
// use, and lives until exit, so this needs a process of its own in which the
// stand-in library is in place before anything asks.
#include <gtest/gtest.h>

#include "gui/Window.h"
#include "tests/gui/FakeTheme.h"
#include "tests/support/GuiTestSupport.h"

using pellium::Window;

// Only the first popup loads the library; a shadow only where it draws one.
TEST(ThemePopupTest, PopupsAskTheThemeRendererAndGetTheShadowWhereItIsThere) {
    faketheme::installAsLibrary();
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
        guitest::openPopup(popup, row.shadow);
        EXPECT_EQ(popup.classStyle(), row.style) << row.what;
        EXPECT_EQ(faketheme::state().handles.size(), 8u) << "the theme's classes opened";
    }
}

