// A camera controller of the 3D view window: made by a mouse press or a
// wheel turn, it takes every later event and runs once a frame until it
// says it is done.
#pragma once

namespace pellium {
struct Event;
class Window;
}  // namespace pellium

namespace kessa {

class Twiddler {
public:
    // Takes the window's size and the event's position and buttons.
    Twiddler(pellium::Window& window, const pellium::Event& start);
    virtual ~Twiddler() = default;
    Twiddler(const Twiddler&) = delete;
    Twiddler& operator=(const Twiddler&) = delete;

    // False: the controller is done.
    virtual bool handleEvent(const pellium::Event& event) = 0;
    // Called once a frame; false: the controller is done.
    virtual bool idle() { return false; }

protected:
    // The event's buttons and, with position, its position.
    void refresh(const pellium::Event& event, bool position = true);

    pellium::Window& window;
    int width, height;  // at least 1
    // The pointer in the window, counted from its lower left corner.
    int x = 0, y = 0;
    bool left = false, middle = false, right = false;
};

}  // namespace kessa
