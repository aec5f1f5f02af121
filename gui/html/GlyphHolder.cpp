#include "gui/html/GlyphHolder.h"

#include <algorithm>

#include "gui/Graphics.h"

namespace pellium {

namespace {

// A floating glyph still beside the text: the margin it makes on its side
// and how much of its height the lines have not yet passed.
struct ActiveFloat {
    int margin;
    int remaining;
};

int largestRemaining(const std::vector<ActiveFloat>& floats) {
    int most = 0;
    for (const ActiveFloat& f : floats)
        most = std::max(most, f.remaining);
    return most;
}

}  // namespace

// One pass of line layout over a paragraph's words.
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
                } else if (leftMargin_ + running_ + w.width > available_ - rightMargin_) {
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
        return std::max(-y_, -deepest_);
    }

private:
    static void place(Word& w, int x, int baseline) {
        w.x = x;
        w.y = baseline;
        w.placed = true;
    }

    void endLine(bool last) {
        int ascent = 0, descent = 0, widths = 0, spaces = 0, count = 0;
        size_t lastWord = 0;
        for (size_t k = lineFirst_; count < lineCount_ && k <= lineLast_; ++k) {
            const Word& w = words_[k];
            if (w.kind != Word::text)
                continue;
            ascent = std::max(ascent, w.ascent);
            descent = std::max(descent, w.descent);
            widths += w.width;
            spaces += w.spaceWidth;
            lastWord = k;
            ++count;
        }
        if (count > 0)
            spaces -= words_[lastWord].spaceWidth;
        const int baseline = y_ - ascent;
        const int free = available_ - rightMargin_ - leftMargin_ - widths - spaces;
        int x = leftMargin_;
        if (alignment_ == alignRight)
            x += free;
        else if (alignment_ == alignCentre)
            x += free / 2;
        const bool justify = alignment_ == alignJustify && !last;
        int spaceLeft = spaces + free, gapsLeft = count - 1;
        for (size_t k = lineFirst_; count > 0 && k <= lastWord; ++k) {
            Word& w = words_[k];
            if (w.kind != Word::text)
                continue;
            place(w, x, baseline);
            x += w.width;
            if (k == lastWord)
                break;
            int gap = w.spaceWidth;
            if (justify) {
                gap = spaceLeft / gapsLeft;
                spaceLeft -= gap;
                --gapsLeft;
            }
            x += gap;
        }
        y_ = baseline - descent - 4;
        shrink(left_, leftMargin_, ascent + descent + 4);
        shrink(right_, rightMargin_, ascent + descent + 4);
        lineCount_ = 0;
        running_ = 0;
    }

    static void shrink(std::vector<ActiveFloat>& floats, int& margin, int passed) {
        for (ActiveFloat& f : floats)
            f.remaining -= passed;
        bool removed = false;
        while (!floats.empty() && floats.back().remaining < 0) {
            floats.pop_back();
            removed = true;
        }
        if (removed)
            margin = floats.empty() ? 0 : floats.back().margin;
    }

    void clear(int mode) {
        int drop = 0;
        if (mode == 1 || mode == 3)
            drop = largestRemaining(left_);
        if (mode == 2 || mode == 3)
            drop = std::max(drop, largestRemaining(right_));
        y_ -= drop;
        if (mode == 1 || mode == 3) {
            left_.clear();
            leftMargin_ = 0;
        }
        if (mode == 2 || mode == 3) {
            right_.clear();
            rightMargin_ = 0;
        }
    }

    void placePending() {
        for (size_t index : pending_) {
            Word& w = words_[index];
            const int height = w.ascent + w.descent;
            int x;
            if (glyphs_[size_t(w.first)]->floatSide() == 0) {
                leftMargin_ += w.width;
                left_.push_back({leftMargin_, height});
                x = leftMargin_ - w.width;
            } else {
                rightMargin_ += w.width;
                right_.push_back({rightMargin_, height});
                x = available_ - rightMargin_;
            }
            place(w, x, y_ - w.ascent);
            deepest_ = std::min(deepest_, y_ - height);
        }
        pending_.clear();
    }

    const std::vector<orvel::ref_ptr<HTMLGlyph>>& glyphs_;
    std::vector<Word>& words_;
    const int available_;
    int alignment_;
    int y_ = 0, deepest_ = 0;
    int leftMargin_ = 0, rightMargin_ = 0;
    std::vector<ActiveFloat> left_, right_;
    std::vector<size_t> pending_;
    size_t lineFirst_ = 0, lineLast_ = 0;
    int lineCount_ = 0, running_ = 0;
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
            int j = i;
            for (; j < n; ++j) {
                const HTMLGlyph* h = glyph(j);
                if (h->isSpace() || h->isFloating() || h->isLineBreak() || h->glyphClass() != cls)
                    break;
                w.width += h->width();
                w.ascent = std::max(w.ascent, h->ascent());
                w.descent = std::max(w.descent, h->descent());
            }
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
    height_ = LineLayout(*this, context).run();
}

void GlyphHolder::computeWidths() {
    const std::vector<Word>& all = words();
    int widest = 0, longest = 0, run = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        const Word& w = all[i];
        if (w.kind == Word::lineBreak) {
            longest = std::max(longest, run);
            run = 0;
            continue;
        }
        const int width = w.width + (i + 1 < all.size() ? w.spaceWidth : 0);
        widest = std::max(widest, width);
        run += width;
    }
    minWidth_ = widest;
    maxWidth_ = std::max(longest, run);
}

void GlyphHolder::draw(const HTMLInfo& info, Graphics& g, const Rect& r) {
    const int top = r.y + r.height;
    const Rect& clip = g.currentClip();
    for (const Word& w : words_) {
        const int y = top + w.y;
        // Underlines and link frames reach two pixels beyond the glyph box.
        if (!w.placed || y + w.ascent + 2 < clip.y || y - w.descent - 2 >= clip.y + clip.height)
            continue;
        int x = r.x + w.x;
        for (int i = w.first; i < w.end; ++i) {
            const HTMLGlyph& glyph = *glyphs_[size_t(i)];
            glyph.draw(info, g, x, y, linkOf(i) >= 0);
            x += glyph.width();
        }
        if (w.space >= 0)
            glyphs_[size_t(w.space)]->draw(info, g, x, y, linkOf(w.space) >= 0);
    }
}

bool GlyphHolder::hitTest(int x, int y, const Rect& r, HitResult& result) {
    const int px = x - r.x, py = y - (r.y + r.height);
    for (const Word& w : words_) {
        if (!w.placed || px < w.x || px >= w.x + w.width + w.spaceWidth || py < w.y || py >= w.y + w.ascent)
            continue;
        int left = w.x;
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
        if (!glyph.contains(px - (left - glyph.width()), py - w.y))
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
