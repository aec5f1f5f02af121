// A box with a tick, flipped by a click that ends over it, by Space while it
// has the keyboard focus, or by its shortcut letter. Its message's detail is
// 0 when it has just been ticked and 1 when the tick has just gone. With an
// action attached, the action's check state rules.
#pragma once

#include "gui/Clickable.h"

namespace pellium {

class Checkbox : public Clickable {
public:
    // The label with its shortcut mark ('!').
    explicit Checkbox(const char* label = nullptr) { setLabel(label, true); }

    // No redraw, no message.
    void setChecked(bool checked) { checked_ = checked; }
    bool isChecked() const { return checked_; }
    // Flips the tick, sends the message and redraws the box.
    void activate() override;

    void getRenderInfo(int& kind, int& state) override;
    void handleKey(const Event& event) override;

private:
    void clicked() override { activate(); }

    bool checked_ = false;
};

}  // namespace pellium
