#include "gui/html/DocumentChunkList.h"

#include <algorithm>

#include "gui/Graphics.h"

namespace pellium {

void DocumentChunk::addGlyph(HTMLGlyph*, int) {
    throw 666;
}

void DocumentChunk::addChunk(DocumentChunk*) {
    throw 666;
}

void ChunkListFuncs::draw(const HTMLInfo& info, Graphics& g, const Rect& r) {
    ChunkRenderer renderer(info, g);
    visit(renderer, r);
}

bool ChunkListFuncs::hitTest(int x, int y, const Rect& r, HitResult& result) {
    GlyphFinder finder(x, y);
    visit(finder, r);
    if (finder.found)
        result = finder.result;
    return finder.found;
}

bool ChunkRenderer::visit(DocumentChunk& chunk, const Rect& r) {
    if (!g_.clipIsEmpty() && intersects(r, g_.currentClip()))
        chunk.draw(info_, g_, r);
    return true;
}

bool GlyphFinder::visit(DocumentChunk& chunk, const Rect& r) {
    if (r.contains(x_, y_) && chunk.hitTest(x_, y_, r, result)) {
        found = true;
        return false;
    }
    return true;
}

void DocumentChunkList::layout(const LayoutContext& context) {
    long long height = 0;
    for (const orvel::ref_ptr<DocumentChunk>& chunk : chunks_) {
        chunk->layout(context);
        height += chunk->spaceAbove() + chunk->height();
    }
    height_ = clampMeasure(height);
}

void DocumentChunkList::addChunk(DocumentChunk* chunk) {
    chunk->resetMeasures();
    chunks_.emplace_back(chunk);
    minWidth_ = maxWidth_ = -1;
}

void DocumentChunkList::dump(std::string& out) const {
    for (const orvel::ref_ptr<DocumentChunk>& chunk : chunks_)
        chunk->dump(out);
}

void DocumentChunkList::computeWidths() {
    minWidth_ = maxWidth_ = 0;
    for (const orvel::ref_ptr<DocumentChunk>& chunk : chunks_) {
        minWidth_ = std::max(minWidth_, chunk->minimumWidth());
        maxWidth_ = std::max(maxWidth_, chunk->maximumWidth());
    }
}

bool DocumentChunkList::visit(ChunkVisitor& visitor, const Rect& r) {
    long long top = (long long)(r.y) + r.height;
    for (const orvel::ref_ptr<DocumentChunk>& chunk : chunks_) {
        top -= chunk->spaceAbove() + chunk->height();
        if (!visitor.visit(*chunk, {r.x, clampMeasure(top), r.width, chunk->height()}))
            return false;
    }
    return true;
}

void DocumentChunkList::clear() {
    chunks_.clear();
    height_ = 0;
    minWidth_ = maxWidth_ = -1;
}

}  // namespace pellium
