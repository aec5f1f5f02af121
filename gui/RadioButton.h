// One of a group of choices: the radio buttons that share a parent container.
// Choosing one (a click that ends over it, Space while it has the keyboard
// focus, or its shortcut letter) clears the others and sends its message,
// also when it was already chosen. select() from code sends nothing and
// redraws nothing.
#pragma once

#include "gui/Clickable.h"

namespace pellium {

class RadioButton : public Clickable {
public:
    // The label with its shortcut mark ('!').
    explicit RadioButton(const char* label = nullptr) { setLabel(label, true); }

    void setChecked(bool checked) { checked_ = checked; }
    bool isChecked() const { return checked_; }
    void select();

    void getRenderInfo(int& kind, int& state) override;
    // Mouse events notify: a click redraws the siblings and sends the message.
    void handleEvent(const Event& event) override;
    void handleKey(const Event& event) override;

private:
    void clicked() override { select(); }
    // As a click: siblings redrawn, the message sent, this one redrawn.
    void choose();

    bool checked_ = false;
};

}  // namespace pellium
