// How the rest of the program reaches the model library's readers.
#pragma once

namespace modrane {

// Installs the external-database reader as the scene library's read hook
// and makes the texture-file reader the toolkit's current image reader, so
// that scene textures read their files and external databases load. Both
// readers live to the end of the process. Calling it again does no harm.
void setUpModelReading();

}  // namespace modrane
