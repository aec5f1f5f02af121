// A push button: pressed by a click that ends over it, by Enter or Space
// while it has the keyboard focus, or by its shortcut letter; it then sends
// its message. An auto-repeat button presses itself again while it is held
// with the pointer over it: after half a second, then every 50 ms.
#pragma once

#include "gui/Clickable.h"
#include "gui/Updatable.h"

namespace pellium {

class Button : public Clickable, public Updatable {
public:
    // Half a second before the first repeat, then one every 50 ms.
    static constexpr double repeatDelay = 0.5, repeatInterval = 0.05;

    // The label with its shortcut mark ('!').
    explicit Button(const char* label = nullptr);
    ~Button() override;

    virtual void press() { sendMessage(0); }
    void setAutoRepeat(bool autoRepeat) { autoRepeat_ = autoRepeat; }

    // Repeats the press when the time has come and the pointer is over the button.
    bool update() override;
    void getRenderInfo(int& kind, int& state) override;
    // Only a press that began on the button ends in a press.
    void handleEvent(const Event& event) override;
    void handleKey(const Event& event) override;

protected:
    // Forgets the press and the pointer: drawn at rest until the next event.
    void letGo() { held_ = inside_ = drawnPressed_ = false; }

private:
    // Drawn at rest before the press acts, which may take a while.
    void clicked() override;

    bool autoRepeat_ = false;
    double nextRepeat_ = 0;
};

}  // namespace pellium
