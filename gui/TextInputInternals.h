// The editing state of a text input: caret, first character shown,
// selection, mouse drag, and the undo and redo stacks; the editing
// operations; and the receiver of the edit menu's commands.
#pragma once

#include <vector>

#include "base/orvel_string.h"
#include "gui/MessageDest.h"

namespace pellium {

class Font;
struct Event;
class PopupMenu;
class TextInput;

class TextInputInternals : public MessageDest {
public:
    // What undo and redo bring back.
    struct State {
        orvel_string text;
        int cursor, firstVisible, selectionStart, selectionEnd;
    };

    explicit TextInputInternals(TextInput& owner) : owner(owner) {}
    // Closes the edit menu while it is open for this field.
    ~TextInputInternals() override;

    // The edit menu's commands, by the standard actions' ids.
    void message(Component* source, int id, int detail) override;

    // After the label changed: back to the start, no selection, the caret
    // and the drag anchor within the text, and (unless recording) no undo or redo.
    void labelChanged();

    bool hasSelection() const { return selectionStart >= 0; }
    // The selection between two places, in either order; none when equal.
    void select(int a, int b);
    void clearSelection() { selectionStart = selectionEnd = -1; }
    // The caret to p, extending or shrinking the selection with Shift.
    void moveTo(const Event& event, int p);

    void deleteSelection();
    void backspace();
    void deleteForward();
    // Up to the first character that is not printable, and no further than
    // the maximum length allows.
    void insert(const char* text);
    void copy();
    void cut();
    void paste();
    void selectAll();
    void saveState();
    void undo();
    void redo();

    // The character index whose left edge lies nearest to window x.
    int hitTest(int x) const;
    // Shows more text on the left while it fits, then keeps the caret of a
    // focused field within the visible width; never past the caret.
    void scroll(const Font& font, int visibleWidth);

    // The edit menu, made on first use and kept for the process, its items
    // sent to this field and enabled by its state.
    PopupMenu* editMenu();

    TextInput& owner;
    int length = 0;
    bool focused = false;
    bool focusedBeforeClick = false;
    int cursor = 0;
    int firstVisible = 0;
    int selectionStart = -1, selectionEnd = -1;
    int anchor = 0;
    bool dragging = false;
    std::vector<State> undoStack, redoStack;
    bool recording = false;

private:
    void setText(const orvel_string& text);
    void restore(const State& state);
    State current() const;
    // Undo and redo: the newest state of from comes back, the present one goes on to.
    void stepBack(std::vector<State>& from, std::vector<State>& to);
};

}  // namespace pellium
