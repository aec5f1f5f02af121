#include "ScrollPaneLayout.h"

#include <algorithm>

#include "gui/ScrollBar.h"
#include "gui/ScrollPaneInternals.h"
#include "gui/ViewPane.h"

namespace pellium {

namespace {

int preferredWidth(Component* c) {
    int w, h;
    c->getPreferredSize(w, h);
    return w;
}

int preferredHeight(Component* c) {
    int w, h;
    c->getPreferredSize(w, h);
    return h;
}

int headerHeight(ScrollPaneInternals& in) {
    ColumnHeader* header = in.columnHeader;
    if (!header->isVisible() || header->children().empty())
        return 0;
    return preferredHeight(header->children()[0].get());
}

}  // namespace

void ScrollPaneLayout::calcSize(Container&, int& width, int& height) {
    ScrollPaneInternals& in = pane_->internals();
    int viewWidth = 0, viewHeight = 0;
    in.viewPane->getPreferredSize(viewWidth, viewHeight);
    const int P = in.horizontalPolicy, V = in.verticalPolicy;
    // A view as large as an int allows asks for no more.
    if (P == ScrollPane::never || V == ScrollPane::always)
        width = clampedInt((long long)(viewWidth) + preferredWidth(in.verticalBar));
    else
        width = std::max(preferredWidth(in.horizontalBar), viewWidth);
    if (V == ScrollPane::never || P == ScrollPane::always)
        height = clampedInt((long long)(viewHeight) + preferredHeight(in.horizontalBar));
    else
        height = std::max(preferredHeight(in.verticalBar), viewHeight);
    height = clampedInt((long long)(height) + headerHeight(in));
}

void ScrollPaneLayout::layout(Container&) {
    ScrollPaneInternals& in = pane_->internals();
    if (!in.pageLooked) {
        in.page = dynamic_cast<ScrollPane::SizedPage*>(in.view.get());
        in.pageLooked = true;
    }
    int left, bottom, right, topInset;
    pane_->getInsets(left, bottom, right, topInset);
    const Rect& b = pane_->getBounds();
    const int x0 = b.x + left, y0 = b.y + bottom;
    const int W = b.width - left - right, H = b.height - bottom - topInset;
    const int top = y0 + H;
    const int hh = headerHeight(in);
    const int vw = preferredWidth(in.verticalBar), hh2 = preferredHeight(in.horizontalBar);

    int cw = 100, ch = 100;
    if (in.page) {
        cw = in.page->width();
        ch = in.page->height();
    } else if (in.view) {
        in.view->getPreferredSize(cw, ch);
    }
    auto viewSize = [&] {
        if (in.view)
            in.view->getPreferredSize(cw, ch);
    };

    const int P = in.horizontalPolicy, V = in.verticalPolicy;
    bool hShown = false, vShown = false;
    int hSpace = 0, vSpace = 0;
    if (P != ScrollPane::never && V != ScrollPane::never) {
        // Twice: a bar shown on one side can make the other side need one.
        for (int pass = 0; pass < 2; ++pass) {
            hShown = P == ScrollPane::always || cw > W - vSpace;
            hSpace = hShown ? hh2 : 0;
            vShown = V == ScrollPane::always || (long long)(ch) + hh > H - hSpace;
            vSpace = vShown ? vw : 0;
        }
    } else if (P != ScrollPane::never) {
        hShown = true;
        hSpace = hh2;
        ch = H - hh2;
    } else if (V == ScrollPane::always) {
        vShown = true;
        vSpace = vw;
        if (in.page && contentWidth_ != W - vw) {
            in.page->setWidth(std::max(W - vw, 1));
            viewSize();
        }
    } else {
        if (in.page && (W != innerWidth_ || cw != contentWidth_ || ch != contentHeight_)) {
            in.page->setWidth(W);
            viewSize();
            // Too tall: laid out again beside the vertical bar.
            if (V != ScrollPane::never && ch > H) {
                in.page->setWidth(std::max(W - vw, 1));
                viewSize();
            }
        }
        vShown = V != ScrollPane::never && ch > H;
        vSpace = vShown ? vw : 0;
        if (!in.page)
            cw = W - vSpace;
    }
    in.horizontalShown = hShown;
    in.verticalShown = vShown;

    int viewportWidth = W - vSpace, viewportHeight = H - hSpace - hh;
    if (in.columnUnit > 1)
        viewportWidth -= viewportWidth % in.columnUnit;
    if (in.rowUnit > 1)
        viewportHeight -= viewportHeight % in.rowUnit;

    // Hidden bars are placed too, so that their length bounds the values
    // keys and programs can give them.
    in.horizontalBar->setTotal(std::max(cw, 1));
    in.horizontalBar->setVisible(hShown);
    in.horizontalBar->setBounds({x0, top - hh - viewportHeight - hh2, viewportWidth, hh2});
    in.verticalBar->setTotal(std::max(ch, 1));
    in.verticalBar->setVisible(vShown);
    in.verticalBar->setBounds({x0 + viewportWidth, top - hh - viewportHeight, vw, viewportHeight});
    if (in.columnHeader->isVisible()) {
        in.columnHeader->setBounds({x0, top - hh, viewportWidth, hh});
        in.columnHeader->offset = in.horizontalBar->getValue();
    }
    in.viewPane->setBounds({x0, top - hh - viewportHeight, viewportWidth, viewportHeight});
    innerWidth_ = W;
    innerHeight_ = H;
    contentWidth_ = cw;
    contentHeight_ = ch;
}

}  // namespace pellium
