#include "TextInput.h"

#include "gui/Graphics.h"
#include "gui/GuiRenderer.h"
#include "gui/PopupMenu.h"
#include "gui/TextInputInternals.h"
#include "gui/gl/Cursor.h"
#include "gui/gl/Font.h"

namespace pellium {

TextInput::TextInput() : internals_(new TextInputInternals(*this)) {
    setLabel("", false);
    setCursor(pellium::getCursor(Cursor::TextBeam));
}

TextInput::~TextInput() = default;

int TextInput::getCursorPosition() const { return internals_->cursor; }

void TextInput::setLabel(const char* text, bool) {
    Component::setLabel(text, false);
    internals_->labelChanged();
}

void TextInput::textOrigin(const Rect& b, const Font* font, int referenceChar, bool bordered, int& x, int& y) {
    x = b.x + (font ? font->charWidth(referenceChar) / 2 : 0) + (bordered ? 3 : 1);
    y = b.y + (b.height - (font ? font->ascent() : 0)) / 2;
}

void TextInput::origin(int& x, int& y) {
    textOrigin(getBounds(), getFont().get(), referenceLetter_, bordered_, x, y);
}

void TextInput::getPreferredSize(int& width, int& height) {
    const Font* font = getFont().get();
    const int padding = bordered_ ? 6 : 2;
    width = (font ? font->charWidth(referenceLetter_) : 0) * (columns_ + 1) + padding;
    height = padding + (font ? 2 * font->descent() + font->height() : 0);
}

void TextInput::getRenderInfo(int& kind, int& state) {
    kind = WidgetKind::textField;
    state = !isEnabled() ? WidgetState::disabled : internals_->focused ? WidgetState::hot : 0;
}

void TextInput::draw(Graphics& g) {
    TextInputInternals& in = *internals_;
    const Rect& b = getBounds();
    if (bordered_) {
        int kind, state;
        getRenderInfo(kind, state);
        GuiRenderer::instance()->drawBackground(g, kind, state, b);
    } else {
        g.setColor(GuiColor::window);
        g.fillRect(b);
        g.setColor(GuiColor::black);
        g.drawRect(b);
    }
    const Font* font = getFont().get();
    if (!font)
        return;
    int ox, oy;
    origin(ox, oy);
    const int visible = b.width - 2 * (ox - b.x);
    in.scroll(*font, visible);
    const bool active = isEnabled() && in.focused;
    const char* text = getLabel().c_str();
    int x = 0, caret = 0;
    for (int i = in.firstVisible; i < in.length; ++i) {
        const int w = font->charWidth(text[i]);
        if (x + w > visible)
            break;
        GuiColor::gui_color colour = isEnabled() ? GuiColor::window_text : GuiColor::gray_text;
        if (active && i >= in.selectionStart && i < in.selectionEnd) {
            g.setColor(GuiColor::selection);
            g.fillRect({ox + x, oy - font->descent() - 1, w + 1, font->height() + 4});
            colour = GuiColor::selection_text;
        }
        g.setColor(colour);
        g.drawChar(text[i], font, ox + x, oy);
        x += w;
    }
    if (!active)
        return;
    for (int i = in.firstVisible; i < in.cursor; ++i)
        caret += font->charWidth(text[i]);
    g.setColor(GuiColor::red);
    g.drawLine(ox + caret, b.y + 3, ox + caret, b.y + b.height - 4);
    g.drawLine(ox + caret + 1, b.y + 3, ox + caret + 1, b.y + b.height - 4);
}

void TextInput::handleEvent(const Event& event) {
    TextInputInternals& in = *internals_;
    switch (event.type) {
    case EventType::LeftDown: {
        in.focusedBeforeClick = in.focused;
        in.focused = in.dragging = true;
        setFocus();
        const int at = in.hitTest(event.x);
        in.anchor = at;
        if (event.shift)
            in.select(in.cursor, at);
        else
            in.clearSelection();
        in.cursor = at;
        focusGained();
        break;
    }
    case EventType::Move: {
        if (!in.dragging)
            return;
        const int at = in.hitTest(event.x);
        if (at != in.cursor) {
            in.cursor = at;
            in.select(in.anchor, at);
        }
        break;
    }
    case EventType::LeftUp:
        in.dragging = false;
        releaseFocus();
        return;
    case EventType::DoubleClick:
        in.selectAll();
        break;
    case EventType::RightDown:
    case EventType::RightUp:
        if (!in.focused) {
            in.cursor = in.hitTest(event.x);
            in.clearSelection();
            focusGained();
        }
        if (event.type == EventType::RightUp) {
            revalidate();
            PopupMenu::popup(event, in.editMenu(), &in);
            return;
        }
        break;
    default:
        return;
    }
    revalidate();
}

void TextInput::handleKey(const Event& event) {
    if (event.type != EventType::Key) {
        Component::handleKey(event);
        return;
    }
    TextInputInternals& in = *internals_;
    const int code = event.code;
    bool handled = true;
    int detail = 0;
    in.recording = true;
    switch (code) {
    case 3: in.saveState(), in.copy(); break;
    case 8: in.saveState(), in.backspace(); break;
    case 9:
    case 13: detail = 1; break;
    case 22: in.saveState(), in.paste(); break;
    case 24: in.saveState(), in.cut(); break;
    case 25: in.redo(); break;
    case 26: in.undo(); break;
    case Key::Left: in.moveTo(event, in.cursor - 1); break;
    case Key::Right: in.moveTo(event, in.cursor + 1); break;
    case Key::Insert:
        if (event.ctrl)
            in.saveState(), in.copy();
        else if (event.shift)
            in.saveState(), in.paste();
        break;
    case Key::Delete:
        if (!event.shift)
            in.saveState(), in.deleteForward();
        else if (in.hasSelection())
            in.saveState(), in.cut();
        break;
    case Key::Home: in.moveTo(event, 0); break;
    case Key::End: in.moveTo(event, in.length); break;
    default:
        // Only the code page's printable lower half: bytes 128 .. 255 are refused.
        handled = code >= 32 && code < 127;
        if (handled) {
            const char typed[2] = {char(code), 0};
            in.saveState();
            in.insert(typed);
        }
    }
    in.recording = false;
    if (!handled) {
        Component::handleKey(event);
        return;
    }
    revalidate();
    sendMessage(detail);
}

void TextInput::focusGained() {
    internals_->focused = true;
    revalidate();
}

void TextInput::focusLost() {
    internals_->focused = false;
    internals_->firstVisible = 0;
    revalidate();
}

}  // namespace pellium
