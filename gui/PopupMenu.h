// A popup window listing menu items and separators. It opens at the
// pointer, highlights the item under it, opens an item's submenu after a
// short rest, and closes when an item is chosen or the user presses
// anywhere else.
#pragma once

#include "gui/Updatable.h"
#include "gui/Window.h"

namespace pellium {

class MenuItem;
class MessageDest;

class PopupMenu : public Window, public Updatable {
public:
    // How long the pointer rests on an item before its submenu opens.
    static constexpr double submenuDelay = 0.25;

    PopupMenu();
    ~PopupMenu() override;

    void addItem(MenuItem* item);
    void addSeparator();

    // Opens menu hanging below the event's position as the one popup of the
    // window layer; its items' messages go to their own receivers, dest is the menu's.
    static void popup(const Event& event, PopupMenu* menu, MessageDest* dest);
    // The menu popup opened, while it is open.
    static PopupMenu* current();

    // Opens over parent at (x, y), or on an axis where that leaves the screen
    // at the fallback (Window's anchors); after delay seconds when it is not
    // 0, for an owner whose other submenus then close. An open menu stays as it is.
    void openAt(Window* parent, int x, int y, int fallbackX, int fallbackY, PopupMenu* owner, double delay);
    // Its open submenus first; a pending opening is cancelled.
    void close();
    bool isPending() const { return openTime_ != 0; }
    // Closes the submenus of every item but keep (null: of all).
    void closeSubmenus(MenuItem* keep = nullptr);

    // The open window's size; closed, the items' with a border of 3 around them.
    void getPreferredSize(int& width, int& height) override;
    // Items keep the places openAt gave them.
    void layout() override {}
    void drawBackground(Graphics& g) override;
    // Opens the window once the delay has passed.
    bool update() override;

private:
    void placeItems(int width, int height);
    // Opens the native window and places the items in it.
    void show();

    double openTime_ = 0;
    PopupMenu* owner_ = nullptr;
};

}  // namespace pellium
