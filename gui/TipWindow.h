// The small popup that shows a component's tooltip below the pointer after
// a hover: the text line by line, or, for a text that begins with "<body",
// a page of the HTML subset.
#pragma once

#include <vector>

#include "base/orvel_string.h"
#include "gui/Window.h"

namespace pellium {

class HTMLPane;

class TipWindow : public Window {
public:
    // Opens over the hover event's window, its top edge 20 pixels below the
    // pointer; where that leaves the screen, to the left of and above it. A
    // page is wrapped no wider than the screen.
    TipWindow(const Event& hover, Component* component);
    ~TipWindow() override;

    // The background, the lines or the page, and an outline.
    void paint(Graphics& g) override;

    // Makes hovers open tip windows. The program's entry does it.
    static void install();
    // The tip window open now, or the last one made; null before the first.
    static TipWindow* latest();

    const std::vector<orvel_string>& lines() const { return lines_; }
    HTMLPane* pane() const { return pane_.get(); }

private:
    orvel::ref_ptr<HTMLPane> pane_;
    int paneWidth_ = 0, paneHeight_ = 0;
    std::vector<orvel_string> lines_;
};

}  // namespace pellium
