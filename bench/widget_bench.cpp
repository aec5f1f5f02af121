// Repainting an 800 x 600 window of 200 widgets (buttons, check boxes and
// radio buttons on a grid) in the default GUI font: the whole window, drawn
// and shown (the target is under 2 ms); the drawing alone; and the repaint
// after one check box changes, which draws only that widget's rectangle.
// Needs a display: run it under xvfb-run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <memory>

#include "gui/Button.h"
#include "gui/Checkbox.h"
#include "gui/RadioButton.h"
#include "gui/TextInput.h"
#include "gui/TileLayout.h"
#include "gui/Window.h"
#include "gui/gdiGraphics.h"
#include "platform/Windows.h"

namespace {

struct WidgetWindow {
    WidgetWindow() {
        auto* grid = new pellium::TileLayout;
        grid->setGaps(4, 4);
        window.setLayout(grid);
        window.setInsets(4, 4, 4, 4);
        char label[32];
        for (int i = 0; i < 200; ++i) {
            std::snprintf(label, sizeof label, "Item !%d", i);
            pellium::Component* c = i % 3 == 0   ? static_cast<pellium::Component*>(new pellium::Button(label))
                                    : i % 3 == 1 ? static_cast<pellium::Component*>(new pellium::Checkbox(label))
                                                 : new pellium::RadioButton(label);
            window.add(c, pellium::tileCell(i / 8, i % 8, 1, 1));
            if (i == 100)
                toggled = static_cast<pellium::Checkbox*>(c);
        }
        window.setBounds({-1, -1, 800, 600});
        window.open();
        window.repaint();
    }
    pellium::Window window;
    pellium::Checkbox* toggled = nullptr;
};

WidgetWindow* shared() {
    static std::unique_ptr<WidgetWindow> w(platform::videoAvailable() ? new WidgetWindow : nullptr);
    return w.get();
}

void BM_FullRepaint(benchmark::State& state) {
    WidgetWindow* w = shared();
    if (!w) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state)
        w->window.repaint();
    state.counters["drawn"] = w->window.graphics().drawn;
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMicrosecond);

void BM_FullDrawWithoutShowing(benchmark::State& state) {
    WidgetWindow* w = shared();
    if (!w) {
        state.SkipWithError("no display");
        return;
    }
    pellium::gdiGraphics g;
    const pellium::Rect& b = w->window.getBounds();
    for (auto _ : state) {
        g.begin(nullptr, {0, 0, b.width, b.height});
        w->window.paint(g);
    }
}
BENCHMARK(BM_FullDrawWithoutShowing)->Unit(benchmark::kMicrosecond);

void BM_OneWidgetChanges(benchmark::State& state) {
    WidgetWindow* w = shared();
    if (!w) {
        state.SkipWithError("no display");
        return;
    }
    for (auto _ : state) {
        w->toggled->setChecked(!w->toggled->isChecked());
        w->toggled->revalidate();
    }
    const pellium::gdiGraphics& g = w->window.graphics();
    state.counters["drawn"] = g.drawn;
    state.counters["skipped"] = g.skipped;
}
BENCHMARK(BM_OneWidgetChanges)->Unit(benchmark::kMicrosecond);

void BM_TextFieldKeystroke(benchmark::State& state) {
    if (!platform::videoAvailable()) {
        state.SkipWithError("no display");
        return;
    }
    pellium::Window window;
    auto* field = new pellium::TextInput;
    window.add(field);
    window.setBounds({-1, -1, 400, 40});
    window.open();
    pellium::Window::setKeyboardFocus(&window, field);
    const std::string text(10000, 'm');
    pellium::Event key(pellium::EventType::Key, &window);
    auto reset = [&] {
        field->setText(text.c_str());
        key.code = pellium::Key::Home;
        field->handleKey(key);
        key.code = pellium::Key::Right;
        for (int i = 0; i < 5000; ++i)
            field->handleKey(key);
        key.code = 'a';
    };
    reset();
    int typed = 0;
    for (auto _ : state) {
        field->handleKey(key);
        // The undo stack keeps a copy of the text per key: start again now and then.
        if (++typed % 1000 == 0) {
            state.PauseTiming();
            reset();
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_TextFieldKeystroke)->Unit(benchmark::kMicrosecond);

}  // namespace
