// Shows the chosen entry of a list that a ComboBoxInfo describes, with an
// arrow button beside it. A click on the text or the button opens a popup
// window listing every entry in a scrollable pane; a click on an entry
// chooses it, closes the popup and makes the combo box send its message
// with the entry's index. Nothing chosen shows "choose...".
#pragma once

#include "gui/Container.h"

namespace pellium {

class ComboBoxInfo;
class ComboInternals;

class ComboBox : public Container {
public:
    // Popup rows shown before the list scrolls, and the text's width in characters.
    static constexpr int visibleRows = 8, widthInCharacters = 16;

    explicit ComboBox(ComboBoxInfo* info);
    // Closes the popup while it is open.
    ~ComboBox() override;

    // No redraw and no message; an index outside -1 .. count - 1 shows as -1.
    void setSelectedIndex(int index) { selected_ = index; }
    int getSelectedIndex() const { return selected_; }
    // Insets of 2 on every side, or 1.
    void setBordered(bool bordered);
    bool isBordered() const { return bordered_; }

    // The text's preferred size.
    void getPreferredSize(int& width, int& height) override;
    // The field's frame, then the text and the button.
    void draw(Graphics& g) override;
    virtual void popupOpened() {}
    virtual void popupClosed() {}

    ComboInternals& internals() const { return *internals_; }

private:
    ComboInternals* internals_;
    int selected_ = -1;
    bool bordered_ = true;
};

}  // namespace pellium
