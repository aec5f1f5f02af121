// A container bound to one native window. The toolkit keeps every window in
// one list, routes the events of the queue to the component under the
// pointer, the one holding the mouse or the one with the keyboard focus, and
// destroys closed native windows at the end of each loop pass.
#pragma once

#include <memory>

#include "gui/Container.h"
#include "platform/Messages.h"

namespace pellium {

class Graphics;
class PopupController;
class gdiGraphics;
struct WindowInternals;

class Window : public Container {
public:
    enum Type { TopLevel = 0, Popup = 1, Subwindow = 2, FullScreen = 3 };
    // Popup anchors: no anchor, and against the far screen edge.
    static constexpr int noAnchor = 109821989;
    static constexpr int farEdge = 109821990;

    explicit Window(Window* parent = nullptr);
    ~Window() override;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    void setWindowType(int type);
    int getWindowType() const;
    void setParentWindow(Window* parent);
    Window* getParentWindow() const;
    void setMonitor(int index);
    void setShadow();
    void setPopupAnchor(int x, int y);
    void setResizable(bool resizable);
    void setOpenGL(bool opengl);
    // Stores the display mode the window takes when it opens full screen, and
    // asks the system whether it can be set.
    void setScreenMode(int resolution, int depth, int refresh);
    bool modeWasChanged() const;
    void setTitle(const char* title);

    // A subwindow moves its native window too.
    void setBounds(const Rect& bounds) override;
    bool isWindow() const override { return true; }
    void setSize(int width, int height);

    // The style bits of the class record a window opens with, by the system's numbers.
    enum ClassStyle : unsigned {
        verticalRedraw = 0x1,
        horizontalRedraw = 0x2,
        ownDC = 0x20,
        saveBits = 0x800,
        dropShadow = 0x20000
    };

    void open();
    // Closes child windows first (an open popup through its owner), hides
    // this one and destroys its native window at the end of the loop pass.
    void close();
    bool isOpen() const;
    // The class record's style the window last opened with; 0 before it opens.
    unsigned classStyle() const;
    platform::WindowId getHWND() const;
    bool isBlocked() const;
    void setBlocked(bool blocked);
    // Marks the window for a repaint in the next idle pass.
    void invalidate();
    bool isDirty() const;
    // Draws the whole window now: through paintGL for an OpenGL window, else
    // through paint on the window's graphics object.
    void repaint();
    // The window's own graphics object; its back buffer holds what the window shows.
    gdiGraphics& graphics() const;

    void setDefaultButton(Component* button);
    void setCancelButton(Component* button);
    Component* getDefaultButton() const;
    Component* getCancelButton() const;

    // The last pointer position in client coordinates, bottom-up.
    int lastPointerX() const;
    int lastPointerY() const;

    // Tab moves the keyboard focus to the next widget that takes it (Shift+Tab
    // to the one before); a shortcut key goes to the component whose shortcut
    // letter it is; other keys as any component's.
    void handleKey(const Event& event) override;

    // Routes one event of the queue into the component tree.
    void handleWindowEvent(Event& event);

    // Fills the window with the widget face colour.
    virtual void drawBackground(Graphics& g);
    // The background, then the children.
    void draw(Graphics& g) override;
    virtual void paintGL() {}
    // Lays the window out and draws it.
    virtual void paint(Graphics& g);
    virtual void onClose() {}

    // Process-wide routing.
    static void setMouseGrab(Component* component);
    static Component* getMouseGrab();
    static void setKeyboardFocus(Window* window, Component* component);
    static Component* getKeyboardFocus();
    static void setActivePopup(PopupController* controller);
    static PopupController* getActivePopup();
    static void closeActivePopup();
    static void forgetComponent(Component* component);
    static Component* getPointerComponent();

    // The window list.
    static bool isWindow(Window* window);
    static Window* findWindow(platform::WindowId handle);
    static bool anyWindowOpen();
    static int repaintDirtyWindows();
    static void destroyClosedWindows();

    WindowInternals& internals() const { return *internals_; }

private:
    void destroyNative();
    // Logs the search and hands the event to the component with that shortcut letter.
    void deliverShortcut(const Event& event);
    std::unique_ptr<WindowInternals> internals_;
};

}  // namespace pellium
