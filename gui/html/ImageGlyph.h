// A picture in the text, with blank space around it: hspace pixels on its
// left and right, vspace below and above. A floating picture leaves the line
// and stands at the left or right margin while the text flows beside it.
#pragma once

#include "gui/gl/Image.h"
#include "gui/html/HTMLGlyph.h"

namespace pellium {

class ImageGlyph : public HTMLGlyph {
public:
    enum Side { left = 0, right = 1 };

    ImageGlyph(const Image& image, bool floating, int side, int hspace, int vspace);

    const Image& image() const { return image_; }
    int floatSide() const override { return side_; }
    int hspace() const { return hspace_; }
    int vspace() const { return vspace_; }

    // The picture; inside a link two frames in the link colour around it;
    // then a red outline of the whole glyph box, spaces included.
    void draw(const HTMLInfo& info, Graphics& g, int x, int y, bool inLink) const override;
    // Inside the picture without its spaces, edges included.
    bool contains(int x, int y) const override;
    void dump(std::string& out) const override { out += "<img>"; }

private:
    Image image_;
    int side_;
    int hspace_, vspace_;
};

}  // namespace pellium
