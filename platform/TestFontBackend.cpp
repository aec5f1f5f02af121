#include "platform/TestFontBackend.h"

#include <algorithm>

namespace platform {

namespace {

class TestFont : public PlatformFont {
public:
    TestFont(const TextMetrics& metrics, const std::array<int, 256>& widths, bool underline)
        : metrics_(metrics), widths_(widths), underline_(underline) {}

    const TextMetrics& metrics() const override { return metrics_; }
    std::string familyName() const override { return "Test"; }

    bool charWidth(unsigned char c, int& width) override {
        if (widths_[c] == TestFontBackend::noWidth)
            return false;
        width = widths_[c];
        return true;
    }

    void drawChar(unsigned char c, GlyphCanvas& canvas, int x, int baseline) override {
        if (c < 32 || widths_[c] == TestFontBackend::noWidth)
            return;
        if (c != ' ')
            fill(canvas, x, x + widths_[c] - 1, baseline - (metrics_.ascent - metrics_.internalLeading),
                 baseline);
        if (underline_)
            fill(canvas, x, x + widths_[c], baseline + 1, baseline + 2);
    }

private:
    // Columns x0 .. x1 - 1 of rows y0 .. y1 - 1, clipped.
    static void fill(GlyphCanvas& canvas, int x0, int x1, int y0, int y1) {
        x0 = std::max(x0, 0);
        y0 = std::max(y0, 0);
        x1 = std::min(x1, canvas.width);
        y1 = std::min(y1, canvas.height);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                canvas.pixels[ptrdiff_t(y) * canvas.stride + x] = 255;
    }

    TextMetrics metrics_;
    std::array<int, 256> widths_;
    bool underline_;
};

}  // namespace

TestFontBackend::TestFontBackend() : TestFontBackend(Metrics()) {}

TestFontBackend::TestFontBackend(const Metrics& metrics)
    : metrics_(metrics), families_{"Courier", "Times", "Arial"} {
    widths_.fill(metrics.width);
}

void TestFontBackend::setWidth(unsigned char c, int width) {
    widths_[c] = width;
}

void TestFontBackend::setFamilies(std::set<std::string> families) {
    families_ = std::move(families);
}

void TestFontBackend::setRefuse(std::function<bool(const FontRequest&)> refuse) {
    refuse_ = std::move(refuse);
}

bool TestFontBackend::hasFamily(const std::string& name) {
    return families_.count(name) != 0;
}

std::unique_ptr<PlatformFont> TestFontBackend::open(const FontRequest& request) {
    requests_.push_back(request);
    if (refuse_ && refuse_(request))
        return nullptr;
    TextMetrics m;
    m.ascent = metrics_.ascent + metrics_.internalLeading;
    m.descent = metrics_.descent;
    m.internalLeading = metrics_.internalLeading;
    m.externalLeading = metrics_.externalLeading;
    m.averageCharWidth = metrics_.averageWidth;
    return std::make_unique<TestFont>(m, widths_, request.underline);
}

}  // namespace platform
