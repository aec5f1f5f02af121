// A window manager's claim on the screen, and nothing more: the selection
// WM_S<screen> held by a window of a connection of its own, for as long as
// this lives. The platform layer leaves the keyboard to whoever holds it.
#pragma once

#include <memory>

namespace support {

class WindowManagerClaim {
public:
    WindowManagerClaim();
    ~WindowManagerClaim();
    WindowManagerClaim(const WindowManagerClaim&) = delete;
    WindowManagerClaim& operator=(const WindowManagerClaim&) = delete;

private:
    struct Connection;
    std::unique_ptr<Connection> connection_;
};

}  // namespace support
