#include "ScrollBar.h"

#include <algorithm>

#include "gui/BorderLayout.h"
#include "gui/GuiRenderer.h"
#include "gui/MessageDest.h"
#include "gui/ScrollBarBar.h"
#include "gui/ScrollBarButton.h"

namespace pellium {

// Hears the arrow buttons: ids 1 (left) and 4 (up) scroll back by the step,
// 3 (right) and 6 (down) forward, from any value a program set.
struct ScrollBarInternals : public MessageDest {
    explicit ScrollBarInternals(ScrollBar* bar, bool vertical) : bar(bar), vertical(vertical) {}

    void message(Component*, int id, int) override {
        long long next = value;
        if (id == 1 || id == 4) {
            next = std::max<long long>(next - step, 0);
        } else if (id == 3 || id == 6) {
            next += step;
            if (bar->maxValue() >= 1)
                next = std::min<long long>(next, bar->maxValue());
        }
        value = clampedInt(next);
        bar->sendMessage(1);
    }

    ScrollBar* bar;
    bool vertical;
    int value = 0;
    int total = 10;
    int step = 1;
    ScrollBarButton* less = nullptr;
    ScrollBarButton* more = nullptr;
    ScrollBarBar* track = nullptr;
};

ScrollBar::ScrollBar(bool vertical) : internals_(new ScrollBarInternals(this, vertical)) {
    ScrollBarInternals& in = *internals_;
    setLayout(new BorderLayout);
    in.less = new ScrollBarButton(this, vertical ? WidgetState::up : WidgetState::left);
    in.more = new ScrollBarButton(this, vertical ? WidgetState::down : WidgetState::right);
    in.track = new ScrollBarBar(this);
    in.less->setMessageDest(&in, vertical ? 4 : 1);
    in.more->setMessageDest(&in, vertical ? 6 : 3);
    add(in.less, vertical ? BorderLayout::top : BorderLayout::left);
    add(in.more, vertical ? BorderLayout::bottom : BorderLayout::right);
    add(in.track, BorderLayout::centre);
    lock();
}

ScrollBar::~ScrollBar() = default;

bool ScrollBar::isVertical() const { return internals_->vertical; }
int ScrollBar::getValue() const { return internals_->value; }
void ScrollBar::setValue(int value) { internals_->value = value; }
int ScrollBar::getTotal() const { return internals_->total; }
void ScrollBar::setTotal(int total) { internals_->total = total; }
int ScrollBar::getStep() const { return internals_->step; }
void ScrollBar::setStep(int step) { internals_->step = step; }
ScrollBarButton* ScrollBar::lessButton() const { return internals_->less; }
ScrollBarButton* ScrollBar::moreButton() const { return internals_->more; }
ScrollBarBar* ScrollBar::track() const { return internals_->track; }

int ScrollBar::length() { return internals_->vertical ? getBounds().height : getBounds().width; }

// A bar squeezed below nothing has a negative length.
int ScrollBar::maxValue() { return clampedInt(std::max((long long)(internals_->total) - length(), 0LL)); }

void ScrollBar::clampValue() { internals_->value = std::clamp(internals_->value, 0, maxValue()); }

void ScrollBar::draw(Graphics& g) {
    GuiRenderer::instance()->drawBackground(g, WidgetKind::scrollTrack,
                                           internals_->vertical ? WidgetState::vertical : WidgetState::horizontal,
                                           getBounds());
    Container::draw(g);
}

ScrollBarButton::ScrollBarButton(ScrollBar* bar, int direction) : bar_(bar), direction_(direction) {
    setAutoRepeat(true);
}

void ScrollBarButton::getPreferredSize(int& width, int& height) {
    GuiMetrics m;
    GuiRenderer::instance()->getMetrics(m, WidgetKind::scrollArrow, direction_, this);
    width = m.width;
    height = m.height;
}

void ScrollBarButton::getRenderInfo(int& kind, int& state) {
    Button::getRenderInfo(kind, state);
    kind = WidgetKind::scrollArrow;
    state |= direction_;
    if (bar_->getTotal() <= bar_->length())
        state |= WidgetState::disabled;
}

}  // namespace pellium
