#include "scene/render/Texture.h"

#include <cstdio>
#include <map>
#include <set>
#include <stdexcept>

#include "base/DataDest.h"
#include "base/DataSource.h"
#include "base/Debug.h"
#include "gui/gl/GLdraw.h"
#include "gui/gl/GLtexture.h"
#include "scene/SceneStream.h"
#include "scene/StorageStats.h"
#include "scene/render/SetOrder.h"
#include "scene/render/TextureInternals.h"

namespace kessa {

namespace {

enum Tag : unsigned {
    endTag = 0,
    fileTag = 1,
    legacyObjectTag = 2,
    legacyByteTag = 3,
    nameTag = 4,
    legacyFlagTag = 10,
    legacyValueTag = 11,
    clampTag = 12,
    legacyWordTag = 13,
    legacyWord2Tag = 14,
    scaleUTag = 15,
    scaleVTag = 16,
    mipmappedTag = 17,
    optionDTag = 18,
    optionATag = 19,
    optionBTag = 20,
    borderTag = 21,
    optionCTag = 22,
    sequenceTag = 23,
    cycleTag = 24,
    borderColourTag = 25,
};

struct TextureOrder {
    using is_transparent = void;
    bool operator()(const orvel::counted_ptr<Texture>& a, const orvel::counted_ptr<Texture>& b) const {
        return Texture::compare(*a, *b) < 0;
    }
    bool operator()(const orvel::counted_ptr<Texture>& a, const Texture& b) const {
        return Texture::compare(*a, b) < 0;
    }
    bool operator()(const Texture& a, const orvel::counted_ptr<Texture>& b) const {
        return Texture::compare(a, *b) < 0;
    }
};

// The textures made by create. They are locked and shared by every holder,
// and may hold GL textures: they live as long as the process does.
std::set<orvel::counted_ptr<Texture>, TextureOrder>& textureSet() {
    static auto* set = new std::set<orvel::counted_ptr<Texture>, TextureOrder>;
    return *set;
}

std::map<const Texture*, float>& legacyValues() {
    static std::map<const Texture*, float> values;
    return values;
}

void countTextures(StorageStats& stats) {
    stats.textures = pellium::GLtexture::count();
    stats.textureBytes = double(pellium::GLtexture::totalSize());
}

void registerStorage() {
    static bool done = (addStorageSource(&countTextures), true);
    (void)done;
}

}  // namespace

Texture::Texture() : internals_(new TextureInternals(this)) { registerStorage(); }

Texture::Texture(const Texture& other) : Streamable(other), Refcountable(other), internals_(new TextureInternals(this)) {
    registerStorage();
    copyFrom(other);
}

Texture::~Texture() { legacyValues().erase(this); }

void Texture::copyFrom(const Texture& other) {
    if (refused())
        return;
    if (!other.internals_->image.empty())
        throw std::logic_error("not done yet");
    internals_.reset(new TextureInternals(this));
    name_ = other.name_;
    file_ = other.file_;
    optionA_ = other.optionA_;
    optionB_ = other.optionB_;
    border_ = other.border_;
    optionC_ = other.optionC_;
    clampS_ = other.clampS_;
    clampT_ = other.clampT_;
    sequence_ = other.sequence_;
    cycleTime_ = other.cycleTime_;
    scaleU_ = other.scaleU_;
    scaleV_ = other.scaleV_;
    mipmapped_ = other.mipmapped_;
    optionD_ = other.optionD_;
    borderColour_ = other.borderColour_;
}

orvel::counted_ptr<Texture> Texture::create(const Texture& prototype) {
    auto& set = textureSet();
    auto found = set.find(prototype);
    if (found != set.end())
        return *found;
    orvel::counted_ptr<Texture> copy(new Texture(prototype));
    copy->locked_ = true;
    set.insert(copy);
    return copy;
}

bool Texture::refused() const {
    if (locked_)
        orvel::debug("Error - tried to change a locked Texture!\n");
    return locked_;
}

void Texture::touch() { internals_->dirty = true; }

bool Texture::dirty() const { return internals_->dirty; }

void Texture::setName(const orvel_string& name) {
    if (refused())
        return;
    name_ = name;
    touch();
}

void Texture::setFile(const orvel::FilePath& file) {
    if (refused())
        return;
    file_ = file;
    if (name_.empty())
        name_ = file_.fileName();
    touch();
}

void Texture::setImage(const pellium::Image& image) {
    if (refused())
        return;
    file_ = orvel::FilePath();
    internals_->frames.clear();
    internals_->image = image;
    internals_->width = image.width();
    internals_->height = image.height();
    touch();
}

void Texture::setEdgeFlagS(bool on) {
    if (refused())
        return;
    clampS_ = on;
    touch();
}

void Texture::setEdgeFlagT(bool on) {
    if (refused())
        return;
    clampT_ = on;
    touch();
}

void Texture::setOptionFlag(unsigned char value) {
    if (refused())
        return;
    optionA_ = value;
    touch();
}

void Texture::setScale(float u, float v) {
    if (refused())
        return;
    scaleU_ = u;
    scaleV_ = v;
    touch();
}

void Texture::setByteOption(unsigned char value) {
    if (refused())
        return;
    sequence_ = value;
    touch();
}

void Texture::setWordOption(float seconds) {
    if (refused())
        return;
    cycleTime_ = seconds;
    touch();
}

void Texture::setMipmapped(bool on) {
    if (refused())
        return;
    mipmapped_ = on;
    touch();
}

void Texture::setBorder(bool on, std::uint32_t colour) {
    if (refused())
        return;
    border_ = on;
    borderColour_ = colour;
    touch();
}

void Texture::bind() {
    if (internals_->dirty)
        internals_->frames.clear();
    internals_->bind();
}

int Texture::width() {
    if (internals_->width == 0 && internals_->frames.empty())
        internals_->load();
    return internals_->width;
}

int Texture::height() {
    if (internals_->height == 0 && internals_->frames.empty())
        internals_->load();
    return internals_->height;
}

void Texture::drawQuad(float x, float y) {
    const float w = float(width()), h = float(height());
    bind();
    constexpr int polygon = 9;
    const float s = 1 - 1 / w, t = 1 - 1 / h;
    pellium::beginPrimitive(polygon);
    pellium::texCoord2f(0, 0);
    pellium::vertex3f(x, y, 0);
    pellium::texCoord2f(s, 0);
    pellium::vertex3f(x + w - 1, y, 0);
    pellium::texCoord2f(s, t);
    pellium::vertex3f(x + w - 1, y + h - 1, 0);
    pellium::texCoord2f(0, t);
    pellium::vertex3f(x, y + h - 1, 0);
    pellium::endPrimitive();
}

const orvel::counted_ptr<Texture>& Texture::whiteTexture(bool alpha) {
    // Made on first use and kept to the end of the process.
    static auto* solid = new orvel::counted_ptr<Texture>(new Texture);
    static auto* clear = new orvel::counted_ptr<Texture>(new Texture);
    if ((*solid)->internals_->frames.empty()) {
        pellium::Image white(4, 4), none(4, 4);
        white.fill(0xFFFFFFFF);
        none.fill(0);
        (*solid)->setImage(white);
        (*solid)->name_ = "whiteTextureSolid";
        (*clear)->setImage(none);
        (*clear)->name_ = "whiteTextureAlpha";
    }
    return alpha ? *clear : *solid;
}

orvel_string Texture::cacheKey(const orvel_string& resolvedFile) const {
    const bool flags[] = {optionB_ != 0, optionC_ != 0, optionA_ != 0, mipmapped_ == 0,
                          optionD_ == 0, clampS_, clampT_};
    orvel_string key = resolvedFile;
    key += ':';
    for (bool f : flags)
        key += f ? '1' : '0';
    // The border and the fading of mipmaps configure the GL texture too:
    // textures that differ in them must not share one.
    if (border_) {
        char colour[16];
        std::snprintf(colour, sizeof colour, "b%08x", unsigned(borderColour_));
        key += colour;
    }
    key += scaleU_ == 1.0f && scaleV_ == 1.0f ? 'n' : scaleV_ < 1.0f ? 'f' : 'd';
    return key;
}

int Texture::compare(const Texture& a, const Texture& b) {
    if (int c = setOrder(a.file_, b.file_))
        return c;
    const unsigned char ab[] = {a.optionB_, a.optionC_, a.clampS_, a.clampT_, a.sequence_, a.optionA_, a.border_};
    const unsigned char bb[] = {b.optionB_, b.optionC_, b.clampS_, b.clampT_, b.sequence_, b.optionA_, b.border_};
    for (unsigned i = 0; i < sizeof ab; ++i)
        if (int c = setOrder(ab[i], bb[i]))
            return c;
    if (int c = setOrder(a.cycleTime_, b.cycleTime_))
        return c;
    if (int c = setOrder(a.scaleU_, b.scaleU_))
        return c;
    if (int c = setOrder(a.scaleV_, b.scaleV_))
        return c;
    if (int c = setOrder(a.mipmapped_, b.mipmapped_))
        return c;
    if (int c = setOrder(a.optionD_, b.optionD_))
        return c;
    return setOrder(a.borderColour_, b.borderColour_);
}

bool Texture::legacyValue(const Texture* texture, float& value) {
    auto found = legacyValues().find(texture);
    if (found == legacyValues().end())
        return false;
    value = found->second;
    return true;
}

void Texture::write(orvel::DataDest& out) {
    using stream::writeTag;
    writeTag(out, fileTag);
    out << file_;
    writeTag(out, nameTag);
    out << name_;
    writeTag(out, clampTag);
    out << char(clampS_) << char(clampT_);
    writeTag(out, scaleUTag);
    out << scaleU_;
    writeTag(out, scaleVTag);
    out << scaleV_;
    writeTag(out, mipmappedTag);
    out << unsigned(mipmapped_);
    writeTag(out, optionDTag);
    out << unsigned(optionD_);
    writeTag(out, optionATag);
    out << char(optionA_);
    writeTag(out, optionBTag);
    out << char(optionB_);
    writeTag(out, borderTag);
    out << char(border_);
    writeTag(out, optionCTag);
    out << char(optionC_);
    writeTag(out, sequenceTag);
    out << char(sequence_);
    writeTag(out, cycleTag);
    out << cycleTime_;
    writeTag(out, borderColourTag);
    out << unsigned(borderColour_);
    writeTag(out, endTag);
}

void Texture::read(orvel::DataSource& in) {
    optionA_ = 0;
    touch();
    auto byte = [&in]() {
        char c = 0;
        in >> c;
        return (unsigned char)c;
    };
    while (unsigned tag = stream::nextTag(in)) {
        switch (tag) {
        case fileTag: in >> file_; break;
        case nameTag: in >> name_; break;
        case clampTag:
            clampS_ = byte() != 0;
            clampT_ = byte() != 0;
            break;
        case scaleUTag: in >> scaleU_; break;
        case scaleVTag: in >> scaleV_; break;
        case mipmappedTag: in >> mipmapped_; break;
        case optionDTag: in >> optionD_; break;
        case optionATag: optionA_ = byte(); break;
        case optionBTag: optionB_ = byte(); break;
        case borderTag: border_ = byte() != 0; break;
        case optionCTag: optionC_ = byte(); break;
        case sequenceTag: sequence_ = byte(); break;
        case cycleTag: in >> cycleTime_; break;
        case borderColourTag: in >> borderColour_; break;
        // Older streams: an object nothing reads any more, and values that
        // no longer mean anything, except the one the conversion of old
        // geometry asks for.
        case legacyObjectTag: stream::skipReference(in); break;
        case legacyByteTag:
        case legacyFlagTag: byte(); break;
        case legacyWordTag:
        case legacyWord2Tag: in.readUInt32(); break;
        case legacyValueTag: {
            float value = 0;
            in >> value;
            if (in.good())
                legacyValues()[this] = value;
            break;
        }
        default: break;
        }
    }
}

void Texture::postRead() {
    if (scaleU_ < 1.0f && scaleV_ < 1.0f)
        optionC_ = 0;
}

}  // namespace kessa
