#include "TextInputInternals.h"

#include <algorithm>
#include <cstdlib>

#include "gui/Clipboard.h"
#include "gui/Event.h"
#include "gui/MenuItem.h"
#include "gui/PelliumAction.h"
#include "gui/PopupMenu.h"
#include "gui/TextInput.h"
#include "gui/Window.h"
#include "gui/gl/Font.h"

namespace pellium {

namespace {

// The field whose edit menu is open, or was last.
TextInputInternals* menuOwner = nullptr;

// Printable: a byte from the space to '~'.
bool printable(char c) { return c >= 32 && c != 127; }

// The menu's commands in their order; 0 stands for a separator.
const int editCommands[] = {PelliumAction::editUndo,  PelliumAction::editRedo,   0,
                            PelliumAction::editCut,   PelliumAction::editCopy,   PelliumAction::editPaste,
                            PelliumAction::editDelete, 0,                        PelliumAction::editSelectAll};

}  // namespace

void TextInputInternals::labelChanged() {
    firstVisible = 0;
    clearSelection();
    length = int(owner.getLabel().length());
    cursor = std::clamp(cursor, 0, length);
    // A drag under way selects from the anchor on: it must lie in the new text too.
    anchor = std::clamp(anchor, 0, length);
    if (!recording) {
        undoStack.clear();
        redoStack.clear();
    }
}

void TextInputInternals::setText(const orvel_string& text) { owner.setLabel(text.c_str(), false); }

void TextInputInternals::select(int a, int b) {
    if (a == b) {
        clearSelection();
        return;
    }
    selectionStart = std::min(a, b);
    selectionEnd = std::max(a, b);
}

void TextInputInternals::moveTo(const Event& event, int p) {
    if (p < 0 || p > length) {
        if (!event.shift)
            clearSelection();
        return;
    }
    if (!event.shift) {
        cursor = p;
        clearSelection();
        return;
    }
    if (p == cursor)
        return;
    const int old = cursor;
    cursor = p;
    if (!hasSelection()) {
        select(old, p);
        return;
    }
    const int s = selectionStart, e = selectionEnd;
    if (p > e)
        select(s, p);
    else if (p < s)
        select(p, e);
    else if (p > old)
        select(p, e);
    else
        select(s, p);
}

void TextInputInternals::deleteSelection() {
    if (!hasSelection())
        return;
    const int s = selectionStart, e = selectionEnd;
    orvel_string text = owner.getLabel();
    text.erase(unsigned(s), unsigned(e - s));
    clearSelection();
    cursor = s;
    setText(text);
}

void TextInputInternals::backspace() {
    if (hasSelection()) {
        deleteSelection();
    } else if (cursor > 0) {
        orvel_string text = owner.getLabel();
        text.erase(unsigned(--cursor), 1);
        setText(text);
    }
}

void TextInputInternals::deleteForward() {
    if (hasSelection()) {
        deleteSelection();
    } else if (cursor < length) {
        orvel_string text = owner.getLabel();
        text.erase(unsigned(cursor), 1);
        setText(text);
    }
}

void TextInputInternals::insert(const char* text) {
    deleteSelection();
    int n = 0;
    while (text[n] && printable(text[n]))
        ++n;
    // A field already at or past its maximum (set from the program) takes
    // nothing more.
    const int most = owner.getMaxLength();
    if (most != -1)
        n = std::min(n, std::max(most - length, 0));
    if (n == 0)
        return;
    orvel_string changed = owner.getLabel();
    changed.insert(unsigned(cursor), text, unsigned(n));
    const int at = cursor + n;
    setText(changed);
    cursor = at;
}

void TextInputInternals::copy() {
    if (!hasSelection())
        return;
    const orvel_string& text = owner.getLabel();
    Clipboard().setText(orvel_string(text.c_str() + selectionStart, unsigned(selectionEnd - selectionStart)).c_str());
}

void TextInputInternals::cut() {
    if (!hasSelection())
        return;
    copy();
    deleteSelection();
}

void TextInputInternals::paste() {
    Clipboard clipboard;
    if (clipboard.hasText())
        insert(clipboard.getText().c_str());
}

void TextInputInternals::selectAll() {
    cursor = length;
    select(0, length);
    if (!focused) {
        focused = true;
        owner.revalidate();
    }
}

TextInputInternals::State TextInputInternals::current() const {
    return {owner.getLabel(), cursor, firstVisible, selectionStart, selectionEnd};
}

void TextInputInternals::saveState() {
    undoStack.push_back(current());
    redoStack.clear();
}

void TextInputInternals::restore(const State& s) {
    setText(s.text);
    cursor = s.cursor;
    firstVisible = s.firstVisible;
    selectionStart = s.selectionStart;
    selectionEnd = s.selectionEnd;
}

void TextInputInternals::undo() { stepBack(undoStack, redoStack); }

void TextInputInternals::redo() { stepBack(redoStack, undoStack); }

void TextInputInternals::stepBack(std::vector<State>& from, std::vector<State>& to) {
    if (from.empty())
        return;
    to.push_back(current());
    State s = std::move(from.back());
    from.pop_back();
    restore(s);
}

int TextInputInternals::hitTest(int x) const {
    const Font* font = owner.getFont().get();
    int edge, y;
    owner.origin(edge, y);
    if (x < edge)
        return std::max(firstVisible - 1, 0);
    const char* text = owner.getLabel().c_str();
    int best = firstVisible, distance = std::abs(x - edge);
    // Distances fall to the nearest edge and rise after it; the first of equals wins.
    for (int i = firstVisible; i < length && font; ++i) {
        edge += font->charWidth(text[i]);
        if (std::abs(x - edge) >= distance)
            break;
        best = i + 1;
        distance = std::abs(x - edge);
    }
    return best;
}

void TextInputInternals::scroll(const Font& font, int visibleWidth) {
    const char* text = owner.getLabel().c_str();
    firstVisible = std::clamp(firstVisible, 0, length);
    int rest = 0;
    for (int i = firstVisible; i < length && rest < visibleWidth; ++i)
        rest += font.charWidth(text[i]);
    while (firstVisible > 0 && rest < visibleWidth) {
        const int w = font.charWidth(text[firstVisible - 1]);
        if (rest + w > visibleWidth)
            break;
        rest += w;
        --firstVisible;
    }
    if (!focused)
        return;
    firstVisible = std::min(firstVisible, cursor);
    int caret = 0;
    for (int i = firstVisible; i < cursor; ++i)
        caret += font.charWidth(text[i]);
    // However narrow the field, the caret's own character stays the first shown.
    while (caret > visibleWidth && firstVisible < cursor)
        caret -= font.charWidth(text[firstVisible++]);
}

TextInputInternals::~TextInputInternals() {
    if (menuOwner == this && PopupMenu::current())
        Window::closeActivePopup();
    if (menuOwner == this)
        menuOwner = nullptr;
}

PopupMenu* TextInputInternals::editMenu() {
    // Kept for the process; its items are sent to the field that opens it.
    static PopupMenu* menu = nullptr;
    menuOwner = this;
    if (!menu) {
        menu = new PopupMenu;
        for (int id : editCommands) {
            if (id)
                menu->addItem(new MenuItem(PelliumAction::get(id), this));
            else
                menu->addSeparator();
        }
    }
    bool pasteable = false;
    {
        Clipboard clipboard;
        pasteable = clipboard.hasText() && !clipboard.getText().empty();
    }
    for (const auto& child : menu->children()) {
        auto* item = dynamic_cast<MenuItem*>(child.get());
        if (!item)
            continue;
        const int id = item->getAction()->id();
        item->setMessageDest(this, id);
        item->setHot(false);
        switch (id) {
        case PelliumAction::editCut:
        case PelliumAction::editCopy:
        case PelliumAction::editDelete: item->setEnabled(hasSelection()); break;
        case PelliumAction::editPaste: item->setEnabled(pasteable); break;
        case PelliumAction::editUndo: item->setEnabled(!undoStack.empty()); break;
        case PelliumAction::editRedo: item->setEnabled(!redoStack.empty()); break;
        default: item->setEnabled(length > 0); break;
        }
    }
    return menu;
}

void TextInputInternals::message(Component*, int id, int) {
    recording = true;
    switch (id) {
    case PelliumAction::editCopy: saveState(), copy(); break;
    case PelliumAction::editCut:
        if (hasSelection())
            saveState(), cut();
        break;
    case PelliumAction::editPaste: saveState(), paste(); break;
    case PelliumAction::editDelete: saveState(), deleteForward(); break;
    case PelliumAction::editUndo: undo(); break;
    case PelliumAction::editRedo: redo(); break;
    case PelliumAction::editSelectAll: saveState(), selectAll(); break;
    default: break;
    }
    recording = false;
    owner.focusGained();
    owner.revalidate();
}

}  // namespace pellium
