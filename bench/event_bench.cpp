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

// A pass of the loop that finds nothing to do, without the idle sleep; with
// the system calls it makes on average (where the kernel lets them be counted).
void BM_EmptyLoopPass(benchmark::State& state) {
    pellium::Window& window = benchWindow();
    if (!window.isOpen()) {
        state.SkipWithError("no display");
        return;
    }
    pellium::Event e;
    pellium::IdleThing nothing;
    SyscallCount kernel;
    long long before = kernel.calls();
    for (auto _ : state)
        benchmark::DoNotOptimize(pellium::getNextEvent(e, &nothing));
    if (kernel.available())
        state.counters["syscalls/pass"] = double(kernel.calls() - before) / double(state.iterations());
}
BENCHMARK(BM_EmptyLoopPass);

}  // namespace
