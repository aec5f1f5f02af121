// The combo box's popup: a window holding a pane of the entries in a scroll
// pane, one item an entry.
#pragma once

#include "gui/Container.h"
#include "gui/MessageDest.h"
#include "gui/Window.h"

namespace pellium {

class ComboBox;
class ComboBoxInfo;

// The popup window of the entries.
class ComboBoxList : public Window {
public:
    ComboBoxList(ComboBox& combo, int rows, ComboBoxInfo* info);
    // The window colour, outlined in the shadow colour.
    void drawBackground(Graphics& g) override;
};

// The list's content: the entries in a scroll pane; it hears the chosen one.
class ComboBoxPane : public Container, public MessageDest {
public:
    ComboBoxPane(ComboBox& combo, int rows, ComboBoxInfo* info);
    void message(Component* source, int id, int detail) override;
    // The size the list wants for its rows.
    int listWidth = 0, listHeight = 0;

private:
    ComboBox& combo_;
};

class ComboBoxItem : public Component {
public:
    ComboBoxItem(ComboBox& combo, int index, ComboBoxInfo* info);
    void getPreferredSize(int& width, int& height) override;
    void draw(Graphics& g) override;
    // Highlighted while the pointer is on it; a release chooses it.
    void handleEvent(const Event& event) override;

private:
    ComboBox& combo_;
    int index_;
    bool hot_ = false;
};

}  // namespace pellium
