#include "GLContext.h"

#include <SDL_syswm.h>
#include <GL/glx.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "platform/SdlVideo.h"

namespace platform {

namespace {

struct GLState {
    bool listed = false;
    std::vector<PixelFormat> formats;
    std::string extensions;
    int requested = 0;
    std::map<WindowId, int> windowFormats;  // SDL never reuses a window id
    std::set<WindowId> hidden;
};

GLState& gl() {
    static GLState s;
    return s;
}

int attribute(Display* display, GLXFBConfig config, int name) {
    int value = 0;
    return glXGetFBConfigAttrib(display, config, name, &value) == Success ? value : 0;
}

// Reads the driver's formats once, on a connection of our own: SDL gives out
// its display only through a window, and the list is wanted before any exists.
// The connection stays open: closing it would unload the GL driver it loaded.
void listFormats() {
    GLState& s = gl();
    if (s.listed)
        return;
    s.listed = true;
    const char* driver = sdl::start() ? SDL_GetCurrentVideoDriver() : nullptr;
    if (!driver || std::strcmp(driver, "x11") != 0)
        return;
    static Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    int screen = DefaultScreen(display);
    int count = 0;
    GLXFBConfig* configs = glXGetFBConfigs(display, screen, &count);
    for (int i = 0; i < count; ++i) {
        GLXFBConfig c = configs[i];
        PixelFormat f;
        f.index = i + 1;
        f.visual = unsigned(attribute(display, c, GLX_VISUAL_ID));
        if (attribute(display, c, GLX_RENDER_TYPE) & GLX_RGBA_BIT)
            f.flags |= PixelFormat::SupportOpenGL;
        if ((attribute(display, c, GLX_DRAWABLE_TYPE) & GLX_WINDOW_BIT) && f.visual)
            f.flags |= PixelFormat::DrawToWindow;
        if (attribute(display, c, GLX_DOUBLEBUFFER))
            f.flags |= PixelFormat::DoubleBuffer;
        if (attribute(display, c, GLX_CONFIG_CAVEAT) == GLX_SLOW_CONFIG)
            f.flags |= PixelFormat::Generic;
        f.colorBits = attribute(display, c, GLX_RED_SIZE) + attribute(display, c, GLX_GREEN_SIZE) +
                      attribute(display, c, GLX_BLUE_SIZE);
        f.depthBits = attribute(display, c, GLX_DEPTH_SIZE);
        f.alphaBits = attribute(display, c, GLX_ALPHA_SIZE);
        f.stencilBits = attribute(display, c, GLX_STENCIL_SIZE);
        s.formats.push_back(f);
    }
    if (configs)
        XFree(configs);
    if (const char* e = glXQueryExtensionsString(display, screen))
        s.extensions = e;
}

SDL_Window* sdlWindow(WindowId id) { return id && sdl::start() ? SDL_GetWindowFromID(id) : nullptr; }

unsigned visualOf(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
        return 0;
    XWindowAttributes a;
    if (!XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &a) || !a.visual)
        return 0;
    return unsigned(XVisualIDFromVisual(a.visual));
}

}  // namespace

namespace sdl {

GLFormatScope::GLFormatScope(bool opengl) {
    const PixelFormat* f = opengl ? pixelFormat(gl().requested) : nullptr;
    if (!f)
        return;
    char id[16];
    std::snprintf(id, sizeof id, "%u", f->visual);
    SDL_SetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID, id);
    set_ = true;
}

GLFormatScope::~GLFormatScope() {
    // Windows without OpenGL keep the display's default visual.
    if (set_)
        SDL_SetHint(SDL_HINT_VIDEO_X11_WINDOW_VISUALID, "");
}

}  // namespace sdl

const std::vector<PixelFormat>& pixelFormats() {
    listFormats();
    return gl().formats;
}

const PixelFormat* pixelFormat(int index) {
    const std::vector<PixelFormat>& all = pixelFormats();
    return index >= 1 && index <= int(all.size()) ? &all[size_t(index - 1)] : nullptr;
}

bool requestPixelFormat(int index) {
    const PixelFormat* f = pixelFormat(index);
    if (!f || !(f->flags & PixelFormat::DrawToWindow))
        return false;
    gl().requested = index;
    return true;
}

int windowPixelFormat(WindowId window) {
    SDL_Window* w = sdlWindow(window);
    if (!w || !(SDL_GetWindowFlags(w) & SDL_WINDOW_OPENGL))
        return 0;
    GLState& s = gl();
    auto known = s.windowFormats.find(window);
    if (known != s.windowFormats.end())
        return known->second;
    unsigned visual = visualOf(w);
    int index = 0;
    // Several formats may share a visual: the requested one is the one meant.
    const PixelFormat* requested = pixelFormat(s.requested);
    if (visual && requested && requested->visual == visual) {
        index = requested->index;
    } else {
        for (const PixelFormat& f : pixelFormats())
            if (visual && f.visual == visual) {
                index = f.index;
                break;
            }
    }
    s.windowFormats[window] = index;
    return index;
}

WindowId createHiddenGLWindow(int width, int height) {
    if (!sdl::start())
        return 0;
    sdl::GLFormatScope format(true);
    SDL_Window* w = SDL_CreateWindow("", 0, 0, width < 1 ? 1 : width, height < 1 ? 1 : height,
                                     SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_SKIP_TASKBAR);
    if (!w)
        return 0;
    WindowId id = SDL_GetWindowID(w);
    gl().hidden.insert(id);
    return id;
}

void destroyHiddenGLWindow(WindowId window) {
    GLState& s = gl();
    if (!s.hidden.erase(window))
        return;
    if (SDL_Window* w = sdlWindow(window))
        SDL_DestroyWindow(w);
}

GLContext createGLContext(WindowId window) {
    SDL_Window* w = sdlWindow(window);
    if (!w || !(SDL_GetWindowFlags(w) & SDL_WINDOW_OPENGL))
        return nullptr;
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previous = SDL_GL_GetCurrentContext();
    SDL_GLContext context = SDL_GL_CreateContext(w);
    // SDL binds a new context at once; the caller decides when to bind it.
    if (context)
        SDL_GL_MakeCurrent(previous ? previousWindow : nullptr, previous);
    return context;
}

void deleteGLContext(GLContext context) {
    if (context && sdl::start())
        SDL_GL_DeleteContext(context);
}

bool makeGLCurrent(WindowId window, GLContext context) {
    if (!sdl::start())
        return false;
    if (!context)
        return SDL_GL_MakeCurrent(nullptr, nullptr) == 0;
    SDL_Window* w = sdlWindow(window);
    return w && SDL_GL_MakeCurrent(w, context) == 0;
}

GLContext currentGLContext() { return sdl::start() ? SDL_GL_GetCurrentContext() : nullptr; }

WindowId currentGLWindow() {
    SDL_Window* w = sdl::start() ? SDL_GL_GetCurrentWindow() : nullptr;
    return w && SDL_GL_GetCurrentContext() ? SDL_GetWindowID(w) : 0;
}

void swapGLBuffers(WindowId window) {
    if (SDL_Window* w = sdlWindow(window))
        SDL_GL_SwapWindow(w);
}

bool setSwapInterval(int interval) { return sdl::start() && SDL_GL_SetSwapInterval(interval) == 0; }

void* glProcAddress(const char* name) { return sdl::start() ? SDL_GL_GetProcAddress(name) : nullptr; }

const std::string& windowSystemExtensions() {
    listFormats();
    return gl().extensions;
}

}  // namespace platform
