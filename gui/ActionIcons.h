// The standard toolbar pictures the program carries itself.
#pragma once

#include "gui/gl/Image.h"

namespace pellium {

// The picture of a cell of the standard toolbar strip (0 cut, 1 copy,
// 2 paste, 3 undo, 4 redo, 5 delete, 6 new, 7 open, 8 save), 16 x 16 with a
// see-through background; empty for any other cell.
Image storedToolbarIcon(int cell);

}  // namespace pellium
