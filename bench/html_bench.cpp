// The HTML pane with a generated page of about 1 MB (headings, justified
// paragraphs in several fonts, links and tables) in the system's fonts:
// parsing plus the first layout at 600 pixels, and laying it out again at
// another width, in milliseconds. The parse benchmark also reports the heap
// the laid-out page holds, per byte of page text. Then layout of pages of
// floating pictures at several sizes, with its order of growth, and the
// tokenizer on runs of tags that never close.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <memory>
#include <string>

#include "gui/html/HTMLPaneInternals.h"
#include "gui/html/HTMLTokenizer.h"

namespace {

using pellium::HTMLPaneInternals;

const std::string& page() {
    static const std::string text = [] {
        const char* words[] = {"lorem", "ipsum", "dolor", "sit", "amet", "consectetur", "adipiscing", "elit",
                               "sed",   "do",    "eiusmod", "tempor", "incididunt", "ut", "labore", "magna"};
        std::string s = "<html><head><title>Bench</title></head><body bgcolor=#fffff0>";
        unsigned k = 0;
        auto sentence = [&](int n) {
            for (int i = 0; i < n; ++i, ++k) {
                s += words[k * 7 % 16];
                s += ' ';
            }
        };
        for (int section = 0; s.size() < 1000000; ++section) {
            s += "<h2>Section " + std::to_string(section) + "</h2><p align=justify>";
            sentence(30);
            s += "<b>bold words</b> ";
            sentence(12);
            s += "<a href=\"page-" + std::to_string(section) + ".html\">a link to more</a> ";
            sentence(20);
            s += "<font size=+1 face=sansserif>larger text</font> <i>and italics</i> <tt>code</tt> ";
            sentence(40);
            s += "<p align=center>";
            sentence(25);
            s += "<br>";
            sentence(15);
            if (section % 3 == 0) {
                s += "<table cellpadding=2 cellspacing=1><tr><th>Name<th colspan=2>Value<tr>";
                for (int row = 0; row < 4; ++row) {
                    s += "<tr><td>";
                    sentence(2);
                    s += "<td align=right>" + std::to_string(row * 1234) + "<td>";
                    sentence(9);
                }
                s += "</table>";
            }
        }
        return s + "</body></html>";
    }();
    return text;
}

void BM_HtmlParseAndLayout(benchmark::State& state) {
    const std::string& text = page();
    size_t held = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto pane = std::make_unique<HTMLPaneInternals>();
        pane->layoutWidth = 600;
        const size_t before = mallinfo2().uordblks;
        state.ResumeTiming();
        pane->setText(text.c_str(), nullptr);
        state.PauseTiming();
        held = mallinfo2().uordblks - before;
        pane.reset();
        state.ResumeTiming();
    }
    state.counters["page_bytes"] = double(text.size());
    state.counters["heap_per_page_byte"] = double(held) / double(text.size());
}
BENCHMARK(BM_HtmlParseAndLayout)->Unit(benchmark::kMillisecond);

void BM_HtmlRelayout(benchmark::State& state) {
    HTMLPaneInternals pane;
    pane.layoutWidth = 600;
    pane.setText(page().c_str(), nullptr);
    int width = 600;
    for (auto _ : state) {
        width = width == 600 ? 450 : 600;
        pane.layoutWidth = width;
        pane.layout();
        benchmark::DoNotOptimize(pane.pageHeight());
    }
}
BENCHMARK(BM_HtmlRelayout)->Unit(benchmark::kMillisecond);

// Layout of pages of floating pictures between short words, as a series of
// sizes: the time per picture stays flat however many stand beside the lines.
void BM_HtmlFloatLayout(benchmark::State& state) {
    std::string text;
    for (int k = 0; k < state.range(0); ++k)
        text += "<img align=left>x";
    HTMLPaneInternals pane;
    pane.layoutWidth = 600;
    pane.setText(text.c_str(), nullptr);
    for (auto _ : state) {
        pane.layout();
        benchmark::DoNotOptimize(pane.pageHeight());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_HtmlFloatLayout)->RangeMultiplier(2)->Range(7500, 60000)->Unit(benchmark::kMillisecond)->Complexity();

// Tokenizing N copies of a tag that no '>' closes ("<a", or "<a \"" whose
// quote would hide one): each '<' must learn at once that it opens no tag,
// so the time grows with N, not with its square.
void BM_HtmlTokenizeUnclosed(benchmark::State& state, const char* piece) {
    std::string text;
    for (int k = 0; k < state.range(0); ++k)
        text += piece;
    for (auto _ : state) {
        pellium::HTMLTokenizer tokenizer(text.c_str());
        long tokens = 0;
        for (pellium::HTMLToken token; tokenizer.next(token);)
            ++tokens;
        benchmark::DoNotOptimize(tokens);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK_CAPTURE(BM_HtmlTokenizeUnclosed, lone_opens, "<a")
    ->RangeMultiplier(4)->Range(5000, 320000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
BENCHMARK_CAPTURE(BM_HtmlTokenizeUnclosed, quoted_opens, "<a \"")
    ->RangeMultiplier(4)->Range(5000, 320000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

}  // namespace
