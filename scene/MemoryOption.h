// The memory-saving switch: while on, polygon records come from arenas and an
// object frees its frame table when it is cleaned. The program's start-up
// turns it on once, before any scene is loaded.
#pragma once

namespace kessa {

void enablePolygonArena();
bool optionFlag();

}  // namespace kessa
