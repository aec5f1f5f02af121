#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/DisplayModes.h"
#include "gui/EventQueue.h"
#include "gui/Window.h"
#include "platform/Display.h"
#include "platform/Windows.h"
#include "tests/support/LogCapture.h"
using pellium::DisplayMode;

namespace {

// Stands for the system's display layer and writes down every request.
class RecordingBackend : public platform::DisplayBackend {
public:
    int monitorCount() override { return int(monitors.size()); }
    bool monitorBounds(int i, platform::ScreenRect& b) override {
        if (i < 0 || i >= int(monitors.size()) || i >= readable)
            return false;
        b = monitors[size_t(i)];
        return true;
    }
    std::string monitorName(int i) override { return "DISPLAY" + std::to_string(i + 1); }
    bool currentMode(int, platform::DisplayMode& m) override {
        if (!modeKnown)
            return false;
        m = current;
        return true;
    }
    bool changeMode(int monitor, const platform::DisplayMode& m, bool testOnly) override {
        requests.push_back({monitor, m, testOnly});
        return accept;
    }
    void restoreMode(int monitor) override { restored.push_back(monitor); }

    struct Request {
        int monitor;
        platform::DisplayMode mode;
        bool testOnly;
    };
    std::vector<platform::ScreenRect> monitors{{0, 0, 1280, 1024}};
    int readable = 100;
    platform::DisplayMode current{1152, 864, 24, 70};
    bool modeKnown = true;
    bool accept = true;
    std::vector<Request> requests;
    std::vector<int> restored;
};

// A request as {monitor, width, height, bits per pixel, refresh rate, test only}.
std::vector<int> asked(const RecordingBackend::Request& r) {
    return {r.monitor, r.mode.width, r.mode.height, r.mode.bitsPerPixel, r.mode.refreshRate, r.testOnly};
}
using Asked = std::vector<int>;

class DisplayModesTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::setDisplayBackend(&backend);
        pellium::refreshMonitors();
    }
    void TearDown() override {
        platform::setDisplayBackend(nullptr);
        pellium::refreshMonitors();
    }
    RecordingBackend backend;
};

}  // namespace

TEST(DisplayModeNamesTest, Names) {
    const char* resolutions[] = {"current", "640 x 480", "800 x 600", "1024 x 768", "1280 x 1024", "1600 x 1200"};
    for (int i = -1; i < 5; ++i)
        EXPECT_STREQ(pellium::resolutionName(i), resolutions[i + 1]);
    EXPECT_STREQ(pellium::resolutionName(7), "...");
    EXPECT_STREQ(pellium::resolutionName(-2), "...");
    EXPECT_STREQ(pellium::depthName(-1), "current");
    EXPECT_STREQ(pellium::depthName(0), "16 bit");
    EXPECT_STREQ(pellium::depthName(1), "32 bit");
    EXPECT_STREQ(pellium::depthName(2), "...");
    const char* rates[] = {"default", "60 Hz", "75 Hz", "85 Hz", "100 Hz", "120 Hz"};
    for (int i = -1; i < 5; ++i)
        EXPECT_STREQ(pellium::refreshName(i), rates[i + 1]);
    EXPECT_STREQ(pellium::refreshName(5), "...");
}

TEST(RealDisplayTest, OneMonitorNamedMonitorWithTheScreen) {
    platform::ScreenMetrics s = platform::screenMetrics();
    ASSERT_GT(s.width, 0);
    EXPECT_EQ(pellium::monitorCount(), 1);
    EXPECT_STREQ(pellium::monitorName(0).c_str(), "Monitor");
    EXPECT_EQ(pellium::monitorRect(0), (pellium::Rect{0, 0, s.width, s.height}));
    EXPECT_STREQ(pellium::monitorName(5).c_str(), "Monitor");
    EXPECT_EQ(pellium::monitorRect(-1), (pellium::Rect{0, 0, s.width, s.height}));
}

TEST(RealDisplayTest, CurrentModeAsIndices) {
    platform::DisplayMode m;
    ASSERT_TRUE(platform::displayBackend().currentMode(0, m));
    DisplayMode d = pellium::getCurrentDisplayMode(0);
    int expected = m.width < 800 ? 0 : m.width < 1024 ? 1 : m.width < 1280 ? 2 : m.width < 1600 ? 3 : 4;
    EXPECT_EQ(d.resolution, expected);
    EXPECT_EQ(d.depth, m.bitsPerPixel > 16 ? 1 : 0);
    EXPECT_GE(d.refresh, 0);
    // Xvfb's screen is 1280 x 1024 at 24 bits in the test command.
    if (m.width == 1280 && m.height == 1024) {
        EXPECT_EQ(d.resolution, 3);
        EXPECT_EQ(d.depth, 1);
    }
}

TEST(RealDisplayTest, FullScreenWindowInTheCurrentModeCoversTheMonitor) {
    LogCapture log;
    pellium::Window w;
    w.setWindowType(pellium::Window::FullScreen);
    w.open();
    ASSERT_TRUE(w.isOpen());
    platform::ScreenMetrics s = platform::screenMetrics();
    EXPECT_EQ(w.getBounds().width, s.width);
    EXPECT_EQ(w.getBounds().height, s.height);
    EXPECT_TRUE(w.modeWasChanged()) << "the current mode counts as in effect";
    EXPECT_EQ(log.text(), "Setting the screen mode...\n");
}

TEST_F(DisplayModesTest, CurrentModeIndicesFromTheSettings) {
    DisplayMode d = pellium::getCurrentDisplayMode(0);
    EXPECT_EQ(d.resolution, 2);
    EXPECT_EQ(d.depth, 1);
    EXPECT_EQ(d.refresh, 0);
    struct Case {
        int w, bpp, hz, r, d, f;
    } cases[] = {{640, 16, 60, 0, 0, 0},   {799, 8, 74, 0, 0, 0},    {800, 17, 75, 1, 1, 1},
                 {1023, 32, 84, 1, 1, 1},  {1024, 24, 85, 2, 1, 2},  {1280, 32, 100, 3, 1, 3},
                 {1599, 32, 119, 3, 1, 3}, {1600, 32, 120, 4, 1, 4}, {2560, 32, 144, 4, 1, 4}};
    for (const Case& k : cases) {
        backend.current = {k.w, 600, k.bpp, k.hz};
        d = pellium::getCurrentDisplayMode(0);
        EXPECT_EQ(d.resolution, k.r) << k.w;
        EXPECT_EQ(d.depth, k.d) << k.bpp;
        EXPECT_EQ(d.refresh, k.f) << k.hz;
    }
    backend.modeKnown = false;
    d = pellium::getCurrentDisplayMode(0);
    EXPECT_EQ(d.resolution, -1);
    EXPECT_EQ(d.depth, -1);
    EXPECT_EQ(d.refresh, -1);
}

TEST_F(DisplayModesTest, NothingAskedSwitchesNothing) {
    LogCapture log;
    EXPECT_TRUE(pellium::setDisplayMode({-1, -1, -1}));
    EXPECT_TRUE(pellium::applyScreenMode({-1, -1, -1}, 0, false));
    EXPECT_TRUE(backend.requests.empty());
    EXPECT_EQ(log.text(), "Setting the screen mode...\n");
}

TEST_F(DisplayModesTest, ResolutionAndRateChangeWhileTheDepthStays) {
    LogCapture log;
    EXPECT_TRUE(pellium::setDisplayMode({1, -1, 4}));
    ASSERT_EQ(backend.requests.size(), 1u);
    EXPECT_EQ(asked(backend.requests[0]), (Asked{0, 800, 600, 0, 120, false})) << "0 bits per pixel keeps the depth";
    EXPECT_EQ(log.text(), "  w=800,h=600 Hz=120");
}

TEST_F(DisplayModesTest, IndicesBeyondTheTablesTakeTheScreenOrTheCurrentSetting) {
    LogCapture log;
    platform::ScreenMetrics s = platform::screenMetrics();
    pellium::setDisplayMode({9, 5, 7});
    backend.modeKnown = false;
    pellium::setDisplayMode({-1, 3, 9});
    ASSERT_EQ(backend.requests.size(), 2u);
    EXPECT_EQ(asked(backend.requests[0]), (Asked{0, s.width, s.height, 24, 70, false}));
    EXPECT_EQ(asked(backend.requests[1]), (Asked{0, 0, 0, 16, 60, false}));
    EXPECT_EQ(log.text(), "  w=" + std::to_string(s.width) + ",h=" + std::to_string(s.height) +
                              " bpp=24 Hz=70 bpp=16 Hz=60");
}

TEST_F(DisplayModesTest, RefusedModeReportsFailure) {
    backend.accept = false;
    EXPECT_FALSE(pellium::setDisplayMode({0, 0, 0}));
    platform::restoreDisplayModes();
    EXPECT_TRUE(backend.restored.empty()) << "nothing changed, nothing to restore";
}

TEST_F(DisplayModesTest, SetScreenModeOnlyTestsTheMode) {
    LogCapture log;
    pellium::Window w;
    w.setScreenMode(0, 1, 2);
    ASSERT_EQ(backend.requests.size(), 1u);
    EXPECT_EQ(asked(backend.requests[0]), (Asked{0, 640, 480, 32, 85, true}));
    EXPECT_EQ(log.text(), "Setting the screen mode...\n1  w=640,h=480 bpp=32 Hz=852"
                          "3...finished setting the screen mode...\nmodeWasChanged=1\n");
    platform::restoreDisplayModes();
    EXPECT_TRUE(backend.restored.empty());
}

TEST_F(DisplayModesTest, FullScreenWindowSwitchesAndClosingRestores) {
    pellium::Window w;
    w.setWindowType(pellium::Window::FullScreen);
    w.setScreenMode(1, -1, -1);
    w.open();
    ASSERT_TRUE(w.isOpen());
    ASSERT_EQ(backend.requests.size(), 2u);
    EXPECT_EQ(asked(backend.requests[0]), (Asked{0, 800, 600, 0, 0, true}));
    EXPECT_EQ(asked(backend.requests[1]), (Asked{0, 800, 600, 0, 0, false}));
    EXPECT_TRUE(w.modeWasChanged());
    EXPECT_EQ(w.getBounds().width, 800);
    EXPECT_EQ(w.getBounds().height, 600);
    EXPECT_TRUE(backend.restored.empty());
    w.close();
    EXPECT_TRUE(backend.restored.empty()) << "the mode lasts until the native window goes";
    pellium::Window::destroyClosedWindows();
    EXPECT_EQ(backend.restored, (std::vector<int>{0}));
}

TEST_F(DisplayModesTest, ModesChangedWithoutAWindowAreRestoredAtTheEnd) {
    pellium::setDisplayMode({2, -1, -1});
    platform::restoreDisplayModes();
    EXPECT_EQ(backend.restored, (std::vector<int>{0}));
    platform::restoreDisplayModes();
    EXPECT_EQ(backend.restored.size(), 1u) << "restored once";
}

TEST_F(DisplayModesTest, SecondMonitorIsListedAndUsesItsOwnCall) {
    backend.monitors = {{0, 0, 1280, 1024}, {1280, 124, 1024, 768}};
    pellium::refreshMonitors();
    ASSERT_EQ(pellium::monitorCount(), 2);
    EXPECT_STREQ(pellium::monitorName(1).c_str(), "DISPLAY2");
    platform::ScreenMetrics s = platform::screenMetrics();
    EXPECT_EQ(pellium::monitorRect(1), (pellium::Rect{1280, s.height - 124 - 768, 1024, 768}));
    LogCapture log;
    EXPECT_TRUE(pellium::applyScreenMode({0, -1, -1}, 1, false));
    ASSERT_EQ(backend.requests.size(), 1u);
    EXPECT_EQ(backend.requests[0].monitor, 1);
    EXPECT_NE(log.text().find("24...finished"), std::string::npos);
    platform::restoreDisplayModes();
    EXPECT_EQ(backend.restored, (std::vector<int>{1}));
}

TEST_F(DisplayModesTest, MonitorsThatDoNotAddUpFallBackToOne) {
    LogCapture log;
    backend.monitors = {{0, 0, 1280, 1024}, {1280, 0, 1024, 768}, {0, 0, 10, 10}};
    backend.readable = 2;
    pellium::refreshMonitors();
    EXPECT_EQ(pellium::monitorCount(), 1);
    EXPECT_STREQ(pellium::monitorName(0).c_str(), "Monitor");
    EXPECT_EQ(log.text(), "Number of monitors didn't add up!\n");
}
