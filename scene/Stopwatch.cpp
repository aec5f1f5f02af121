#include "scene/Stopwatch.h"

#include "base/Clock.h"

namespace kessa {

namespace {

struct Clock {
    Stopwatch::TimeSource now = orvel::getTime;
    bool paused = false;
    double pauseStart = 0;
    double startOffset = 0;
    double elapsed = 0;
    double lastTick = 0;
    // Whether a tick was made: the first may well read game time 0.
    bool ticked = false;
    double previousFrame = 0;
    double frameDelta = 0;
};

Clock state;

}  // namespace

double Stopwatch::elapsed() {
    if (!state.paused)
        state.elapsed = state.now() - state.startOffset;
    return state.elapsed;
}

void Stopwatch::tick() {
    elapsed();
    state.frameDelta = state.ticked ? state.elapsed - state.previousFrame : 0.01;
    state.lastTick = state.previousFrame = state.elapsed;
    state.ticked = true;
}

void Stopwatch::pause() {
    // A second pause must not move the start of the pause, or the time
    // between the two would be lost from the game clock at resume.
    if (state.paused)
        return;
    elapsed();
    state.paused = true;
    state.pauseStart = state.now();
}

void Stopwatch::resume() {
    if (!state.paused)
        return;
    state.startOffset += state.now() - state.pauseStart;
    state.paused = false;
}

bool Stopwatch::paused() { return state.paused; }

double Stopwatch::lastTick() { return state.lastTick; }

double Stopwatch::frameDelta() { return state.frameDelta; }

void Stopwatch::setTimeSource(TimeSource source) {
    state = Clock();
    if (source)
        state.now = source;
}

}  // namespace kessa
