// Drawing a GL client into an image instead of a window: a framebuffer
// object of the image's size on the shared render context, read back into
// the image's pixels.
#pragma once

namespace pellium {

class GLclient;
class Image;

// Renders the client into the image: rows bottom-up, as the image keeps
// them, every pixel opaque. One framebuffer serves every render of the same
// size and is made again for a new size. No context is current afterwards,
// so the next window paint binds its own and sets GL up again. False, with
// a log line saying why and no GL error left pending, when nothing could be
// rendered.
bool renderBitmap(Image& image, GLclient& client);

}  // namespace pellium
