// A particle emitter: points, lines, sprites, textured squares, streaks or
// small copies of a scene object, born in a disc or ring around the emitter,
// flying with wind and gravity, bouncing off a ground height, fading in and
// out, and dying after their life time. The game owns one per effect, calls
// update once a frame with the camera and emitter positions, and accumulate
// in the render pass. Randomness comes from the shared generator, time from
// the engine clock.
#pragma once

#include <memory>

#include "base/counted_ptr.h"
#include "gui/Color.h"
#include "scene/Vector.h"
#include "scene/render/ParticleParameters.h"

namespace kessa {

class Object;
class ParticleInternals;
class RenderAccumulator;
class Texture;
class Viewer;

class ParticleSystem {
public:
    // Live particles one effect holds at most; births beyond are dropped.
    static constexpr int maxParticles = 1 << 18;
    // Texture frames at most.
    static constexpr int maxFrames = 256;

    ParticleSystem();
    // The parameters, texture, object, frame counts and colours; the
    // particles themselves are not copied.
    ParticleSystem(const ParticleSystem& other);
    ParticleSystem& operator=(const ParticleSystem&) = delete;
    ~ParticleSystem();

    const ParticleParameters& parameters() const { return parameters_; }
    // Every field of p through setParameter.
    void setParameters(const ParticleParameters& p);
    // The world file's keys: those of ParticleParameters, and "colorType"
    // and "saturation". False, with a log line, for an unknown key or a
    // refused value.
    bool setParameter(const char* key, double value);

    // 0 blends colour 1 into colour 2, 1 takes hues at the saturation.
    void setColorType(int type);
    // Channels held to 0 .. 1; a colour that is not a number is refused.
    void setColor1(const pellium::Color& rgba);
    void setColor2(const pellium::Color& rgba);
    void setSaturation(float saturation);
    int colorType() const { return colorType_; }
    const pellium::Color& color1() const { return colours_[0]; }
    const pellium::Color& color2() const { return colours_[1]; }
    float saturation() const { return saturation_; }

    void setTexture(const orvel::counted_ptr<Texture>& texture);
    const orvel::counted_ptr<Texture>& texture() const { return texture_; }
    // Frames laid out in columns x rows cells of the texture (frame 0 at the
    // top left). Each must be at least 1, else all become 1 (logged); the count is
    // held to the cells and to maxFrames.
    void setTextureFrames(int count, int columns, int rows);
    int frameCount() const { return frames_[0]; }
    int frameColumns() const { return frames_[1]; }
    int frameRows() const { return frames_[2]; }
    // The object that object particles show; not owned, it must outlive the effect.
    void setObject(Object* object);
    Object* object() const { return object_; }

    // One frame: the emitter's position, and where the camera is (the rate
    // falls with its distance). Without allowBirth nothing is born.
    void update(const Vector& cameraPosition, const Vector& emitterPosition, bool allowBirth);
    // Starts the trigger cycle now (enabled effects with the trigger set).
    void prepare();
    // Starts afresh at position with a burst of birthrate particles.
    void reset(const Vector& position);
    // The next update starts afresh, without particles.
    void forceUpdate();
    // Forgets the particles; the next update builds everything anew.
    void invalidate();
    // Adds the particles to the frame unless the viewer's frustum leaves
    // them all out.
    void accumulate(RenderAccumulator& accumulator, Viewer& viewer);

    // Null until the first update, prepare or reset of an enabled effect.
    ParticleInternals* internals() const { return internals_.get(); }

private:
    friend class ParticleInternals;
    ParticleInternals& makeInternals();

    ParticleParameters parameters_;
    std::unique_ptr<ParticleInternals> internals_;
    Object* object_ = nullptr;
    orvel::counted_ptr<Texture> texture_;
    int frames_[3] = {1, 1, 1};
    int colorType_ = 0;
    pellium::Color colours_[2] = {{1, 1, 1, 1}, {1, 1, 1, 1}};
    float saturation_ = 1.0f;
};

}  // namespace kessa
