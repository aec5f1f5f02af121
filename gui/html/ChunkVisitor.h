// Walks over the blocks of a list or the cells of a table, each with its
// rectangle: drawing the ones in the clip, or finding the glyph under a point.
#pragma once

#include "gui/Rect.h"
#include "gui/html/DocumentChunk.h"

namespace pellium {

class ChunkVisitor {
public:
    virtual ~ChunkVisitor() = default;
    // False stops the walk.
    virtual bool visit(DocumentChunk& chunk, const Rect& r) = 0;
};

// Draws every block whose rectangle meets the current clip.
class ChunkRenderer : public ChunkVisitor {
public:
    ChunkRenderer(const HTMLInfo& info, Graphics& g) : info_(info), g_(g) {}
    bool visit(DocumentChunk& chunk, const Rect& r) override;

private:
    const HTMLInfo& info_;
    Graphics& g_;
};

// Hit-tests the blocks whose rectangle holds the point; stops at the first hit.
class GlyphFinder : public ChunkVisitor {
public:
    GlyphFinder(int x, int y) : x_(x), y_(y) {}
    bool visit(DocumentChunk& chunk, const Rect& r) override;

    bool found = false;
    HitResult result;

private:
    int x_, y_;
};

}  // namespace pellium
