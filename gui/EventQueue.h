// The main loop's pass and the one window procedure of every toolkit window.
// The procedure turns native messages into events on one process-wide queue;
// a pass of the loop takes the next event without ever waiting, and when
// there is none it polls the updatables, repaints dirty windows and idles.
#pragma once

#include "gui/Event.h"
#include "platform/Messages.h"

namespace pellium {

class Idler;

// One pass of the loop; false when no window is open any more.
bool getNextEvent(Event& event, Idler* idler);
void dispatchEvent(Event& event);

// The state of left Shift, right Shift, left Ctrl or right Ctrl (Key::LeftShift
// .. Key::RightCtrl); false for any other code.
bool isModifierDown(int code);

// Whether the application is active (it started inactive; events other than
// activation are delivered only while it is active).
bool isApplicationActive();

long WindowProc(const platform::Message& message);

}  // namespace pellium
