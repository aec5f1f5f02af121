// The 3D view window on the display: its controllers driven by messages
// injected through the platform layer and by real input from the X server
// (xdotool), the engine clock on the test time source; its default scene and
// the point picked in it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <GL/gl.h>

#include "SquareObject.h"
#include "base/Clock.h"
#include "gui/EventQueue.h"
#include "scene/Database.h"
#include "scene/Matrix.h"
#include "scene/Object.h"
#include "scene/Stopwatch.h"
#include "scene/render/KessaWindow.h"
#include "scene/render/MouseFly.h"
#include "scene/render/MouseTwiddler.h"
#include "scene/render/WheelMouseZoomer.h"
#include "platform/Windows.h"
#include "tests/support/GuiTestSupport.h"

using kessa::KessaWindow;
using kessa::MouseTwiddler;
using kessa::Vector;
using platform::MessageType;

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int W = 400, H = 300;
double clockNow = 1;
double testClock() { return clockNow; }

double degreesBetween(const Vector& a, const Vector& b) {
    return std::acos(std::clamp(a.dot(b) / (a.length() * b.length()), -1.0, 1.0)) * 180 / pi;
}

// Keeps every event it was given and the depths of its last frame.
class SeenWindow : public KessaWindow {
public:
    void handleEvent(const pellium::Event& event) override {
        KessaWindow::handleEvent(event);
        seen.push_back(event);
    }
    void render(pellium::GLRenderInfo& info) override {
        KessaWindow::render(info);
        depths.resize(size_t(W) * H);
        glReadPixels(0, 0, W, H, GL_DEPTH_COMPONENT, GL_FLOAT, depths.data());
    }
    // The point the rasteriser drew at the pixel (x, y), counted upward.
    Vector drawn(int x, int y) {
        kessa::Viewer& v = viewer();
        const double n = v.nearDistance(), f = v.farDistance(), d = depths[size_t(y) * W + size_t(x)];
        EXPECT_LT(d, 1) << "the scene at " << x << "," << y;
        const double depth = 2 * n * f / (f + n - (2 * d - 1) * (f - n));
        const kessa::PickRay ray = v.pickRay(x + 0.5, y + 0.5);
        return ray.start + (ray.end - ray.start) * ((depth - n) / (f - n));
    }
    std::vector<pellium::Event> seen;
    std::vector<float> depths;
};

class KessaWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        kessa::Stopwatch::setTimeSource(testClock);
        clockNow = 1;
        orvel::counted_ptr<kessa::Database> scene(new kessa::Database);
        scene->addObject(kessa_test::squareObject());
        window.setScene(scene);
        guitest::openAt(window, 100, 100, W, H);
        kessa::Matrix camera;
        camera.setTranslation(Vector(0, -10, 0));
        viewer().setCameraMatrix(camera);
        viewer().setWindowSize(W, H);
        send(MessageType::MouseMove, W / 2, H / 2);  // the pointer enters
    }
    void TearDown() override {
        window.close();
        pellium::Window::destroyClosedWindows();
        kessa::Stopwatch::setTimeSource(nullptr);
    }
    kessa::Viewer& viewer() { return window.viewer(); }

    // A mouse message at (x, y) counted upward, with the buttons held after it.
    void send(MessageType type, int x, int y, int buttons = 0) {
        guitest::mouse(type, window, x, H - 1 - y, buttons);
        guitest::dispatchAll();
    }
    template <typename T>
    T* active() {
        return dynamic_cast<T*>(window.twiddler());
    }

    guitest::FakeClock clock;
    SeenWindow window;
};

// The controllers driven twice: by messages injected through the platform
// layer, and by real input, the X server's pointer moved and its buttons
// pressed by xdotool. The loop runs until what a step brings about is seen,
// for twenty seconds at most.
class KessaWindowInput : public KessaWindowTest, public ::testing::WithParamInterface<bool> {
protected:
    enum Button { left = 1, middle = 2, right = 3 };  // as X numbers them

    void SetUp() override {
        KessaWindowTest::SetUp();
        if (!real)
            return;
        if (std::system("command -v xdotool >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "xdotool is not installed";
        int width, height;
        platform::clientRect(window.getHWND(), screenX, screenY, width, height);
        // The display's pointer waits in a corner of the screen.
        px = py = -1;
        move(W / 2, H / 2);
    }
    // The pointer to (x, y), counted upward.
    void move(int x, int y) {
        if (x == px && y == py)
            return;
        px = x, py = y;
        const size_t from = window.seen.size();
        if (real)
            xdotool("mousemove " + std::to_string(screenX + x) + " " + std::to_string(screenY + H - 1 - y));
        else
            send(MessageType::MouseMove, x, y, held);
        await(from, pellium::EventType::Move);
    }
    void press(Button b, bool down) {
        const int mask = b == left ? 1 : b == middle ? 2 : 4;
        held = down ? held | mask : held & ~mask;
        const MessageType types[][2] = {{MessageType::LeftButtonUp, MessageType::LeftButtonDown},
                                        {MessageType::MiddleButtonUp, MessageType::MiddleButtonDown},
                                        {MessageType::RightButtonUp, MessageType::RightButtonDown}};
        const size_t from = window.seen.size();
        if (real)
            xdotool((down ? "mousedown " : "mouseup ") + std::to_string(int(b)));
        else
            send(types[b - 1][down], px, py, held);
        await(from, pellium::EventType::LeftDown + 2 * (b - 1) + !down);
    }
    // One notch away from the user (positive) or towards.
    void notch(int towards) {
        const size_t from = window.seen.size();
        if (real) {
            xdotool(towards > 0 ? "click 4" : "click 5");
        } else {
            platform::Message m = guitest::message(MessageType::MouseWheel, window);
            m.x = px, m.y = H - 1 - py, m.wheel = 120 * towards;
            platform::injectMessage(m);
        }
        await(from, pellium::EventType::Wheel);
    }
    void key(char c) {
        const size_t from = window.seen.size();
        if (real)
            xdotool(std::string("key ") + c);
        else
            guitest::character(window, c);
        await(from, pellium::EventType::Key);
    }
    // Runs the loop until the window is given an event of that type (at
    // the pointer, for a move), which each step waits for: a release the
    // window never took would leave the display's button down for the next.
    void await(size_t from, int type) {
        EXPECT_TRUE(until([&] {
            for (size_t i = from; i < window.seen.size(); ++i) {
                const pellium::Event& e = window.seen[i];
                if (e.type == type && (type != pellium::EventType::Move || (e.x == px && e.y == py)))
                    return true;
            }
            return false;
        })) << "no event of type " << type;
    }
    static void xdotool(const std::string& args) {
        ASSERT_EQ(std::system(("xdotool " + args).c_str()), 0) << args;
    }
    static bool until(const std::function<bool()>& seen) {
        for (double end = orvel::getTime() + 20; orvel::getTime() < end; orvel::sleepMs(5)) {
            guitest::dispatchAll();
            if (seen())
                return true;
        }
        return false;
    }
    const bool real = GetParam();
    int screenX = 0, screenY = 0, px = W / 2, py = H / 2, held = 0;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(, KessaWindowInput, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "Real" : "Injected"; });

TEST_P(KessaWindowInput, RightDragTumblesInTheMiddleAndRollsNearTheBorder) {
    const Vector forward = viewer().axis(1);
    press(right, true);
    ASSERT_NE(active<MouseTwiddler>(), nullptr);
    EXPECT_EQ(active<MouseTwiddler>()->mode(), MouseTwiddler::tumble);
    EXPECT_EQ(pellium::Window::getKeyboardFocus(), &window);
    move(230, 150);
    EXPECT_NEAR(degreesBetween(viewer().axis(1), forward), 10, 1e-9) << "a degree per three pixels";
    EXPECT_NEAR(viewer().position().length(), 10, 1e-9) << "about the picked point";
    EXPECT_LT(viewer().position().x, 0) << "the near side follows the pointer";
    move(200, 120);
    EXPECT_NEAR(degreesBetween(viewer().axis(1), forward), 10, 1e-9);
    EXPECT_GT(viewer().position().z, 0) << "dragged down, the camera looks from above";
    press(right, false);
    EXPECT_EQ(window.twiddler(), nullptr);
    EXPECT_EQ(pellium::Window::getKeyboardFocus(), nullptr);

    const Vector up = viewer().axis(2), ahead = viewer().axis(1);
    move(5, 150);
    press(right, true);
    ASSERT_NE(active<MouseTwiddler>(), nullptr);
    EXPECT_EQ(active<MouseTwiddler>()->mode(), MouseTwiddler::roll) << "5 pixels from the edge";
    move(200, 5);
    EXPECT_NEAR(degreesBetween(viewer().axis(1), ahead), 0, 1e-6);
    EXPECT_NEAR(degreesBetween(viewer().axis(2), up), 90, 1e-6) << "from the left to the bottom: a quarter turn";
    press(right, false);
}

TEST_P(KessaWindowInput, LeftDragZoomsAfterPickingAnAxisAndBothButtonsPan) {
    press(right, true);
    press(left, true);
    ASSERT_NE(active<MouseTwiddler>(), nullptr);
    EXPECT_EQ(active<MouseTwiddler>()->mode(), MouseTwiddler::pan);
    move(210, 150);
    EXPECT_NEAR(viewer().position().x, -10 * viewer().pixelSize(10), 1e-9) << "the scene follows the pointer";
    press(right, false);
    EXPECT_EQ(active<MouseTwiddler>()->mode(), MouseTwiddler::zoom);
    const double distance = viewer().position().y, reach = viewer().position().length();
    move(225, 142);
    EXPECT_EQ(active<MouseTwiddler>()->axisLock(), MouseTwiddler::undecided) << "15 pixels";
    move(235, 140);
    EXPECT_EQ(active<MouseTwiddler>()->axisLock(), MouseTwiddler::horizontal) << "25 pixels across";
    move(235, 200);
    EXPECT_NEAR(viewer().position().y, distance + reach * 25 / (H * 0.5), 1e-9) << "the locked axis alone counts";
    press(left, false);
    EXPECT_EQ(window.twiddler(), nullptr);

    move(200, 150);
    press(right, true);
    press(left, true);
    press(right, false);
    move(175, 145);
    ASSERT_NE(active<MouseTwiddler>(), nullptr);
    EXPECT_EQ(active<MouseTwiddler>()->axisLock(), MouseTwiddler::horizontal) << "25 pixels to the left lock too";
    press(left, false);
}

TEST_P(KessaWindowInput, TheWheelZoomsInBothProjectionsAndMiddlePressesFlyOnlyInPerspective) {
    notch(1);
    EXPECT_NEAR(viewer().position().y, -13, 1e-9) << "the picked point 30% further";
    EXPECT_EQ(window.twiddler(), nullptr) << "the zoomer is done with its first frame";
    notch(-1);
    EXPECT_NEAR(viewer().position().y, -13 * (1 - 0.18), 1e-9);

    viewer().setPerspective(false);
    viewer().setOrthoHalfHeight(2);
    notch(-1);
    EXPECT_NEAR(viewer().orthoHalfHeight(), 1.6, 1e-9) << "towards the user: 0.8";
    notch(1);
    EXPECT_NEAR(viewer().orthoHalfHeight(), 1.6 * 1.4, 1e-9);

    press(middle, true);
    EXPECT_EQ(window.twiddler(), nullptr) << "no flying in an orthographic view";
    press(middle, false);
    viewer().setPerspective(true);
    press(middle, true);
    EXPECT_NE(active<kessa::MouseFly>(), nullptr);
    press(middle, false);
}

TEST_P(KessaWindowInput, FlyingSpeedsUpWithTheLeftButtonAndTheRightOneStops) {
    press(middle, true);
    press(middle, false);
    kessa::MouseFly* fly = active<kessa::MouseFly>();
    ASSERT_NE(fly, nullptr);
    press(left, true);
    const double a = 999 * std::log(2.0) * 0.1 * 0.2;
    for (int frame = 1; frame <= 3; ++frame) {
        clockNow += 0.1;
        guitest::dispatchAll();
        EXPECT_NEAR(fly->speed(), frame * a, 1e-6) << frame;
    }
    EXPECT_NEAR(viewer().position().y, -10 + (a + 2 * a + 3 * a) * 0.1, 1e-6) << "forward";
    EXPECT_NEAR(viewer().position().x, 0, 1e-9) << "the pointer at the centre steers nowhere";
    press(right, true);
    EXPECT_TRUE(fly->stopped());
    clockNow += 0.1;
    guitest::dispatchAll();
    EXPECT_EQ(fly->speed(), 0);
    move(W / 2 + 100, H / 2);
    clockNow += 0.1;
    guitest::dispatchAll();
    EXPECT_NEAR(fly->placement().heading, 360 - 100 * 0.1 * 100 * 0.4 / W, 1e-6) << "steering to the right";
    key('x');
    EXPECT_EQ(window.twiddler(), nullptr) << "a key ends the flight";
    press(right, false);
    press(left, false);
}

// With no scene given the window shows the teapot; the ray tracer picks on
// it the point the rasteriser drew at that pixel, and a ray that meets
// nothing keeps the point.
TEST_P(KessaWindowInput, PicksOnTheDefaultTeapotThePointTheRasteriserDraws) {
    window.setScene(orvel::counted_ptr<kessa::Database>());
    ASSERT_EQ(window.scene()->objects()[0]->name(), "Teapot");
    window.repaint();
    move(W / 2 - 30, H / 2 - 20);
    press(right, true);
    const Vector picked = window.pickPoint();
    EXPECT_LT((picked - window.drawn(W / 2 - 30, H / 2 - 20)).length(), window.scene()->bounds().radius() * 0.01);
    press(right, false);
    move(3, 3);
    press(right, true);
    press(right, false);
    EXPECT_EQ(window.pickPoint(), picked);
}

TEST_F(KessaWindowTest, TheCameraNeverReachesThePickedPointNorLeavesTheFiniteWorld) {
    const kessa::Matrix start = viewer().cameraMatrix();
    const struct {
        bool perspective;
        int wheel, turns;  // the wheel's value, this many times; 0: a dolly drag
        const char* what;
    } rows[] = {{true, -720, 1, "six notches at once"},
                {true, 0, 1, "a dolly drag longer than half the window"},
                {true, 120, 3000, "zooming out without end"},
                {true, -120, 5000, "zooming in without end"},
                {false, -120, 5000, "zooming in without end"},
                {false, 120, 5000, "zooming out without end"}};
    for (const auto& row : rows) {
        viewer().setPerspective(true);
        viewer().setCameraMatrix(start);
        viewer().setPerspective(row.perspective);
        viewer().setOrthoHalfHeight(1);
        if (row.wheel == 0) {
            send(MessageType::RightButtonDown, 10, 150, 4);
            send(MessageType::LeftButtonDown, 10, 150, 5);
            send(MessageType::RightButtonUp, 10, 150, 1);
            send(MessageType::MouseMove, 390, 150, 1);
            send(MessageType::LeftButtonUp, 390, 150, 0);
        }
        pellium::Event turn(pellium::EventType::Wheel, &window);
        turn.x = W / 2, turn.y = H / 2, turn.wheel = row.wheel;
        for (int i = 0; row.wheel != 0 && i < row.turns; ++i)
            kessa::WheelMouseZoomer(window, turn, viewer(), window.pickPoint());
        const kessa::Matrix* matrices[] = {&viewer().viewMatrix(), &viewer().cameraMatrix(), &viewer().projection()};
        for (const kessa::Matrix* m : matrices)
            for (int i = 0; i < 16; ++i)
                ASSERT_TRUE(std::isfinite(m->values()[i])) << row.what;
        ASSERT_GT(viewer().orthoHalfHeight(), 0) << row.what;
        if (!row.perspective)
            continue;
        Vector c;
        kessa::Matrix::transformPoint(c, window.pickPoint(), viewer().viewMatrix());
        EXPECT_GE(c.y, viewer().nearDistance() * (1 - 1e-9)) << row.what << ": the point stays ahead";
        EXPECT_LE(c.y, viewer().farDistance() * (1 + 1e-9)) << row.what;
    }
}

TEST_F(KessaWindowTest, FlyingWithAColliderStopsShortOfTheScene) {
    pellium::Event press(pellium::EventType::LeftDown, &window);
    press.x = W / 2, press.y = H / 2, press.left = 1;
    kessa::MouseFly fly(window, press, viewer(), window.scene().get());
    fly.handleEvent(press);
    for (int frame = 0; frame < 20; ++frame) {
        clockNow += 0.1;
        kessa::Stopwatch::tick();
        fly.idle();
    }
    EXPECT_GT(fly.speed(), 100);
    EXPECT_NEAR(fly.placement().position.y, -1.2, 0.01) << "a sphere of 1.2 times the near distance against the square";
}

