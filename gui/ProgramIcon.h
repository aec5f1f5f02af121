// The program's icon (resource 101): our own picture, large for task lists
// and small for title bars. Every window carries it from its class record,
// and the drag-icon query answers with it.
#pragma once

#include "gui/gl/Image.h"
#include "platform/Windows.h"

namespace pellium {

constexpr int programIconResource = 101;
constexpr int largeIconSide = 32, smallIconSide = 16;

// The picture of an icon resource at one of its sizes; empty for an id or a
// size the program has none of.
Image iconResource(int id, int side);

// The program's icon in both sizes, as windows show it; made on first use.
platform::IconId programIcon();

}  // namespace pellium
