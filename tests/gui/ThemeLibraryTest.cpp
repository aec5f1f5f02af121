// The theme renderer finds its functions through the library loader: here
// stand-ins take the loader's place of "uxtheme.dll" before the renderer is
// first asked for, so the process-wide renderer is available. Even so, only
// the visual-styles switch makes it the one widgets use.
#include <gtest/gtest.h>

#include "gui/GuiRenderer.h"
#include "gui/XPtheme.h"
#include "tests/gui/FakeTheme.h"

TEST(ThemeLibraryTest, TheSwitchDecidesWhenTheLibraryIsThere) {
    faketheme::installAsLibrary();
    ASSERT_TRUE(pellium::XPtheme::isAvailable());
    EXPECT_EQ(faketheme::state().handles.size(), 8u) << "every class opened";
    EXPECT_FALSE(pellium::GuiRenderer::visualStyles()) << "off at start";
    EXPECT_EQ(dynamic_cast<pellium::XPtheme*>(pellium::GuiRenderer::instance()), nullptr);
    pellium::GuiRenderer::setVisualStyles(true);
    EXPECT_EQ(pellium::GuiRenderer::instance(), pellium::XPtheme::instance());
    pellium::GuiRenderer::setVisualStyles(false);
}
