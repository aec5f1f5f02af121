#include "Graphics.h"

#include <cstdio>

namespace pellium {

namespace {

bool empty(const Rect& r) { return r.width < 1 || r.height < 1; }

}  // namespace

Graphics::Graphics() {
    clips_.reserve(16);
    clips_.push_back(Rect{});
}

void Graphics::begin(Window* window, const Rect& area) {
    emptyClip_ = empty(area);
    skipped = drawn = 0;
    clips_.clear();
    clips_.push_back(area);
    attach(window);
    applyClip(area);
}

void Graphics::pushClip(const Rect& r) {
    if (clips_.size() >= 10000) {
        std::fputs("pellium::Graphics - Clip stack overflow!", stderr);
        std::fflush(stderr);
        return;
    }
    Rect top = clips_.back();
    if (r == top) {
        clips_.push_back(top);
        return;
    }
    Rect clip = intersection(r, top);
    clips_.push_back(clip);
    emptyClip_ = empty(clip);
    if (!emptyClip_ && clip != top)
        applyClip(clip);
}

void Graphics::popClip() {
    if (clips_.size() <= 1) {
        std::fputs("pellium::Graphics - Clip stack underflow!", stderr);
        std::fflush(stderr);
        return;
    }
    Rect removed = clips_.back();
    clips_.pop_back();
    const Rect& top = clips_.back();
    emptyClip_ = empty(top);
    if (!emptyClip_ && top != removed)
        applyClip(top);
}

}  // namespace pellium
