#include "TileLayout.h"

#include <algorithm>
#include <vector>

#include "gui/Container.h"

namespace pellium {

struct TileLayoutInternals {
    int columnGap = 2, rowGap = 2;
    bool equalRows = true;
    int rows = 0, columns = 0;
    std::vector<int> constraints;  // one per child added
    std::vector<int> rowAt, columnAt;  // positions from the top and from the left
};

namespace {

struct Cell {
    int row, column, columnSpan, rowSpan;
};

Cell cellOf(int word) {
    unsigned u = unsigned(word);
    return {int(u >> 24), int(u >> 16 & 0xFF), int(u >> 8 & 0xFF), int(u & 0xFF)};
}

}  // namespace

TileLayout::TileLayout() : internals_(new TileLayoutInternals) {}
TileLayout::~TileLayout() = default;

void TileLayout::setGaps(int columnGap, int rowGap) {
    internals_->columnGap = columnGap;
    internals_->rowGap = rowGap;
}

void TileLayout::setEqualRowHeights(bool equal) { internals_->equalRows = equal; }

void TileLayout::addConstraint(Component*, int constraint) {
    TileLayoutInternals& in = *internals_;
    // The grid only grows: a default cell added after placed ones must not
    // shrink it below the cells already named.
    if (constraint < 0)
        constraint = tileCell(0, 0, 1, 1);
    Cell c = cellOf(constraint);
    in.constraints.push_back(constraint);
    in.rows = std::max(in.rows, c.row + c.rowSpan);
    in.columns = std::max(in.columns, c.column + c.columnSpan);
}

void TileLayout::removeAll() { internals_->constraints.clear(); }

void TileLayout::calcSize(Container& container, int& width, int& height) {
    TileLayoutInternals& in = *internals_;
    const auto& children = container.children();
    int l, b, r, t;
    container.getInsets(l, b, r, t);
    if (in.constraints.empty()) {
        width = 10 + l + r;
        height = 10 + b + t;
        return;
    }
    if (in.constraints.size() != children.size()) {
        width = height = 0;
        for (auto& child : children) {
            int w, h;
            child->getPreferredSize(w, h);
            width = std::max(width, w);
            height = std::max(height, h);
        }
        width += l + r;
        height += b + t;
        return;
    }
    std::vector<int> rowHeight(size_t(in.rows) + 1, 0), columnWidth(size_t(in.columns) + 1, 0);
    int tallestShare = 0;
    for (size_t i = 0; i < children.size(); ++i) {
        Cell c = cellOf(in.constraints[i]);
        if (c.columnSpan == 0 || c.rowSpan == 0)
            continue;
        int w, h;
        children[i]->getPreferredSize(w, h);
        for (int k = c.column; k < c.column + c.columnSpan; ++k)
            columnWidth[size_t(k)] = std::max(columnWidth[size_t(k)], w / c.columnSpan);
        for (int k = c.row; k < c.row + c.rowSpan; ++k)
            rowHeight[size_t(k)] = std::max(rowHeight[size_t(k)], h / c.rowSpan);
        tallestShare = std::max(tallestShare, h / c.rowSpan);
    }
    if (in.equalRows)
        std::fill(rowHeight.begin(), rowHeight.begin() + in.rows, tallestShare);
    in.columnAt.assign(size_t(in.columns) + 1, 0);
    in.rowAt.assign(size_t(in.rows) + 1, 0);
    for (int k = 0; k < in.columns; ++k)
        in.columnAt[size_t(k) + 1] = in.columnAt[size_t(k)] + columnWidth[size_t(k)] + in.columnGap;
    for (int k = 0; k < in.rows; ++k)
        in.rowAt[size_t(k) + 1] = in.rowAt[size_t(k)] + rowHeight[size_t(k)] + in.rowGap;
    width = in.columnAt[size_t(in.columns)] - in.columnGap + l + r;
    height = in.rowAt[size_t(in.rows)] - in.rowGap + b + t;
}

void TileLayout::layout(Container& container) {
    TileLayoutInternals& in = *internals_;
    int w, h;
    calcSize(container, w, h);
    int l, b, r, t;
    container.getInsets(l, b, r, t);
    const Rect bounds = container.getBounds();
    const int innerTop = bounds.y + bounds.height - t;
    const auto& children = container.children();
    if (in.constraints.size() != children.size()) {
        // Without a cell for each child, all stand at the top-left inner corner.
        for (auto& child : children) {
            child->getPreferredSize(w, h);
            child->setBounds({bounds.x + l, innerTop - h, w, h});
        }
        return;
    }
    for (size_t i = 0; i < children.size(); ++i) {
        Cell c = cellOf(in.constraints[i]);
        if (c.columnSpan == 0 || c.rowSpan == 0)
            continue;
        children[i]->getPreferredSize(w, h);
        const int cellHeight = in.rowAt[size_t(c.row + c.rowSpan)] - in.rowGap - in.rowAt[size_t(c.row)];
        const int cellBottom = innerTop - in.rowAt[size_t(c.row + c.rowSpan)] + in.rowGap;
        children[i]->setBounds({bounds.x + l + in.columnAt[size_t(c.column)], cellBottom + (cellHeight - h) / 2, w, h});
    }
}

}  // namespace pellium
