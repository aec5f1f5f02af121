#include "gui/html/TableChunk.h"

#include <algorithm>

#include "base/Debug.h"
#include "gui/Graphics.h"

namespace pellium {

TableChunk::Cell& TableChunk::slot(int row, int column) {
    if (size_t(row) >= rows_.size())
        rows_.resize(size_t(row) + 1);
    std::vector<Cell>& cells = rows_[size_t(row)];
    if (size_t(column) >= cells.size()) {
        slots_ += (long long)(column) + 1 - (long long)(cells.size());
        cells.resize(size_t(column) + 1);
    }
    return cells[size_t(column)];
}

long long TableChunk::slotsAdded(int row, int column, int rowspan, int colspan) const {
    long long added = 0;
    for (int r = row; r < row + rowspan; ++r) {
        const long long size = size_t(r) < rows_.size() ? (long long)(rows_[size_t(r)].size()) : 0;
        added += std::max(0LL, (long long)(column) + colspan - size);
    }
    return added;
}

void TableChunk::newRow(int alignment, int verticalAlignment) {
    ++row_;
    column_ = -1;
    rowAlignment_ = alignment;
    rowVerticalAlignment_ = verticalAlignment;
    if (size_t(row_) >= rows_.size())
        rows_.resize(size_t(row_) + 1);
}

void TableChunk::newCell(bool data, int rowspan, int colspan, int alignment, int verticalAlignment) {
    if (row_ < 0)
        return;
    const std::vector<Cell>& cells = rows_[size_t(row_)];
    do
        ++column_;
    while (size_t(column_) < cells.size() && !cells[size_t(column_)].free);
    if ((rowspan > 1 || colspan > 1) && slots_ + slotsAdded(row_, column_, rowspan, colspan) > maxSlots) {
        orvel::debug("HTML table: a cell spanning %d rows and %d columns would make the table too large; it spans one\n",
                     rowspan, colspan);
        rowspan = colspan = 1;
    }
    for (int r = row_; r < row_ + rowspan; ++r)
        for (int c = column_; c < column_ + colspan; ++c)
            slot(r, c).free = false;
    Cell& cell = slot(row_, column_);
    cell.present = true;
    cell.data = data;
    cell.rowspan = rowspan;
    cell.colspan = colspan;
    cell.alignment = std::int8_t(alignment > 0 ? alignment : rowAlignment_ > 0 ? rowAlignment_ : data ? alignLeft : alignCentre);
    cell.verticalAlignment = std::int8_t(verticalAlignment > 0 ? verticalAlignment : rowVerticalAlignment_ > 0 ? rowVerticalAlignment_ : 2);
    cell.content = new DocumentChunkList;
    minWidth_ = maxWidth_ = -1;
}

void TableChunk::addChunk(DocumentChunk* chunk) {
    orvel::ref_ptr<DocumentChunk> held(chunk);  // a dropped block is freed
    if (!hasCell())
        return;
    rows_[size_t(row_)][size_t(column_)].content->addChunk(chunk);
    minWidth_ = maxWidth_ = -1;
}

void TableChunk::computeWidths() {
    size_t n = 0;
    for (const std::vector<Cell>& cells : rows_)
        n = std::max(n, cells.size());
    columns_.assign(n, Column());
    for (const std::vector<Cell>& cells : rows_) {
        for (size_t c = 0; c < cells.size(); ++c) {
            const Cell& cell = cells[c];
            if (!cell.present)
                continue;
            const int span = cell.colspan;
            const int least = clampMeasure((long long)(cell.content->minimumWidth()) + 2 * padding_);
            const int most = clampMeasure((long long)(cell.content->maximumWidth()) + 2 * padding_);
            const int leastShare = least / span, mostShare = most / span;
            for (int k = 0; k < span; ++k) {
                Column& column = columns_[c + size_t(k)];
                const bool last = k == span - 1;
                column.minimum = std::max(column.minimum, last ? least - (span - 1) * leastShare : leastShare);
                column.maximum = std::max(column.maximum, last ? most - (span - 1) * mostShare : mostShare);
            }
        }
    }
    long long least = spacing_, most = spacing_;
    for (const Column& column : columns_) {
        least += column.minimum + spacing_;
        most += column.maximum + spacing_;
    }
    minWidth_ = clampMeasure(least);
    maxWidth_ = clampMeasure(most);
}

void TableChunk::shareWidth(int available) {
    const long long n = (long long)(columns_.size());
    const long long share = (long long)(available) - (n + 1) * spacing_;
    const long long even = share / n;
    long long fixed = 0, flexibleMin = 0, flexibleMax = 0;
    Column* lastFlexible = nullptr;
    for (Column& column : columns_) {
        column.fixed = column.maximum < even;
        if (column.fixed) {
            column.width = column.maximum;
            fixed += column.maximum;
        } else {
            flexibleMin += column.minimum;
            flexibleMax += column.maximum;
            lastFlexible = &column;
        }
    }
    // Fixed columns count too: flexible ones never get less than their minimum.
    if (share >= 0 && flexibleMin + fixed <= share) {
        const long long extra = share - flexibleMin - fixed;
        const long long range = flexibleMax - flexibleMin > 0 ? flexibleMax - flexibleMin : 1;
        long long given = fixed;
        for (Column& column : columns_) {
            if (column.fixed)
                continue;
            if (&column == lastFlexible) {
                column.width = clampMeasure(share - given);
            } else {
                column.width = clampMeasure(column.minimum + (long long)(column.maximum - column.minimum) * extra / range);
                given += column.width;
            }
        }
    } else {
        for (Column& column : columns_)
            column.width = column.minimum;
    }
    // Rows start again from the table's top at every layout.
    long long x = spacing_;
    for (Column& column : columns_) {
        column.x = clampMeasure(x);
        column.top = 0;
        x += column.width + spacing_;
    }
    width_ = clampMeasure(x);
}

void TableChunk::layout(const LayoutContext& context) {
    if (minWidth_ < 0)
        computeWidths();
    height_ = 0;
    width_ = spacing_;
    if (columns_.empty())
        return;
    shareWidth(context.availableWidth);
    const int p = padding_, s = spacing_;
    // The cells still growing downward, by the column they start in.
    struct Active {
        int column;
        Cell* cell;
        int remaining;
        int width = 0, height = 0;
    };
    std::vector<Active> active, ended;
    for (std::vector<Cell>& cells : rows_) {
        for (size_t c = 0; c < cells.size(); ++c)
            if (cells[c].present)
                active.push_back({int(c), &cells[c], cells[c].rowspan});
        ended.clear();
        long long lowest = 0;
        for (Active& a : active) {
            if (--a.remaining > 0)
                continue;
            long long width = -2LL * p - s;
            for (int k = a.column; k < a.column + a.cell->colspan; ++k)
                width += s + columns_[size_t(k)].width;
            a.width = clampMeasure(width);
            a.cell->content->layout({clampMeasure((long long)(a.width) - 2 * p), a.cell->alignment});
            a.height = a.cell->content->height();
            lowest = std::min(lowest, (long long)(columns_[size_t(a.column)].top) - 2 * p - a.height);
            ended.push_back(a);
        }
        if (ended.empty())
            continue;
        for (const Active& a : ended)
            a.cell->rect = {columns_[size_t(a.column)].x, clampMeasure((long long)(columns_[size_t(a.column)].top) - 2 * p - s - a.height),
                            a.width, a.height};
        for (const Active& a : ended)
            for (int k = a.column; k < a.column + a.cell->colspan; ++k)
                columns_[size_t(k)].top = clampMeasure(lowest - s);
        active.erase(std::remove_if(active.begin(), active.end(), [](const Active& a) { return a.remaining <= 0; }),
                     active.end());
        // A row whose cells all stand in columns still high up never makes the table shorter.
        height_ = std::max(height_, clampMeasure(2LL * s - lowest));
    }
}

Rect TableChunk::visitRect(const Cell& cell, const Rect& r) const {
    return {r.x + cell.rect.x + padding_, r.y + r.height + cell.rect.y + padding_, cell.rect.width, cell.rect.height};
}

bool TableChunk::visit(ChunkVisitor& visitor, const Rect& r) {
    for (std::vector<Cell>& cells : rows_)
        for (Cell& cell : cells)
            if (cell.present && !cell.content->empty() && !visitor.visit(*cell.content, visitRect(cell, r)))
                return false;
    return true;
}

void TableChunk::draw(const HTMLInfo& info, Graphics& g, const Rect& r) {
    ChunkListFuncs::draw(info, g, r);
    g.setRGBColor(0x008080);
    g.drawRect({r.x, r.y + r.height - height_, width_, height_});
    g.setRGBColor(0xFF0000);
    for (const std::vector<Cell>& cells : rows_)
        for (const Cell& cell : cells)
            if (cell.present)
                g.drawRect(visitRect(cell, r).grow(padding_));
}

void TableChunk::dump(std::string& out) const {
    // Only what differs from the defaults; each row's slots as d (a td
    // starts), h (a th starts), # (covered by a span) and . (free).
    auto attribute = [&out](const char* name, int value, int usual) {
        if (value != usual)
            out += std::string(" ") + name + "=" + std::to_string(value);
    };
    out += "<table";
    attribute("cellpadding", padding_, 1);
    attribute("cellspacing", spacing_, 1);
    out += ">\n";
    for (const std::vector<Cell>& cells : rows_) {
        out += "<tr ";
        for (const Cell& cell : cells)
            out += cell.present ? (cell.data ? 'd' : 'h') : cell.free ? '.' : '#';
        out += ">\n";
        for (const Cell& cell : cells) {
            if (!cell.present)
                continue;
            out += cell.data ? "<td" : "<th";
            attribute("rowspan", cell.rowspan, 1);
            attribute("colspan", cell.colspan, 1);
            attribute("align", cell.alignment, cell.data ? alignLeft : alignCentre);
            attribute("valign", cell.verticalAlignment, 2);
            out += ">\n";
            cell.content->dump(out);
        }
    }
    out += "</table>\n";
}

std::vector<int> TableChunk::columnWidths() const {
    std::vector<int> widths;
    for (const Column& column : columns_)
        widths.push_back(column.width);
    return widths;
}

}  // namespace pellium
