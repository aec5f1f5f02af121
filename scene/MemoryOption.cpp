#include "scene/MemoryOption.h"

namespace kessa {

namespace {

bool memorySaving = false;

}  // namespace

void enablePolygonArena() { memorySaving = true; }

void disablePolygonArena() { memorySaving = false; }

bool optionFlag() { return memorySaving; }

}  // namespace kessa
