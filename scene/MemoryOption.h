// The memory-saving switch: while on, polygon records come from arenas and an
// object frees its frame table when it is cleaned. The program's start-up
// turns it on once, before any scene is loaded.
#pragma once

namespace kessa {

void enablePolygonArena();
// Turns the switch off again, for tools and tests that build scenes both ways
// in one process. Records made meanwhile still go back where they came from.
void disablePolygonArena();
bool optionFlag();

}  // namespace kessa
