// The scene's texture: a name, an image file (or a picture in memory) and a
// set of options. Materials hold textures; model readers make them. Equal
// textures made through create are one shared, locked object; equal files
// with equal options share one GL texture through a process-wide cache. A
// numbered file sequence (wave08.gif, wave09.gif, ...) becomes an animated
// texture whose frame follows the engine clock.
#pragma once

#include <cstdint>
#include <memory>

#include "base/FilePath.h"
#include "base/Refcountable.h"
#include "base/Streamable.h"
#include "base/counted_ptr.h"
#include "base/orvel_string.h"
#include "gui/gl/Image.h"

namespace kessa {

class TextureInternals;

class Texture : public orvel::Streamable, public orvel::Refcountable {
public:
    Texture();
    // The name, file and every option of other, with GL textures of its own.
    Texture(const Texture& other);
    Texture& operator=(const Texture&) = delete;
    ~Texture() override;

    // As the copy constructor, onto this texture (refused while locked).
    // Copying a picture held in memory is not supported and throws.
    void copyFrom(const Texture& other);

    // The shared, locked texture equal to prototype, made as a copy of it
    // when there is none yet. Such textures never change again.
    static orvel::counted_ptr<Texture> create(const Texture& prototype);

    // Every setter is refused, with a log line, while the texture is locked,
    // and marks the texture for rebuilding on its next bind.
    void setName(const orvel_string& name);
    // The name becomes the file's name when it is still empty.
    void setFile(const orvel::FilePath& file);
    // A picture in memory instead of a file.
    void setImage(const pellium::Image& image);
    // Clamping along s and t instead of repeating.
    void setEdgeFlagS(bool on);
    void setEdgeFlagT(bool on);
    void setOptionFlag(unsigned char value);
    void setScale(float u, float v);
    // Non-zero: the file is the first of a numbered sequence.
    void setByteOption(unsigned char value);
    // Seconds for one pass through a sequence.
    void setWordOption(float seconds);
    void setMipmapped(bool on);
    // Clamping to a border colour (0xAABBGGRR) rather than to the edge.
    void setBorder(bool on, std::uint32_t colour);

    const orvel_string& name() const { return name_; }
    const orvel::FilePath& file() const { return file_; }
    bool locked() const { return locked_; }
    bool clampS() const { return clampS_; }
    bool clampT() const { return clampT_; }
    unsigned char optionA() const { return optionA_; }
    unsigned char optionB() const { return optionB_; }
    unsigned char optionC() const { return optionC_; }
    std::uint32_t optionD() const { return optionD_; }
    unsigned char sequence() const { return sequence_; }
    float cycleTime() const { return cycleTime_; }
    float scaleU() const { return scaleU_; }
    float scaleV() const { return scaleV_; }
    bool mipmapped() const { return mipmapped_ != 0; }
    bool border() const { return border_; }
    std::uint32_t borderColour() const { return borderColour_; }
    // The GL side must be rebuilt before the next bind.
    bool dirty() const;

    // Makes the texture current in GL: builds its GL side on the first bind
    // and after every change, and picks the frame of a sequence by the
    // engine clock. Missing files bind a black texture.
    void bind();
    // The picture's size, loading it when not yet known.
    int width();
    int height();
    // Draws the picture one texel to a pixel with its lower left corner at
    // (x, y) (under a pixel projection).
    void drawQuad(float x, float y);

    // The two built-in white textures, solid and fully transparent (4 x 4).
    static const orvel::counted_ptr<Texture>& whiteTexture(bool alpha);

    // The key under which files with equal options share a GL texture: the
    // file as the current image reader resolves it, ":", one "0" or "1" per
    // option, and "n" for an unscaled texture.
    orvel_string cacheKey(const orvel_string& resolvedFile) const;
    // Orders textures for create: file, options, cycle time and scales.
    static int compare(const Texture& a, const Texture& b);

    // The value an older stream stored for a texture (the conversion of old
    // geometry reads it); false when it stored none.
    static bool legacyValue(const Texture* texture, float& value);

    void read(orvel::DataSource& in) override;
    void postRead() override;
    const char* typeName() const override { return "zanthorium::kessa::Texture"; }
    void write(orvel::DataDest& out) override;

private:
    bool refused() const;
    void touch();

    orvel_string name_;
    orvel::FilePath file_;
    std::unique_ptr<TextureInternals> internals_;
    bool locked_ = false;
    unsigned char optionA_ = 0, optionB_ = 1;
    bool border_ = false;
    unsigned char optionC_ = 1;
    bool clampS_ = false, clampT_ = false;
    unsigned char sequence_ = 0;
    float cycleTime_ = 1, scaleU_ = 1, scaleV_ = 1;
    std::uint32_t mipmapped_ = 1, optionD_ = 1;
    std::uint32_t borderColour_ = 0;
};

}  // namespace kessa
