// Blocks stacked top to bottom: the document itself and every table cell's
// content. Its height is the sum of its blocks'; its widths are the largest
// of theirs.
#pragma once

#include <vector>

#include "gui/html/ChunkListFuncs.h"

namespace pellium {

class DocumentChunkList : public ChunkListFuncs {
public:
    void layout(const LayoutContext& context) override;
    // The block starts unmeasured.
    void addChunk(DocumentChunk* chunk) override;
    void dump(std::string& out) const override;
    void computeWidths() override;
    // Each block with its rectangle: the list's x and width, stacked down from r's top.
    bool visit(ChunkVisitor& visitor, const Rect& r) override;

    bool empty() const { return chunks_.empty(); }
    const std::vector<orvel::ref_ptr<DocumentChunk>>& chunks() const { return chunks_; }
    void clear();

private:
    std::vector<orvel::ref_ptr<DocumentChunk>> chunks_;
};

}  // namespace pellium
