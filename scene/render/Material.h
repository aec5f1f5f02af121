// How a surface is drawn: colours for lit and unlit drawing, shininess, up to
// two textures, and switches for lighting, shading, per-vertex data, colour
// material and sphere mapping.
//
// Equal materials are shared through a process-wide set, so that batches can
// be grouped by material and the renderer can skip state that does not
// change. Members of the set (and the default material) are shared by many
// holders and refuse every change; change a copy instead.
#pragma once

#include "base/Refcountable.h"
#include "base/Streamable.h"
#include "base/counted_ptr.h"
#include "base/orvel_string.h"
#include "gui/Color.h"

namespace kessa {

class Texture;

class Material : public orvel::Streamable, public orvel::Refcountable {
public:
    using Color = pellium::Color;

    // Unlit and smooth-shaded, drawn in colour when unlit; lit, it has an
    // ambient of 0.2 and a diffuse of 0.8 times colour, black specular and
    // emission, shininess 0.5 and alpha 1 in every colour.
    explicit Material(const Color& colour);
    // A copy is never shared, and is marked changed.
    Material(const Material& other);
    Material& operator=(const Material& other);
    ~Material() override;

    void setName(const orvel_string& name);
    const orvel_string& name() const { return name_; }

    // Also turns per-vertex normals on with lighting and per-vertex colours
    // on without it.
    void setLighting(bool on);
    // The colour drawn while lighting is off.
    void setColour(const Color& rgba);
    // Red, green and blue are held to 0 .. 1; alpha is stored as given.
    void setAmbient(const Color& rgba);
    void setDiffuse(const Color& rgba);
    void setSpecular(const Color& rgba);
    void setEmission(const Color& rgba);
    // 0 .. 1; GL gets 128 times the value.
    void setShininess(float s);
    // A further value in 0 .. 1, kept and stored but not drawn with.
    void setFloat224(float f);
    // 0 .. 1, copied into the alpha of the plain, ambient, diffuse, specular
    // and emission colours.
    void setAlpha(float a);
    void setVertexColours(bool on);
    void setVertexNormals(bool on);
    void setSmoothShading(bool on);
    void setColourMaterial(bool on);
    void setSphereMap(bool on);
    // Slot 0 or 1. The slot uses texture coordinates when it has a texture
    // and the material is not sphere-mapped.
    void setTexture(const orvel::counted_ptr<Texture>& texture, int slot);

    const Color& colour() const { return colour_; }
    const Color& ambient() const { return ambient_; }
    const Color& diffuse() const { return diffuse_; }
    const Color& specular() const { return specular_; }
    const Color& emission() const { return emission_; }
    float shininess() const { return shininess_; }
    float float224() const { return float224_; }
    float alpha() const { return alpha_; }
    bool lighting() const { return lighting_; }
    bool vertexColours() const { return vertexColours_; }
    bool vertexNormals() const { return vertexNormals_; }
    bool smoothShading() const { return smoothShading_; }
    bool colourMaterial() const { return colourMaterial_; }
    bool sphereMap() const { return sphereMap_; }
    const orvel::counted_ptr<Texture>& texture(int slot) const { return textures_[slot & 1]; }
    bool usesTexCoords(int slot) const { return usesTexCoords_[slot & 1]; }
    bool shared() const { return shared_; }

    // Set by every change, for owners to poll and clear.
    bool changed = false;

    // Orders materials for sharing: textures (by identity) and their
    // texture-coordinate switches, the ambient, diffuse, specular and
    // emission colours, shininess, the diffuse alpha, the further value, the
    // per-vertex, shading, sphere-map, colour-material and lighting switches,
    // and the plain colour of materials drawn with it (unlit, without colour
    // material). The name and the other alphas take no part: materials equal
    // under this order draw alike. Negative, 0 or positive.
    static int compare(const Material& a, const Material& b);

    // White, named "Default", shared; made on first use.
    static const orvel::counted_ptr<Material>& getDefault();
    // The set's member equal to material, made as a copy of it when there is none.
    static orvel::counted_ptr<Material> share(const Material& material);
    // Members of the set, the default material among them once it is shared.
    static int sharedCount();

    // Turns GL state into this material's. Within a frame (after
    // beginFrame) only what differs from the material applied last reaches
    // GL; otherwise, or when the applied state is not known, everything is
    // set. Both ways leave GL in the same state.
    void apply() const;
    // Applies the default material in full unless the applied state is
    // known within a frame, and from then on trusts it. Call as a frame begins.
    static void beginFrame();
    // Something drew in the frame with state of its own (textures bound, lit
    // colours, colour material): the next apply sets everything, and the
    // frame goes on trusting what that apply sets.
    static void applyInFullNext();
    // GL state was changed behind the materials' back (or the context was
    // bound anew), or the frame is over: every apply sets everything until
    // the next beginFrame.
    static void forgetAppliedState();

    void read(orvel::DataSource& in) override;
    const char* typeName() const override { return "zanthorium::kessa::Material"; }
    void write(orvel::DataDest& out) override;

private:
    bool refused() const;
    void copyFields(const Material& other);

    orvel_string name_;
    Color ambient_, diffuse_, specular_, emission_;
    float shininess_ = 0.5f;
    float alpha_ = 1;
    float float224_ = 0;
    Color colour_;
    orvel::counted_ptr<Texture> textures_[2];
    bool vertexColours_ = false, vertexNormals_ = false, lighting_ = false;
    bool smoothShading_ = true, colourMaterial_ = false, sphereMap_ = false;
    bool usesTexCoords_[2] = {false, false};
    bool shared_ = false;
};

// The material slot that batches and polygons carry: a material (never
// null: the default one stands in) and two flag bytes. The first is the
// one-sided flag of ray tests and collision gathering.
class MaterialRef {
public:
    MaterialRef() : material_(Material::getDefault()) {}
    explicit MaterialRef(const orvel::counted_ptr<Material>& material, unsigned char first = 1,
                         unsigned char second = 0)
        : first(first), second(second) {
        setMaterial(material);
    }

    // A null material gives the default one.
    void setMaterial(const orvel::counted_ptr<Material>& material) {
        material_ = material ? material : Material::getDefault();
    }
    const orvel::counted_ptr<Material>& material() const { return material_; }
    Material* operator->() const { return material_.get(); }

    bool operator==(const MaterialRef& o) const {
        return material_ == o.material_ && first == o.first && second == o.second;
    }
    bool operator!=(const MaterialRef& o) const { return !(*this == o); }

    unsigned char first = 1;
    unsigned char second = 0;

private:
    orvel::counted_ptr<Material> material_;
};

}  // namespace kessa
