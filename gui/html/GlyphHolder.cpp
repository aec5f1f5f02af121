#include "gui/html/GlyphHolder.h"

#include <algorithm>

#include "gui/Graphics.h"

namespace pellium {

// One pass of line layout over a paragraph's words. Sums run in 64 bits and
// what is kept is held within the measures' range, however tall or wide the
// glyphs and however many.
class GlyphHolder::LineLayout {
public:
    LineLayout(GlyphHolder& p, const LayoutContext& context)
        : glyphs_(p.glyphs_), words_(p.words_), available_(context.availableWidth) {
        alignment_ = p.alignment_ >= alignLeft && p.alignment_ <= alignJustify ? p.alignment_ : context.alignment;
    }

    // The paragraph's height, floats that reach below the last line included.
    int run() {
        for (size_t i = 0; i < words_.size(); ++i) {
            const Word& w = words_[i];
            if (w.kind == Word::floating) {
                pending_.push_back(i);
            } else if (w.kind == Word::lineBreak) {
                endLine(false);
                clear(glyphs_[size_t(w.first)]->clearMode());
            } else {
                if (lineCount_ == 0) {
                    placePending();
                } else if (left_.margin + running_ + w.width > available_ - right_.margin) {
                    endLine(false);
                    placePending();
                }
                if (lineCount_++ == 0)
                    lineFirst_ = i;
                lineLast_ = i;
                running_ += w.width + w.spaceWidth;
            }
        }
        endLine(true);
        placePending();
        return clampMeasure(std::max(-y_, -deepest_));
    }
    long long floatVisits() const { return left_.visits + right_.visits; }

private:
    // The floating glyphs still beside the text on one side, oldest first,
    // each with the margin it makes and how far down the lines have to pass
    // before it is behind them. Lines count what they pass once, so a line
    // costs the same however many floats stand beside it.
    struct Side {
        struct Float {
            long long margin, end;
        };
        std::vector<Float> floats;
        long long margin = 0;
        // Floats looked at while walking the list.
        long long visits = 0;

        // How much of the tallest float the lines have still to pass.
        long long largestRemaining(long long passed) {
            long long most = 0;
            for (const Float& f : floats)
                most = std::max(most, f.end - passed);
            visits += (long long)(floats.size());
            return most;
        }
        // From the newest end, floats the lines have passed are dropped; the
        // margin becomes the newest remaining one's.
        void linesPassed(long long passed) {
            bool removed = false;
            while (!floats.empty()) {
                ++visits;
                if (floats.back().end >= passed)
                    break;
                floats.pop_back();
                removed = true;
            }
            if (removed)
                margin = floats.empty() ? 0 : floats.back().margin;
        }
        void clear() {
            floats.clear();
            margin = 0;
        }
    };

    static void place(Word& w, long long x, long long baseline) {
        w.x = clampMeasure(x);
        w.y = clampMeasure(baseline);
        w.placed = true;
    }

    void endLine(bool last) {
        long long ascent = 0, descent = 0, widths = 0, spaces = 0;
        int count = 0;
        size_t lastWord = 0;
        for (size_t k = lineFirst_; count < lineCount_ && k <= lineLast_; ++k) {
            const Word& w = words_[k];
            if (w.kind != Word::text)
                continue;
            ascent = std::max<long long>(ascent, w.ascent);
            descent = std::max<long long>(descent, w.descent);
            widths += w.width;
            spaces += w.spaceWidth;
            lastWord = k;
            ++count;
        }
        if (count > 0)
            spaces -= words_[lastWord].spaceWidth;
        const long long baseline = y_ - ascent;
        const long long free = available_ - right_.margin - left_.margin - widths - spaces;
        long long x = left_.margin;
        if (alignment_ == alignRight)
            x += free;
        else if (alignment_ == alignCentre)
            x += free / 2;
        const bool justify = alignment_ == alignJustify && !last;
        long long spaceLeft = spaces + free, gapsLeft = count - 1;
        for (size_t k = lineFirst_; count > 0 && k <= lastWord; ++k) {
            Word& w = words_[k];
            if (w.kind != Word::text)
                continue;
            place(w, x, baseline);
            x += w.width;
            if (k == lastWord)
                break;
            long long gap = w.spaceWidth;
            if (justify) {
                gap = spaceLeft / gapsLeft;
                spaceLeft -= gap;
                --gapsLeft;
            }
            x += gap;
        }
        y_ = baseline - descent - 4;
        passed_ += ascent + descent + 4;
        left_.linesPassed(passed_);
        right_.linesPassed(passed_);
        lineCount_ = 0;
        running_ = 0;
    }

    void clear(int mode) {
        long long drop = 0;
        if (mode == 1 || mode == 3)
            drop = left_.largestRemaining(passed_);
        if (mode == 2 || mode == 3)
            drop = std::max(drop, right_.largestRemaining(passed_));
        y_ -= drop;
        if (mode == 1 || mode == 3)
            left_.clear();
        if (mode == 2 || mode == 3)
            right_.clear();
    }

    void placePending() {
        for (size_t index : pending_) {
            Word& w = words_[index];
            const long long height = (long long)(w.ascent) + w.descent;
            Side& side = glyphs_[size_t(w.first)]->floatSide() == 0 ? left_ : right_;
            side.margin = clampMeasure(side.margin + w.width);
            side.floats.push_back({side.margin, passed_ + height});
            place(w, &side == &left_ ? side.margin - w.width : available_ - side.margin, y_ - w.ascent);
            deepest_ = std::min(deepest_, y_ - height);
        }
        pending_.clear();
    }

    const std::vector<orvel::ref_ptr<HTMLGlyph>>& glyphs_;
    std::vector<Word>& words_;
    const long long available_;
    int alignment_;
    long long y_ = 0, deepest_ = 0, passed_ = 0;
    Side left_, right_;
    std::vector<size_t> pending_;
    size_t lineFirst_ = 0, lineLast_ = 0;
    int lineCount_ = 0;
    long long running_ = 0;
};

void GlyphHolder::addGlyph(HTMLGlyph* glyph, int link) {
    if (glyph->isSpace() && (glyphs_.empty() || glyphs_.back()->isSpace() || glyphs_.back()->isLineBreak()))
        return;
    if (glyph->isLineBreak()) {
        while (!glyphs_.empty() && glyphs_.back()->isSpace())
            glyphs_.pop_back();
        while (!links_.empty() && links_.back().first >= int(glyphs_.size()))
            links_.pop_back();
    }
    if (links_.empty() ? link >= 0 : links_.back().link != link)
        links_.push_back({int(glyphs_.size()), link});
    glyphs_.emplace_back(glyph);
    wordsValid_ = false;
    minWidth_ = maxWidth_ = -1;
}

void GlyphHolder::finish() {
    glyphs_.shrink_to_fit();
    links_.shrink_to_fit();
}

int GlyphHolder::linkOf(int i) const {
    auto after = std::upper_bound(links_.begin(), links_.end(), i, [](int n, const LinkRun& r) { return n < r.first; });
    return after == links_.begin() ? -1 : (after - 1)->link;
}

const std::vector<GlyphHolder::Word>& GlyphHolder::words() {
    if (!wordsValid_)
        buildWords();
    return words_;
}

void GlyphHolder::buildWords() {
    words_.clear();
    const int n = int(glyphs_.size());
    auto glyph = [this](int i) { return glyphs_[size_t(i)].get(); };
    int i = 0;
    for (;;) {
        while (i < n && glyph(i)->isSpace())
            ++i;
        if (i >= n)
            break;
        Word w;
        w.first = i;
        const HTMLGlyph* g = glyph(i);
        if (g->isFloating() || g->isLineBreak()) {
            w.kind = g->isFloating() ? Word::floating : Word::lineBreak;
            w.end = i + 1;
            w.width = g->width();
            w.ascent = g->ascent();
            w.descent = g->descent();
        } else {
            const int cls = g->glyphClass();
            long long width = 0;
            int j = i;
            for (; j < n; ++j) {
                const HTMLGlyph* h = glyph(j);
                if (h->isSpace() || h->isFloating() || h->isLineBreak() || h->glyphClass() != cls)
                    break;
                width += h->width();
                w.ascent = std::max(w.ascent, h->ascent());
                w.descent = std::max(w.descent, h->descent());
            }
            w.width = clampMeasure(width);
            w.end = j;
            // Floating glyphs, and spaces of no width, between the word and its space are passed over.
            for (int k = j; k < n; ++k) {
                const HTMLGlyph* h = glyph(k);
                if (h->isSpace() && h->width() != 0) {
                    w.space = k;
                    w.spaceWidth = h->width();
                    break;
                }
                if (!h->isFloating() && !h->isSpace())
                    break;
            }
        }
        words_.push_back(w);
        i = w.end;
    }
    words_.shrink_to_fit();
    wordsValid_ = true;
}

void GlyphHolder::layout(const LayoutContext& context) {
    words();
    for (Word& w : words_)
        w.placed = false;
    LineLayout lines(*this, context);
    height_ = lines.run();
    floatVisits_ = lines.floatVisits();
}

void GlyphHolder::computeWidths() {
    const std::vector<Word>& all = words();
    long long widest = 0, longest = 0, run = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        const Word& w = all[i];
        if (w.kind == Word::lineBreak) {
            longest = std::max(longest, run);
            run = 0;
            continue;
        }
        const long long width = (long long)(w.width) + (i + 1 < all.size() ? w.spaceWidth : 0);
        widest = std::max(widest, width);
        run += width;
    }
    minWidth_ = clampMeasure(widest);
    maxWidth_ = clampMeasure(std::max(longest, run));
}

void GlyphHolder::draw(const HTMLInfo& info, Graphics& g, const Rect& r) {
    const int top = r.y + r.height;
    const Rect& clip = g.currentClip();
    for (const Word& w : words_) {
        const int y = top + w.y;
        // Underlines and link frames reach two pixels beyond the glyph box.
        if (!w.placed || y + w.ascent + 2 < clip.y || y - w.descent - 2 >= clip.y + clip.height)
            continue;
        // Glyphs wholly left of the clip are passed over and the word ends
        // at its right (a glyph leans left by less than its height), so the
        // pen of a word wider than any window stays in range.
        const long long right = (long long)(clip.x) + clip.width + w.ascent + w.descent;
        long long x = (long long)(r.x) + w.x;
        auto drawGlyph = [&](int i) {
            const HTMLGlyph& glyph = *glyphs_[size_t(i)];
            if (x + glyph.width() + 2 >= clip.x)
                glyph.draw(info, g, int(x), y, linkOf(i) >= 0);
            x += glyph.width();
        };
        for (int i = w.first; i < w.end && x < right; ++i)
            drawGlyph(i);
        if (w.space >= 0 && x < right)
            drawGlyph(w.space);
    }
}

bool GlyphHolder::hitTest(int x, int y, const Rect& r, HitResult& result) {
    const int px = x - r.x, py = y - (r.y + r.height);
    for (const Word& w : words_) {
        if (!w.placed || px < w.x || px >= w.x + w.width + w.spaceWidth || py < w.y || py >= w.y + w.ascent)
            continue;
        long long left = w.x;
        auto test = [&](int i) {
            const HTMLGlyph& glyph = *glyphs_[size_t(i)];
            const bool inBox = px >= left && px < left + glyph.width() && py < w.y + glyph.ascent();
            left += glyph.width();
            return inBox;
        };
        int hit = -1;
        for (int i = w.first; hit < 0 && i < w.end; ++i)
            if (test(i))
                hit = i;
        if (hit < 0 && w.space >= 0 && test(w.space))
            hit = w.space;
        if (hit < 0)
            continue;
        const HTMLGlyph& glyph = *glyphs_[size_t(hit)];
        if (!glyph.contains(int(px - (left - glyph.width())), py - w.y))
            return false;
        result.glyph = &glyph;
        result.link = linkOf(hit);
        return true;
    }
    return false;
}

void GlyphHolder::dump(std::string& out) const {
    // A link's glyphs between "{n:" and "}".
    int link = -1;
    for (int i = 0; i < int(glyphs_.size()); ++i) {
        if (linkOf(i) != link) {
            if (link >= 0)
                out += '}';
            link = linkOf(i);
            if (link >= 0)
                out += '{' + std::to_string(link) + ':';
        }
        glyphs_[size_t(i)]->dump(out);
    }
    out += link >= 0 ? "}\n" : "\n";
}

}  // namespace pellium
