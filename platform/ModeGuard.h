// The way back to a monitor's display mode, kept ready for a process that
// dies of a signal: an X mode change outlives its client, so a crash, an
// abort or an interrupt in full screen would leave the display switched. The
// way back is a request prepared before the switch and written straight to
// an X connection of its own, so the signal handler calls nothing that is
// unsafe there. Shared by the layer's display files only.
#pragma once

namespace platform {
namespace modeguard {

// Before a mode switch of the monitor whose top-left corner is at (x, y):
// remembers how the monitor is set now (unless it already is remembered) and
// watches the fatal signals from then on.
void remember(int monitor, int x, int y);
// After a switch (harmless when none happened): takes the server's
// configuration time the way back needs.
void switched();
// The monitor shows its own mode again: nothing to put back.
void forget(int monitor);

}  // namespace modeguard
}  // namespace platform
