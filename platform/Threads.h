// Thread identity and scheduling. Linux gives ordinary threads no priority of
// their own; the nearest thing is a per-thread nice value. Lowering it is
// always allowed, raising it needs privileges, so callers treat it as best
// effort.
#pragma once

namespace platform {

// The kernel's id of the calling thread.
int currentThreadId();
// The nice value of a thread of this process, from -20 (runs first) to 19.
int threadNice(int threadId);
// Sets a thread's nice value, clamped to -20..19. False when the system
// refuses (raising without privileges) or the thread has ended.
bool setThreadNice(int threadId, int nice);

}  // namespace platform
