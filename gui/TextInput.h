// The toolkit's single-line text editor: a caret, a selection made with the
// mouse or with Shift and the cursor keys, horizontal scrolling, the
// clipboard commands, unlimited undo and redo, a right-click edit menu and a
// message after every key it handles (detail 1 after Enter and Tab, else 0).
// The text is the component's label; setting it never parses shortcuts.
// Only printable characters of the code page's lower half (32 .. 126) are
// typed, pasted or inserted.
#pragma once

#include <memory>

#include "gui/Component.h"

namespace pellium {

class TextInputInternals;

class TextInput : public Component {
public:
    TextInput();
    ~TextInput() override;

    void setText(const char* text) { setLabel(text, false); }
    void setText(const orvel_string& text) { setLabel(text.c_str(), false); }
    // The preferred width in characters.
    void setColumns(int columns) { columns_ = columns; }
    // -1: no limit. A longer text set from the program stays, but takes no
    // more typing or pasting.
    void setMaxLength(int length) { maxLength_ = length; }
    int getMaxLength() const { return maxLength_; }
    // Drawn with the widget renderer's field frame and 6 pixels of padding
    // across; otherwise a plain outline and 2.
    void setBordered(bool bordered) { bordered_ = bordered; }
    // A flag kept for callers that set it; editing does not depend on it.
    void setOption(bool option) { option_ = option; }
    int getCursorPosition() const;

    // Scrolls back to the start, clears the selection and keeps the caret
    // and a drag's anchor within the text; a change made from outside a key
    // or an edit command empties the undo and redo stacks.
    void setLabel(const char* text, bool parseShortcut) override;
    void getPreferredSize(int& width, int& height) override;
    void getRenderInfo(int& kind, int& state) override;
    void draw(Graphics& g) override;
    void handleEvent(const Event& event) override;
    // Keys the field has no use for go on as any component's.
    void handleKey(const Event& event) override;
    void focusGained() override;
    void focusLost() override;

    // Where a field's text begins: x half a reference character's width in
    // from the frame (3 pixels, 1 without a border), y the baseline with the
    // ascent centred in the height.
    static void textOrigin(const Rect& bounds, const Font* font, int referenceChar, bool bordered, int& x, int& y);
    // This field's.
    void origin(int& x, int& y);

    TextInputInternals& internals() const { return *internals_; }

private:
    std::unique_ptr<TextInputInternals> internals_;
    bool bordered_ = true;
    int columns_ = 16;
    int maxLength_ = -1;
    char referenceLetter_ = 'x';
    bool option_ = true;
};

}  // namespace pellium
