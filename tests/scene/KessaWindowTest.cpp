// The 3D view window on the display: its controllers driven by messages
// injected through the platform layer and by real input from the X server
// (xdotool), the engine clock on the test time source; its default scene and
// the point picked in it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

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
    void wheel(int amount) {
        platform::Message m = guitest::message(MessageType::MouseWheel, window);
        m.x = W / 2;
        m.y = H / 2;
        m.wheel = amount;
        platform::injectMessage(m);
        guitest::dispatchAll();
    }
    template <typename T>
    T* active() {
        return dynamic_cast<T*>(window.twiddler());
    }

    guitest::FakeClock clock;
    KessaWindow window;
};

}  // namespace

TEST_F(KessaWindowTest, RightDragTumblesInTheMiddleAndRollsNearTheBorder) {
    const Vector forward = viewer().axis(1);
    send(MessageType::RightButtonDown, 200, 150, 4);
    ASSERT_NE(active<MouseTwiddler>(), nullptr);
    EXPECT_EQ(active<MouseTwiddler>()->mode(), MouseTwiddler::tumble);
    EXPECT_EQ(pellium::Window::getKeyboardFocus(), &window);
    send(MessageType::MouseMove, 230, 150, 4);
    EXPECT_NEAR(degreesBetween(viewer().axis(1), forward), 10, 1e-9) << "a degree per three pixels";
    EXPECT_NEAR(viewer().position().length(), 10, 1e-9) << "about the picked point";
    EXPECT_LT(viewer().position().x, 0) << "the near side follows the pointer";
    send(MessageType::MouseMove, 200, 120, 4);
    EXPECT_NEAR(degreesBetween(viewer().axis(1), forward), 10, 1e-9);
    EXPECT_GT(viewer().position().z, 0) << "dragged down, the camera looks from above";
    send(MessageType::RightButtonUp, 200, 120, 0);
    EXPECT_EQ(window.twiddler(), nullptr);
    EXPECT_EQ(pellium::Window::getKeyboardFocus(), nullptr);

    const Vector up = viewer().axis(2), ahead = viewer().axis(1);
    send(MessageType::RightButtonDown, 5, 150, 4);
    EXPECT_EQ(active<MouseTwiddler>()->mode(), MouseTwiddler::roll) << "5 pixels from the edge";
    send(MessageType::MouseMove, 200, 5, 4);
    EXPECT_NEAR(degreesBetween(viewer().axis(1), ahead), 0, 1e-6);
    EXPECT_NEAR(degreesBetween(viewer().axis(2), up), 90, 1e-6) << "from the left to the bottom: a quarter turn";
    send(MessageType::RightButtonUp, 200, 5, 0);
}

TEST_F(KessaWindowTest, LeftDragZoomsAfterPickingAnAxisAndBothButtonsPan) {
    send(MessageType::RightButtonDown, 200, 150, 4);
    send(MessageType::LeftButtonDown, 200, 150, 5);
    EXPECT_EQ(active<MouseTwiddler>()->mode(), MouseTwiddler::pan);
    send(MessageType::MouseMove, 210, 150, 5);
    EXPECT_NEAR(viewer().position().x, -10 * viewer().pixelSize(10), 1e-9) << "the scene follows the pointer";
    send(MessageType::RightButtonUp, 210, 150, 1);
    EXPECT_EQ(active<MouseTwiddler>()->mode(), MouseTwiddler::zoom);
    const double distance = viewer().position().y, reach = viewer().position().length();
    send(MessageType::MouseMove, 225, 142, 1);
    EXPECT_EQ(active<MouseTwiddler>()->axisLock(), MouseTwiddler::undecided) << "15 pixels";
    send(MessageType::MouseMove, 235, 140, 1);
    EXPECT_EQ(active<MouseTwiddler>()->axisLock(), MouseTwiddler::horizontal) << "25 pixels across";
    send(MessageType::MouseMove, 235, 200, 1);
    EXPECT_NEAR(viewer().position().y, distance + reach * 25 / (H * 0.5), 1e-9) << "the locked axis alone counts";
    send(MessageType::LeftButtonUp, 235, 200, 0);
    EXPECT_EQ(window.twiddler(), nullptr);

    send(MessageType::RightButtonDown, 200, 150, 4);
    send(MessageType::LeftButtonDown, 200, 150, 5);
    send(MessageType::RightButtonUp, 200, 150, 1);
    send(MessageType::MouseMove, 175, 145, 1);
    EXPECT_EQ(active<MouseTwiddler>()->axisLock(), MouseTwiddler::horizontal) << "25 pixels to the left lock too";
    send(MessageType::LeftButtonUp, 175, 145, 0);
}

TEST_F(KessaWindowTest, TheWheelZoomsInBothProjectionsAndMiddlePressesFlyOnlyInPerspective) {
    wheel(120);
    EXPECT_NEAR(viewer().position().y, -13, 1e-9) << "the picked point 30% further";
    EXPECT_EQ(window.twiddler(), nullptr) << "the zoomer is done with its first frame";
    wheel(-120);
    EXPECT_NEAR(viewer().position().y, -13 * (1 - 0.18), 1e-9);

    viewer().setPerspective(false);
    viewer().setOrthoHalfHeight(2);
    wheel(-120);
    EXPECT_NEAR(viewer().orthoHalfHeight(), 1.6, 1e-9) << "towards the user: 0.8";
    wheel(120);
    EXPECT_NEAR(viewer().orthoHalfHeight(), 1.6 * 1.4, 1e-9);

    send(MessageType::MiddleButtonDown, 200, 150, 2);
    EXPECT_EQ(window.twiddler(), nullptr) << "no flying in an orthographic view";
    send(MessageType::MiddleButtonUp, 200, 150, 0);
    viewer().setPerspective(true);
    send(MessageType::MiddleButtonDown, 200, 150, 2);
    EXPECT_NE(active<kessa::MouseFly>(), nullptr);
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

TEST_F(KessaWindowTest, FlyingSpeedsUpWithTheLeftButtonAndTheRightOneStops) {
    send(MessageType::MiddleButtonDown, W / 2, H / 2, 2);
    send(MessageType::MiddleButtonUp, W / 2, H / 2, 0);
    kessa::MouseFly* fly = active<kessa::MouseFly>();
    ASSERT_NE(fly, nullptr);
    send(MessageType::LeftButtonDown, W / 2, H / 2, 1);
    const double a = 999 * std::log(2.0) * 0.1 * 0.2;
    for (int frame = 1; frame <= 3; ++frame) {
        clockNow += 0.1;
        guitest::dispatchAll();
        EXPECT_NEAR(fly->speed(), frame * a, 1e-6) << frame;
    }
    EXPECT_NEAR(viewer().position().y, -10 + (a + 2 * a + 3 * a) * 0.1, 1e-6) << "forward";
    EXPECT_NEAR(viewer().position().x, 0, 1e-9) << "the pointer at the centre steers nowhere";
    send(MessageType::RightButtonDown, W / 2, H / 2, 5);
    EXPECT_TRUE(fly->stopped());
    clockNow += 0.1;
    guitest::dispatchAll();
    EXPECT_EQ(fly->speed(), 0);
    send(MessageType::MouseMove, W / 2 + 100, H / 2, 5);
    clockNow += 0.1;
    guitest::dispatchAll();
    EXPECT_NEAR(fly->placement().heading, 360 - 100 * 0.1 * 100 * 0.4 / W, 1e-6) << "steering to the right";
    guitest::character(window, 'x');
    guitest::dispatchAll();
    EXPECT_EQ(window.twiddler(), nullptr) << "a key ends the flight";
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

TEST_F(KessaWindowTest, RealInputFromTheDisplayTumblesTheView) {
    if (std::system("command -v xdotool >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xdotool is not installed";
    int left, top, width, height;
    platform::clientRect(window.getHWND(), left, top, width, height);
    auto xdotool = [](const std::string& args) { ASSERT_EQ(std::system(("xdotool " + args).c_str()), 0) << args; };
    auto settle = [] {
        for (int i = 0; i < 20; ++i) {
            guitest::dispatchAll();
            orvel::sleepMs(10);
        }
    };
    const Vector forward = viewer().axis(1);
    xdotool("mousemove " + std::to_string(left + 200) + " " + std::to_string(top + 150) + " mousedown 3");
    settle();
    ASSERT_NE(active<MouseTwiddler>(), nullptr);
    xdotool("mousemove " + std::to_string(left + 260) + " " + std::to_string(top + 150));
    settle();
    EXPECT_NEAR(degreesBetween(viewer().axis(1), forward), 20, 1e-9);
    xdotool("mouseup 3");
    settle();
    EXPECT_EQ(window.twiddler(), nullptr);
}

TEST(KessaWindowDefaultScene, IsTheTeapotPickedWhereTheRayMeetsIt) {
    KessaWindow window;
    guitest::openAt(window, 100, 100, W, H);
    ASSERT_TRUE(window.scene());
    EXPECT_EQ(window.scene()->objects()[0]->name(), "Teapot");
    window.repaint();
    guitest::mouse(MessageType::MouseMove, window, W / 2, H / 2);
    guitest::mouse(MessageType::RightButtonDown, window, W / 2, H / 2, 4);
    guitest::dispatchAll();
    const Vector picked = window.pickPoint();
    const kessa::Bounds& b = window.scene()->bounds();
    EXPECT_LT((picked - window.viewer().position()).length(), (b.centre() - window.viewer().position()).length())
        << "on the near side of the teapot";
    for (int i = 0; i < 3; ++i) {
        EXPECT_GE(picked[i], b.min()[i] - 1e-9);
        EXPECT_LE(picked[i], b.max()[i] + 1e-9);
    }
    guitest::mouse(MessageType::RightButtonUp, window, W / 2, H / 2, 0);
    guitest::mouse(MessageType::RightButtonDown, window, 3, 3, 4);
    guitest::mouse(MessageType::RightButtonUp, window, 3, 3, 0);
    guitest::dispatchAll();
    EXPECT_EQ(window.pickPoint(), picked) << "a ray that meets nothing keeps the point";
    window.close();
    pellium::Window::destroyClosedWindows();
}
