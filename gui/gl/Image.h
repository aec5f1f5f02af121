// The toolkit's picture: a cheap handle to shared, reference-counted 32-bit
// pixels. Pixels are 0xAARRGGBB words and rows run from the bottom of the
// picture up. Copies share the pixels; deepCopy and resize make new ones.
#pragma once

#include <cstdint>
#include <vector>

#include "base/Refcountable.h"

namespace pellium {

class GLclient;
struct ImageData;
class ResourceModule;

// The largest picture a file decoder makes: a hostile header must not cost
// a 16 GiB allocation. Only the pixel count is bounded: a long, thin picture
// is as cheap as a square one, and everything that takes pictures copes with
// any side (textures are scaled to the driver's limit).
constexpr uint64_t maxFileImagePixels = uint64_t(1) << 26;

inline bool fileImageSizeAllowed(uint64_t width, uint64_t height) { return width * height <= maxFileImagePixels; }

class Image {
public:
    Image();
    // A side below 1 gives the empty image; pixels, when given, are width x height words.
    Image(int width, int height, const uint32_t* pixels = nullptr);
    // The part of source inside (x, y, width, height), clipped to the source.
    Image(const Image& source, int x, int y, int width, int height);
    Image(const Image& other);
    Image& operator=(const Image& other);
    ~Image();

    void release();
    void deepCopy(const Image& other);

    bool empty() const { return !data_; }
    int width() const;
    int height() const;
    int mode() const;
    void setMode(int mode);
    void hotSpot(int& x, int& y) const;
    void setHotSpot(int x, int y);

    // These three mark the image modified: the caller may write through them.
    uint32_t* pixels();
    uint32_t* pixel(int index);
    uint32_t* pixelAt(int x, int y);
    // Reading without marking anything.
    const uint32_t* constPixels() const;

    // Resamples to the new size; a side below 1 empties the image.
    void resize(int width, int height);
    void fill(uint32_t colour);
    void addNoise(uint32_t seed);
    // Puts source's first stored pixel on (x, y), clipped to this image.
    void paste(const Image& source, int x, int y);
    // Clears alpha on every pixel of the top-left pixel's colour.
    void keyOutCornerColour();

    // Draws the client into the picture off-screen (gl/OffscreenRender.h).
    // False for an empty image, and when the render fails: the picture is
    // then noise (seed 12345), so that the failure shows.
    bool renderGL(GLclient& client);

    // Loads the bitmap resource id of a module; an empty image when it cannot.
    void loadBitmapResource(const ResourceModule* module, int id);

    bool isModified() const;
    void clearModified();
    // Rebuilds the mask GDI drawing uses, for a mode-4 image that changed since
    // the last build. Pixels with alpha below 128 become 0 and get a mask of
    // all ones; when there are none the mask is emptied.
    void makeTransparencyMask();
    const std::vector<uint32_t>& transparencyMask() const;
    // A picture derived from this one, kept until the pixels are touched.
    const Image& derivedImage() const;
    void setDerivedImage(const Image& image);

    ImageData* data() const { return data_.get(); }

private:
    void touch();

    orvel::ref_ptr<ImageData> data_;
};

}  // namespace pellium
