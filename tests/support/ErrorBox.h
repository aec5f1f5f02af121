// An error box another program shows, met on the X display as a person meets
// it: found by its title, looked at, and answered with the real pointer.
#pragma once

#include <sys/types.h>

#include <string>

namespace support {

// As a person meets the box titled so, which the child shows: it appears,
// shows its message (in its upper half) and its button (what differs from
// the background in its lower half), and waits; then its button is clicked
// with the real pointer. What was seen, in words, ending with how the child
// ended ("answered" for exit code 0). Whatever was seen, the child is ended
// at the deadline.
std::string pressButtonOfBox(const std::string& title, pid_t child);

}  // namespace support
