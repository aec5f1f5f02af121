// Thread priority indices, from lowest to highest. A thread started with
// `normal` or with a value outside 0..4 keeps the priority it inherits.
#pragma once

namespace orvel {

struct ThreadPriority {
    enum Index : int { lowest = 0, belowNormal = 1, normal = 2, aboveNormal = 3, highest = 4 };

    // Whether an index changes a new thread's priority.
    static bool changes(int index) { return index >= lowest && index <= highest && index != normal; }
    // The system level of an index: -2 (lowest) to 2 (highest).
    static int level(int index) { return index - normal; }
};

}  // namespace orvel
