#include "ScrollBarBar.h"

#include <algorithm>
#include <cmath>

#include "gui/GuiRenderer.h"
#include "gui/ScrollBar.h"

namespace pellium {

ScrollBarBar::ScrollBarBar(ScrollBar* bar) : bar_(bar) {}

ScrollBarBar::~ScrollBarBar() = default;

void ScrollBarBar::getPreferredSize(int& width, int& height) {
    if (!bar_) {
        width = height = 16;
        return;
    }
    GuiMetrics m;
    GuiRenderer::instance()->getMetrics(m, WidgetKind::scrollThumb,
                                        bar_->isVertical() ? WidgetState::vertical : WidgetState::horizontal, this);
    width = minimumWidth_ = m.width;
    height = minimumHeight_ = m.height;
}

double ScrollBarBar::pixelsPerUnit() const { return bar_->isVertical() ? pixelsPerUnitY_ : pixelsPerUnitX_; }

bool ScrollBarBar::placeThumb() {
    int w, h;
    getPreferredSize(w, h);
    bar_->clampValue();
    const int total = bar_->getTotal(), length = bar_->length();
    if (total <= length) {
        thumb_ = {};
        return false;
    }
    const Rect& track = getBounds();
    const bool vertical = bar_->isVertical();
    const int trackLength = vertical ? track.height : track.width;
    const int smallest = vertical ? minimumHeight_ : minimumWidth_;
    // Never longer than the track, even when the track is shorter than the
    // smallest thumb: the free length then stays 0, not negative.
    const int size = std::min(std::max(int((long long)(length) * trackLength / total), smallest), std::max(trackLength, 0));
    const int free = trackLength - size;
    const double ppu = free > 0 ? double(free) / (double(total) - length) : 0.0;
    const int offset = int(bar_->getValue() * ppu + 0.5);
    if (vertical) {
        pixelsPerUnitY_ = ppu;
        thumb_ = {track.x, track.y + track.height - offset - size, minimumWidth_, size};
    } else {
        pixelsPerUnitX_ = ppu;
        thumb_ = {track.x + offset, track.y, size, minimumHeight_};
    }
    return true;
}

void ScrollBarBar::draw(Graphics& g) {
    if (!placeThumb())
        return;
    const int state = !isEnabled() ? WidgetState::disabled
                      : dragging_  ? WidgetState::pressed
                      : thumbHot_  ? WidgetState::hot
                                   : 0;
    GuiRenderer::instance()->drawBackground(
        g, WidgetKind::scrollThumb, state | (bar_->isVertical() ? WidgetState::vertical : WidgetState::horizontal),
        thumb_);
}

void ScrollBarBar::handleEvent(const Event& event) {
    switch (event.type) {
    case EventType::Enter:
        inside_ = true;
        break;
    case EventType::Leave:
        inside_ = false;
        thumbHot_ = false;
        bar_->revalidate();
        break;
    case EventType::Move:
        if (dragging_) {
            drag(event.x, event.y);
            break;
        }
        lastX_ = event.x;
        lastY_ = event.y;
        thumbHot_ = placeThumb() && thumb_.contains(event.x, event.y);
        bar_->revalidate();
        break;
    case EventType::LeftDown:
        if (!placeThumb())
            break;
        lastX_ = event.x;
        lastY_ = event.y;
        if (thumb_.contains(event.x, event.y)) {
            bar_->sendMessage(0);
            dragging_ = true;
            setFocus();
            dragX_ = event.x;
            dragY_ = event.y;
            dragValue_ = bar_->getValue();
            bar_->revalidate();
        } else {
            if (bar_->isVertical())
                pagingDirection_ = event.y >= thumb_.y + thumb_.height ? WidgetState::up : WidgetState::down;
            else
                pagingDirection_ = event.x >= thumb_.x + thumb_.width ? WidgetState::right : WidgetState::left;
            paging_ = true;
            setFocus();
            lastRepeat_ = interval_ = -1;
            startUpdates(this);
        }
        break;
    case EventType::LeftUp:
        if (dragging_) {
            dragging_ = false;
            releaseFocus();
            bar_->revalidate();
            bar_->sendMessage(2);
        } else if (paging_) {
            paging_ = false;
            releaseFocus();
            stopUpdates(this);
        }
        break;
    default:
        break;
    }
}

void ScrollBarBar::drag(int x, int y) {
    const int tolerance = GuiRenderer::instance()->thumbDragTolerance();
    const Rect& b = bar_->getBounds();
    const bool vertical = bar_->isVertical();
    const bool inBand = vertical ? x >= b.x - tolerance && x <= b.x + b.width + tolerance
                                 : y >= b.y - tolerance && y <= b.y + b.height + tolerance;
    double value = dragValue_;
    const double ppu = pixelsPerUnit();
    // A thumb that fills its track cannot be dragged anywhere. On a long
    // page a pixel is many values: the value is brought into range before
    // it is made an int.
    if (inBand && ppu > 0)
        value = dragValue_ + std::trunc(double(vertical ? dragY_ - y : x - dragX_) / ppu);
    bar_->setValue(int(std::clamp(value, 0.0, double(bar_->maxValue()))));
    bar_->revalidate();
    bar_->sendMessage(1);
}

bool ScrollBarBar::thumbReachedPointer() const {
    switch (pagingDirection_) {
    case WidgetState::up:
        return lastY_ < thumb_.y + thumb_.height;
    case WidgetState::down:
        return lastY_ >= thumb_.y;
    case WidgetState::right:
        return lastX_ < thumb_.x + thumb_.width;
    default:
        return lastX_ >= thumb_.x;
    }
}

bool ScrollBarBar::update() {
    if (!paging_ || !inside_)
        return false;
    const double now = eventTime();
    if (lastRepeat_ >= 0 && now < lastRepeat_ + interval_)
        return false;
    interval_ = lastRepeat_ < 0 ? 0.5 : 0.05;
    lastRepeat_ = now;
    // One page per repeat, so that the user sees each one.
    if (!placeThumb() || thumbReachedPointer())
        return false;
    const bool back = pagingDirection_ == WidgetState::up || pagingDirection_ == WidgetState::left;
    const int before = bar_->getValue();
    bar_->setValue(std::clamp(before + (back ? -bar_->length() : bar_->length()), 0, bar_->maxValue()));
    if (bar_->getValue() == before)
        return false;
    bar_->revalidate();
    bar_->sendMessage(1);
    return true;
}

}  // namespace pellium
