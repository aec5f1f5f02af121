// The engine clock: seconds of game time, which stand still while the game is
// paused. The game ticks it once per frame; textures, particles and the mouse
// controllers read the frame time and the step from the last frame.
#pragma once

namespace kessa {

class Stopwatch {
public:
    using TimeSource = double (*)();

    // Game time now (the time at pausing while paused).
    static double elapsed();
    // Starts a frame: records the game time and the step since the last frame
    // (0.01 s for the first frame, 0 while paused).
    static void tick();
    static void pause();
    static void resume();

    static bool paused();
    // Game time of the last tick, 0 before the first.
    static double lastTick();
    // Step between the last two ticks.
    static double frameDelta();

    // Reads real time from source (orvel::getTime when null) and starts the
    // clock afresh. Lets tests drive the clock.
    static void setTimeSource(TimeSource source);
};

}  // namespace kessa
