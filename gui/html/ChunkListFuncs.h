// What lists of blocks and tables share: each hands its parts, with their
// rectangles, to a visitor, and draws and hit-tests through that walk.
#pragma once

#include "gui/Rect.h"
#include "gui/html/DocumentChunk.h"

namespace pellium {

class ChunkListFuncs : public DocumentChunk {
public:
    class ChunkVisitor {
    public:
        virtual ~ChunkVisitor() = default;
        // False stops the walk.
        virtual bool visit(DocumentChunk& chunk, const Rect& r) = 0;
    };

    // Each part with its rectangle within r; false when the visitor stopped.
    virtual bool visit(ChunkVisitor& visitor, const Rect& r) = 0;
    // The parts that meet the clip.
    void draw(const HTMLInfo& info, Graphics& g, const Rect& r) override;
    // The first part that holds the point and has a glyph there.
    bool hitTest(int x, int y, const Rect& r, HitResult& result) override;
};

// Draws every part whose rectangle meets the current clip.
class ChunkRenderer : public ChunkListFuncs::ChunkVisitor {
public:
    ChunkRenderer(const HTMLInfo& info, Graphics& g) : info_(info), g_(g) {}
    bool visit(DocumentChunk& chunk, const Rect& r) override;

private:
    const HTMLInfo& info_;
    Graphics& g_;
};

// Hit-tests the parts whose rectangle holds the point; stops at the first hit.
class GlyphFinder : public ChunkListFuncs::ChunkVisitor {
public:
    GlyphFinder(int x, int y) : x_(x), y_(y) {}
    bool visit(DocumentChunk& chunk, const Rect& r) override;

    bool found = false;
    HitResult result;

private:
    int x_, y_;
};

}  // namespace pellium
