// The background of a frame: a dome of coloured bands around the camera with
// a ground disc, optional stars and an optional sun, or instead a box of six
// textures. It turns with the camera but never moves with it, and is drawn in
// the render accumulator's sky pass, behind everything else.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/counted_ptr.h"
#include "gui/Color.h"

namespace pellium {
struct GLRenderInfo;
}

namespace kessa {

class Texture;
class Viewer;
struct SkyInternals;

class Sky {
public:
    // One point of the star field: a unit direction and a packed colour
    // (bytes red, green, blue, alpha), 16 bytes as GL reads them.
    struct Star {
        float direction[3];
        std::uint32_t colour;
    };

    // The colours the game gives a new sky: two bands, the ground, and two more.
    static const pellium::Color defaultBandColours[2];
    static const pellium::Color defaultGroundColour;
    static const pellium::Color defaultFurtherColours[2];

    // Sectors around the vertical axis (3 .. 1024; others are held to that
    // range with a log line). Elevations in degrees, ended by a negative
    // value, each below 90 giving one ring of the dome; at most 256 are read.
    // bandColours holds one colour per elevation, or is null for random colours.
    Sky(int sectors, const float* elevations, const pellium::Color* bandColours, const pellium::Color& groundColour);
    ~Sky();
    Sky(const Sky&) = delete;
    Sky& operator=(const Sky&) = delete;

    // Draws the sky for the viewer with the dome at that radius, then loads
    // the viewer's projection and view again.
    void render(pellium::GLRenderInfo& context, Viewer& viewer, double radius);

    // Null gives random colours.
    void setBandColours(const pellium::Color* colours);
    void setPoleColour(const pellium::Color& colour);
    void setStarsVisible(bool on);
    // Keeps the first count stars and adds new random ones up to count. With
    // upperOnly every star lies above the horizon; otherwise even ones above
    // and odd ones below. A count above 100000 is held there with a log line.
    void makeStars(int count, bool upperOnly);
    void setSunVisible(bool on);
    void setSunColour(const pellium::Color& rgba);
    // The sun lies along the forward axis of a camera with pitch angle1 and
    // heading angle2 (degrees).
    void setSunDirection(float angle1, float angle2);
    void clearSkyBox();
    // The faces of the box: a missing texture shows white.
    void setSkyBox(const orvel::counted_ptr<Texture>& t1, const orvel::counted_ptr<Texture>& t2,
                   const orvel::counted_ptr<Texture>& t3, const orvel::counted_ptr<Texture>& t4,
                   const orvel::counted_ptr<Texture>& t5, const orvel::counted_ptr<Texture>& t6);

    int sectorCount() const;
    int ringCount() const;
    // A point of the unit dome: ring r of sector s, three floats.
    const float* point(int sector, int ring) const;
    // Packed colours, bytes red, green, blue, alpha.
    std::uint32_t bandColour(int ring) const;
    std::uint32_t groundColour() const;
    const std::vector<Star>& stars() const;
    bool starsVisible() const;
    bool sunVisible() const;
    // The sun's centre on the unit sphere.
    void sunDirection(float out[3]) const;
    bool skyBoxOn() const;

private:
    void drawDome(pellium::GLRenderInfo& context, double radius);
    void drawSkyBox(double radius);

    std::unique_ptr<SkyInternals> d_;
};

}  // namespace kessa
