// The video settings kept in the registry, under the program's key.
#pragma once

namespace game_launcher {

// The program's registry key below "Software\\".
extern const char* const registryKey;

// Turns both video switches on, then takes "Use display lists" and "Enable
// fog" where the registry has them; also turns the scene's level-of-detail
// cross-fading on (that one is not stored).
void readVideoSettings();
// Stores both switches under the same names.
void writeVideoSettings();

}  // namespace game_launcher
