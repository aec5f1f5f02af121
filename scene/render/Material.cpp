#include "scene/render/Material.h"

#include <algorithm>
#include <set>

#include "base/DataDest.h"
#include "base/DataSource.h"
#include "base/Debug.h"
#include "scene/SceneStream.h"
#include "scene/StreamFields.h"
#include "scene/render/SetOrder.h"
#include "scene/render/Texture.h"

namespace kessa {

namespace {

enum Tag : unsigned {
    endTag = 0,
    nameTag = 1,
    legacyWordTag = 2,
    changedTag = 3,
    ambientTag = 10,
    diffuseTag = 11,
    specularTag = 12,
    emissionTag = 13,
    shininessTag = 14,
    alphaTag = 15,
    float224Tag = 30,
    colourTag = 31,
    vertexColoursTag = 32,
    vertexNormalsTag = 33,
    lightingTag = 34,
    smoothShadingTag = 35,
    colourMaterialTag = 36,
    sphereMapTag = 37,
    texture0Tag = 40,
    texture1Tag = 41,
};

float unit(float v) { return std::min(1.0f, std::max(0.0f, v)); }

pellium::Color clampedRgb(const pellium::Color& c) { return {unit(c.red), unit(c.green), unit(c.blue), c.alpha}; }

pellium::Color scaled(const pellium::Color& c, float k) { return {c.red * k, c.green * k, c.blue * k, c.alpha}; }

struct MaterialOrder {
    using is_transparent = void;
    bool operator()(const orvel::counted_ptr<Material>& a, const orvel::counted_ptr<Material>& b) const {
        return Material::compare(*a, *b) < 0;
    }
    bool operator()(const orvel::counted_ptr<Material>& a, const Material& b) const {
        return Material::compare(*a, b) < 0;
    }
    bool operator()(const Material& a, const orvel::counted_ptr<Material>& b) const {
        return Material::compare(a, *b) < 0;
    }
};

// Members hold textures that may hold GL textures, and the batches of a
// scene still being torn down at exit may hold members: the set lives as
// long as the process does.
std::set<orvel::counted_ptr<Material>, MaterialOrder>& materialSet() {
    static auto* set = new std::set<orvel::counted_ptr<Material>, MaterialOrder>;
    return *set;
}

bool readByte(orvel::DataSource& in) {
    char c = 0;
    in >> c;
    return c != 0;
}

}  // namespace

Material::Material(const Color& colour) : name_("Material"), colour_(colour) {
    ambient_ = clampedRgb(scaled(colour, 0.2f));
    diffuse_ = clampedRgb(scaled(colour, 0.8f));
    specular_ = emission_ = Color{0, 0, 0, 1};
    setAlpha(1);
    setLighting(false);
}

Material::Material(const Material& other) : Streamable(other), Refcountable(other) {
    copyFields(other);
    changed = true;
}

Material& Material::operator=(const Material& other) {
    if (this != &other && !refused()) {
        copyFields(other);
        changed = true;
    }
    return *this;
}

Material::~Material() = default;

void Material::copyFields(const Material& o) {
    name_ = o.name_;
    ambient_ = o.ambient_;
    diffuse_ = o.diffuse_;
    specular_ = o.specular_;
    emission_ = o.emission_;
    shininess_ = o.shininess_;
    alpha_ = o.alpha_;
    float224_ = o.float224_;
    colour_ = o.colour_;
    textures_[0] = o.textures_[0];
    textures_[1] = o.textures_[1];
    vertexColours_ = o.vertexColours_;
    vertexNormals_ = o.vertexNormals_;
    lighting_ = o.lighting_;
    smoothShading_ = o.smoothShading_;
    colourMaterial_ = o.colourMaterial_;
    sphereMap_ = o.sphereMap_;
    usesTexCoords_[0] = o.usesTexCoords_[0];
    usesTexCoords_[1] = o.usesTexCoords_[1];
}

bool Material::refused() const {
    // A shared material is the one object many holders draw with, and its
    // place in the set depends on what it holds.
    if (shared_)
        orvel::debug("Error - tried to change a shared Material!\n");
    return shared_;
}

void Material::setName(const orvel_string& name) {
    if (refused())
        return;
    name_ = name;
    changed = true;
}

void Material::setLighting(bool on) {
    if (refused())
        return;
    lighting_ = on;
    vertexNormals_ = on;
    vertexColours_ = !on;
    changed = true;
}

void Material::setColour(const Color& rgba) {
    if (refused())
        return;
    colour_ = rgba;
    changed = true;
}

void Material::setAmbient(const Color& rgba) {
    if (refused())
        return;
    ambient_ = clampedRgb(rgba);
    changed = true;
}

void Material::setDiffuse(const Color& rgba) {
    if (refused())
        return;
    diffuse_ = clampedRgb(rgba);
    changed = true;
}

void Material::setSpecular(const Color& rgba) {
    if (refused())
        return;
    specular_ = clampedRgb(rgba);
    changed = true;
}

void Material::setEmission(const Color& rgba) {
    if (refused())
        return;
    emission_ = clampedRgb(rgba);
    changed = true;
}

void Material::setShininess(float s) {
    if (refused())
        return;
    shininess_ = unit(s);
    changed = true;
}

void Material::setFloat224(float f) {
    if (refused())
        return;
    float224_ = unit(f);
    changed = true;
}

void Material::setAlpha(float a) {
    if (refused())
        return;
    alpha_ = unit(a);
    colour_.alpha = ambient_.alpha = diffuse_.alpha = specular_.alpha = emission_.alpha = alpha_;
    changed = true;
}

void Material::setVertexColours(bool on) {
    if (refused())
        return;
    vertexColours_ = on;
    changed = true;
}

void Material::setVertexNormals(bool on) {
    if (refused())
        return;
    vertexNormals_ = on;
    changed = true;
}

void Material::setSmoothShading(bool on) {
    if (refused())
        return;
    smoothShading_ = on;
    changed = true;
}

void Material::setColourMaterial(bool on) {
    if (refused())
        return;
    colourMaterial_ = on;
    changed = true;
}

void Material::setSphereMap(bool on) {
    if (refused())
        return;
    sphereMap_ = on;
    changed = true;
}

void Material::setTexture(const orvel::counted_ptr<Texture>& texture, int slot) {
    if (slot < 0 || slot > 1 || refused())
        return;
    textures_[slot] = texture;
    usesTexCoords_[slot] = texture && !sphereMap_;
    changed = true;
}

int Material::compare(const Material& a, const Material& b) {
    for (int slot = 0; slot < 2; ++slot) {
        if (int c = setOrder(a.textures_[slot].get(), b.textures_[slot].get()))
            return c;
        if (int c = setOrder(a.usesTexCoords_[slot], b.usesTexCoords_[slot]))
            return c;
    }
    const Color* ac[] = {&a.ambient_, &a.diffuse_, &a.specular_, &a.emission_};
    const Color* bc[] = {&b.ambient_, &b.diffuse_, &b.specular_, &b.emission_};
    for (int i = 0; i < 4; ++i) {
        if (int c = setOrder(ac[i]->red, bc[i]->red))
            return c;
        if (int c = setOrder(ac[i]->green, bc[i]->green))
            return c;
        if (int c = setOrder(ac[i]->blue, bc[i]->blue))
            return c;
    }
    if (int c = setOrder(a.shininess_, b.shininess_))
        return c;
    if (int c = setOrder(a.diffuse_.alpha, b.diffuse_.alpha))
        return c;
    if (int c = setOrder(a.float224_, b.float224_))
        return c;
    const bool af[] = {a.vertexColours_, a.vertexNormals_, a.smoothShading_, a.sphereMap_, a.colourMaterial_};
    const bool bf[] = {b.vertexColours_, b.vertexNormals_, b.smoothShading_, b.sphereMap_, b.colourMaterial_};
    for (int i = 0; i < 5; ++i)
        if (int c = setOrder(af[i], bf[i]))
            return c;
    // Materials that draw differently are never one: lit and unlit ones, and
    // unlit ones of other plain colours (which a lit or colour-tracking
    // material never draws with).
    if (int c = setOrder(a.lighting_, b.lighting_))
        return c;
    if (a.lighting_ || a.colourMaterial_)
        return 0;
    const float ap[] = {a.colour_.red, a.colour_.green, a.colour_.blue, a.colour_.alpha};
    const float bp[] = {b.colour_.red, b.colour_.green, b.colour_.blue, b.colour_.alpha};
    for (int i = 0; i < 4; ++i)
        if (int c = setOrder(ap[i], bp[i]))
            return c;
    return 0;
}

const orvel::counted_ptr<Material>& Material::getDefault() {
    // Drawn with until the end of the process, like the set's members.
    static auto* material = [] {
        auto* m = new orvel::counted_ptr<Material>(new Material(Color{1, 1, 1, 1}));
        (*m)->setName("Default");
        (*m)->shared_ = true;
        return m;
    }();
    return *material;
}

orvel::counted_ptr<Material> Material::share(const Material& material) {
    auto& set = materialSet();
    auto found = set.find(material);
    if (found != set.end())
        return *found;
    orvel::counted_ptr<Material> copy(new Material(material));
    copy->shared_ = true;
    set.insert(copy);
    return copy;
}

int Material::sharedCount() { return int(materialSet().size()); }

void Material::write(orvel::DataDest& out) {
    using stream::writeTag;
    writeTag(out, nameTag);
    out << name_;
    writeTag(out, changedTag);
    out << changed;
    writeTag(out, ambientTag);
    writeColour(out, ambient_);
    writeTag(out, diffuseTag);
    writeColour(out, diffuse_);
    writeTag(out, specularTag);
    writeColour(out, specular_);
    writeTag(out, emissionTag);
    writeColour(out, emission_);
    writeTag(out, shininessTag);
    out << shininess_;
    writeTag(out, alphaTag);
    out << alpha_;
    writeTag(out, float224Tag);
    out << float224_;
    writeTag(out, colourTag);
    writeColour(out, colour_);
    const bool flags[] = {vertexColours_, vertexNormals_, lighting_, smoothShading_, colourMaterial_, sphereMap_};
    for (unsigned i = 0; i < 6; ++i) {
        writeTag(out, vertexColoursTag + i);
        out << flags[i];
    }
    for (int slot = 0; slot < 2; ++slot) {
        writeTag(out, texture0Tag + slot);
        out.writeStreamable(textures_[slot]);
        out << usesTexCoords_[slot];
    }
    writeTag(out, endTag);
}

void Material::read(orvel::DataSource& in) {
    while (unsigned tag = stream::nextTag(in)) {
        switch (tag) {
        case nameTag: in >> name_; break;
        case legacyWordTag: in.readUInt32(); break;
        case changedTag: changed = readByte(in); break;
        case ambientTag: readColour(in, ambient_); break;
        case diffuseTag: readColour(in, diffuse_); break;
        case specularTag: readColour(in, specular_); break;
        case emissionTag: readColour(in, emission_); break;
        case shininessTag: in >> shininess_; break;
        case alphaTag: in >> alpha_; break;
        case float224Tag: in >> float224_; break;
        case colourTag: readColour(in, colour_); break;
        case vertexColoursTag: vertexColours_ = readByte(in); break;
        case vertexNormalsTag: vertexNormals_ = readByte(in); break;
        case lightingTag: lighting_ = readByte(in); break;
        case smoothShadingTag: smoothShading_ = readByte(in); break;
        case colourMaterialTag: colourMaterial_ = readByte(in); break;
        case sphereMapTag: sphereMap_ = readByte(in); break;
        case texture0Tag:
        case texture1Tag: {
            int slot = int(tag - texture0Tag);
            in.readStreamable(textures_[slot]);
            usesTexCoords_[slot] = readByte(in);
            break;
        }
        default: break;
        }
    }
}

}  // namespace kessa
