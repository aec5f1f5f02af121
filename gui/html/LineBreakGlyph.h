// A forced line end, which may also move the next line below the floating
// pictures of one side or both.
#pragma once

#include "gui/html/HTMLGlyph.h"

namespace pellium {

class LineBreakGlyph : public HTMLGlyph {
public:
    enum Clear { none = 0, left = 1, right = 2, both = 3 };

    explicit LineBreakGlyph(int clear);

    int clearMode() const override { return clear_; }
    void draw(const HTMLInfo&, Graphics&, int, int, bool) const override {}
    void dump(std::string& out) const override { out += "<br>"; }

private:
    int clear_;
};

}  // namespace pellium
