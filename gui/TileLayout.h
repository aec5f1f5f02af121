// A grid of rows (counted from the top) and columns; each child's constraint
// names its cell and spans (tileCell). A child stands at the cell's left,
// centred vertically, at its preferred size.
#pragma once

#include <memory>

#include "gui/LayoutManager.h"

namespace pellium {

struct TileLayoutInternals;

// The constraint word of a cell: row, column, column span, row span, from the
// highest byte down.
constexpr int tileCell(int row, int column, int columnSpan, int rowSpan) {
    return int(unsigned(row) << 24 | unsigned(column) << 16 | unsigned(columnSpan) << 8 | unsigned(rowSpan));
}

class TileLayout : public LayoutManager {
public:
    TileLayout();
    ~TileLayout() override;

    void calcSize(Container& container, int& width, int& height) override;
    void layout(Container& container) override;
    // A negative constraint is the one cell (0, 0).
    void addConstraint(Component* child, int constraint) override;
    void removeAll() override;

    void setGaps(int columnGap, int rowGap);
    // Every row as high as the highest (the default).
    void setEqualRowHeights(bool equal);

private:
    std::unique_ptr<TileLayoutInternals> internals_;
};

}  // namespace pellium
