// A square for choosing a colour: a ring of hues around a triangle of
// saturation and value, drawn with OpenGL into a picture off-screen and
// shown like any other picture. Dragging on the ring turns the hue,
// dragging in the triangle picks saturation and value; the component's
// message says 0 when a drag starts, 1 at every step and 2 when it ends.
#pragma once

#include <memory>

#include "gui/Color.h"
#include "gui/Component.h"

namespace pellium {

class ColorMixerInternals;

class ColorMixer : public Component {
public:
    // A square of size x size pixels.
    explicit ColorMixer(int size);
    ~ColorMixer() override;

    // Takes the colour and its hue, saturation and value (a grey keeps the hue it has).
    void setColor(const Color& rgba);
    Color getColor() const;

    // The picture's size.
    void getPreferredSize(int& width, int& height) override;
    // Renders the picture again when hue, saturation or value changed since
    // it was last rendered, and shows it.
    void draw(Graphics& g) override;
    void handleEvent(const Event& event) override;

    const ColorMixerInternals& internals() const { return *internals_; }

private:
    // Moves the drag going on to the event's point, tells the listener and
    // shows the change unless the listener painted meanwhile.
    void applyPoint(const Event& event);

    bool dragging_ = false;
    bool painted_ = false;
    std::unique_ptr<ColorMixerInternals> internals_;
};

}  // namespace pellium
