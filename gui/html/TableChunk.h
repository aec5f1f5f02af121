// A table: a grid of cells, each a list of paragraphs and tables. Columns
// are measured from the cells' narrowest and widest content, the available
// width is shared among them, and each row ends when its tallest finishing
// cell does; a cell spanning rows finishes in its last row.
#pragma once

#include <cstdint>
#include <vector>

#include "gui/html/DocumentChunkList.h"

namespace pellium {

class TableChunk : public ChunkListFuncs {
public:
    // A spanning cell may make a table at most this many slots in all; a
    // larger block is taken as a single slot.
    static constexpr int maxSlots = 65536;

    struct Cell {
        bool free = true;     // no cell covers the slot
        bool present = false; // a cell starts here
        bool data = true;     // td, not th
        std::int32_t rowspan = 1, colspan = 1;
        std::int8_t alignment = alignLeft, verticalAlignment = 2;
        orvel::ref_ptr<DocumentChunkList> content;  // cells that start here only
        Rect rect;  // the content, from the table's top-left corner, set by layout
    };

    TableChunk(int padding = 1, int spacing = 1) : padding_(padding), spacing_(spacing) {}

    int padding() const { return padding_; }
    int spacing() const { return spacing_; }
    int width() const { return width_; }

    // A tr: its defaults for the cells of the row (alignment 0 means none).
    void newRow(int alignment, int verticalAlignment);
    // A td or th at the row's next free slot, covering rowspan x colspan
    // slots; a cell before the first row is dropped. Alignments below 1 take
    // the row's, then the kind's default.
    void newCell(bool data, int rowspan, int colspan, int alignment, int verticalAlignment);
    // Whether blocks added now have a cell to go into.
    bool hasCell() const { return row_ >= 0 && column_ >= 0; }

    void layout(const LayoutContext& context) override;
    // The cells' content, the table's outline, then each cell's.
    void draw(const HTMLInfo& info, Graphics& g, const Rect& r) override;
    // Into the current cell; dropped when there is none.
    void addChunk(DocumentChunk* chunk) override;
    void dump(std::string& out) const override;
    void computeWidths() override;
    // Each cell with content, inside its padding.
    bool visit(ChunkVisitor& visitor, const Rect& r) override;

    const std::vector<std::vector<Cell>>& rows() const { return rows_; }
    // After layout: the width each column got.
    std::vector<int> columnWidths() const;

private:
    struct Column {
        int minimum = 0, maximum = 0, width = 0, x = 0, top = 0;
        bool fixed = false;
    };

    Cell& slot(int row, int column);
    // The slots a block would add to the grid.
    long long slotsAdded(int row, int column, int rowspan, int colspan) const;
    void shareWidth(int available);
    Rect visitRect(const Cell& cell, const Rect& r) const;

    int padding_, spacing_;
    int row_ = -1, column_ = -1;
    int rowAlignment_ = 0, rowVerticalAlignment_ = 2;
    std::vector<std::vector<Cell>> rows_;
    long long slots_ = 0;
    std::vector<Column> columns_;
    int width_ = 0;
};

}  // namespace pellium
