// The toolkit's input path and its idle pass, on a real window (run it on a
// display, Xvfb will do).
#include <benchmark/benchmark.h>

#include "bench/SyscallCount.h"
#include "gui/EventQueue.h"
#include "gui/Idler.h"
#include "gui/Window.h"
#include "platform/MessageBox.h"
#include "platform/Windows.h"

namespace {

// One open window, active, with the pointer parked elsewhere.
pellium::Window& benchWindow() {
    static pellium::Window* window = [] {
        platform::setMessageBoxRecording(true);
        platform::ScreenMetrics s = platform::screenMetrics();
        platform::moveCursor(s.width - 1, s.height - 1);
        auto* w = new pellium::Window;
        w->setBounds({20, 20, 400, 300});
        w->open();
        platform::Message m;
        m.type = platform::MessageType::ActivateApp;
        m.window = w->getHWND();
        m.activate = true;
        platform::injectMessage(m);
        pellium::Event e;
        pellium::IdleThing nothing;
        for (int i = 0; i < 100; ++i)
            if (pellium::getNextEvent(e, &nothing))
                pellium::dispatchEvent(e);
        return w;
    }();
    return *window;
}

// Mouse moves through the window procedure, the queue and the dispatch into
// the window's routing, a thousand queued at a time.
void BM_MouseMovesThroughQueueAndDispatch(benchmark::State& state) {
    pellium::Window& window = benchWindow();
    if (!window.isOpen()) {
        state.SkipWithError("no display");
        return;
    }
    platform::Message m;
    m.type = platform::MessageType::MouseMove;
    m.window = window.getHWND();
    pellium::Event e;
    pellium::IdleThing nothing;
    int x = 1;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) {
            m.x = x;
            m.y = 1 + (i & 127);
            x = x % 300 + 1;
            platform::injectMessage(m);
        }
        for (int i = 0; i < 1000; ++i) {
            pellium::getNextEvent(e, &nothing);
            pellium::dispatchEvent(e);
        }
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_MouseMovesThroughQueueAndDispatch)->Iterations(1000);

// A pass of the loop that finds nothing to do, without the idle sleep; then
// the system calls a pass makes on average, over a run of passes of its own
// (a traced call is slow).
void BM_EmptyLoopPass(benchmark::State& state) {
    pellium::Window& window = benchWindow();
    if (!window.isOpen()) {
        state.SkipWithError("no display");
        return;
    }
    pellium::Event e;
    pellium::IdleThing nothing;
    for (auto _ : state)
        benchmark::DoNotOptimize(pellium::getNextEvent(e, &nothing));
    SyscallCount kernel;
    if (!kernel.available()) {
        state.SetLabel("system calls not counted: the thread cannot be traced");
        return;
    }
    constexpr int counted = 100000;
    const long long before = kernel.calls();
    for (int i = 0; i < counted; ++i)
        benchmark::DoNotOptimize(pellium::getNextEvent(e, &nothing));
    state.counters["syscalls/pass"] = double(kernel.calls() - before) / counted;
}
BENCHMARK(BM_EmptyLoopPass);

}  // namespace
