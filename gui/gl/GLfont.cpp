#include "gui/gl/GLfont.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <vector>

#include "base/Clock.h"
#include "base/Debug.h"
#include "gui/gl/GLcaps.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLdraw.h"
#include "gui/gl/GLextensions.h"
#include "gui/gl/GLmatrix.h"
#include "platform/GLContext.h"

namespace pellium {

// What begin changes, as it found it.
struct SavedTextState {
    GLint matrixMode = GL_MODELVIEW;
    GLfloat projection[16] = {};
    GLfloat modelview[16] = {};
    GLboolean blend = GL_FALSE, lighting = GL_FALSE, texture2D = GL_FALSE, depthTest = GL_FALSE,
              alphaTest = GL_FALSE;
    GLint alphaFunc = GL_ALWAYS;
    GLfloat alphaRef = 0;
    GLint texture = 0;
};

struct GLfontInternals {
    int first = 32;
    int last = 126;
    bool outline = false;
    GLuint texture = 0;
    bool tried = false;
    GlyphAtlas atlas;
    // Reused by every draw: four corners a character.
    std::vector<float> texCoords;
    std::vector<uint32_t> colours;
    std::vector<float> positions;
    int depth = 0;  // begin calls not yet ended
    SavedTextState saved;
};

namespace {

void setCapability(GLenum cap, GLboolean on) {
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

}  // namespace

GLfont::GLfont(const FontKey& key, int first, int last, bool outline) : Font(key), gl_(new GLfontInternals) {
    gl_->first = first;
    gl_->last = last;
    gl_->outline = outline;
}

GLfont::~GLfont() {
    if (gl_->texture && platform::currentGLContext())
        glDeleteTextures(1, &gl_->texture);
}

int GLfont::first() const { return gl_->first; }
int GLfont::last() const { return gl_->last; }
bool GLfont::outline() const { return gl_->outline; }
const GlyphAtlas& GLfont::atlas() const { return gl_->atlas; }
unsigned GLfont::textureName() const { return gl_->texture; }

bool GLfont::buildTexture() {
    GLfontInternals& g = *gl_;
    g.tried = true;
    if (!ensureContext(nullptr))
        return false;
    const double start = orvel::getTime();
    g.atlas.build(*this, g.first, g.last, g.outline);
    if (glVerbose)
        orvel::debug("Font grab took: %f\n", orvel::getTime() - start);
    if (g.atlas.empty())
        return false;

    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glGenTextures(1, &g.texture);
    glBindTexture(GL_TEXTURE_2D, g.texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    const Image& picture = g.atlas.image();
    const int w = g.atlas.width();
    const int h = g.atlas.height();
    auto compressedUpload = reinterpret_cast<PFNGLCOMPRESSEDTEXIMAGE2DARBPROC>(
        getGLSniffer().hasExtension("GL_EXT_texture_compression_s3tc")
            ? platform::glProcAddress("glCompressedTexImage2DARB")
            : nullptr);
    GLenum requested;
    if (compressedUpload) {
        requested = GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
        const std::vector<uint8_t> blocks = encodeGlyphDxt1(picture);
        compressedUpload(GL_TEXTURE_2D, 0, requested, w, h, 0, GLsizei(blocks.size()), blocks.data());
    } else {
        requested = GL_LUMINANCE4_ALPHA4;
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        // White and transparent black read the same in either byte order.
        glTexImage2D(GL_TEXTURE_2D, 0, GLint(requested), w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, picture.constPixels());
    }
    GLint actual = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &actual);
    if (GLenum(actual) != requested)
        orvel::debug("!!! glFont() - internal format didn't match\n");
    glBindTexture(GL_TEXTURE_2D, GLuint(previous));
    return true;
}

bool GLfont::begin(const GLRenderInfo& info) {
    GLfontInternals& g = *gl_;
    if (!g.tried)
        buildTexture();
    if (!g.texture)
        return false;
    if (g.depth++ > 0)
        return true;
    SavedTextState& s = g.saved;
    glGetIntegerv(GL_MATRIX_MODE, &s.matrixMode);
    glGetFloatv(GL_PROJECTION_MATRIX, s.projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview);
    s.blend = glIsEnabled(GL_BLEND);
    s.lighting = glIsEnabled(GL_LIGHTING);
    s.texture2D = glIsEnabled(GL_TEXTURE_2D);
    s.depthTest = glIsEnabled(GL_DEPTH_TEST);
    s.alphaTest = glIsEnabled(GL_ALPHA_TEST);
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &s.alphaFunc);
    glGetFloatv(GL_ALPHA_TEST_REF, &s.alphaRef);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.texture);

    setPixelProjection(info);
    glEnable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.2f);
    glBindTexture(GL_TEXTURE_2D, g.texture);
    return true;
}

void GLfont::end(const GLRenderInfo&) {
    GLfontInternals& g = *gl_;
    if (g.depth == 0 || --g.depth > 0)
        return;
    const SavedTextState& s = g.saved;
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(s.projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(s.modelview);
    glMatrixMode(GLenum(s.matrixMode));
    setCapability(GL_BLEND, s.blend);
    setCapability(GL_LIGHTING, s.lighting);
    setCapability(GL_TEXTURE_2D, s.texture2D);
    setCapability(GL_DEPTH_TEST, s.depthTest);
    setCapability(GL_ALPHA_TEST, s.alphaTest);
    glAlphaFunc(GLenum(s.alphaFunc), s.alphaRef);
    glBindTexture(GL_TEXTURE_2D, GLuint(s.texture));
}

int GLfont::draw(const float* matrix, float x, float y, const char* text, const uint32_t* colours,
                 bool perCharacter) {
    GLfontInternals& g = *gl_;
    if (!text || !*text)
        return 0;
    const bool drawing = g.depth > 0;
    g.positions.clear();
    g.texCoords.clear();
    g.colours.clear();
    int pen = 0;
    for (size_t i = 0; text[i]; ++i) {
        // Unsigned, so that a font reaching past 127 draws its upper characters.
        int c = static_cast<unsigned char>(text[i]);
        if (c < g.first || c > g.last)
            c = g.first;
        if (drawing) {
            const GlyphRecord& r = g.atlas.glyph(c);
            const float left = float(pen), right = float(pen + r.width), top = float(r.height);
            const float corners[8] = {left, 0, right, 0, right, top, left, top};
            g.positions.insert(g.positions.end(), corners, corners + 8);
            g.texCoords.insert(g.texCoords.end(), r.texCoords, r.texCoords + 8);
            g.colours.insert(g.colours.end(), 4, perCharacter ? colours[i] : colours[0]);
        }
        pen += charWidth(c);
    }
    if (!drawing)
        return pen;
    glMatrixMode(GL_MODELVIEW);
    if (matrix) {
        glLoadMatrixf(matrix);
    } else {
        glLoadIdentity();
        glTranslatef(x, y, 0);
    }
    setVertexArray2(g.positions.data(), 0);
    setColorArray(reinterpret_cast<const unsigned char*>(g.colours.data()), 0);
    setTexCoordArray(g.texCoords.data(), 0);
    drawArrays(7, 0, int(g.positions.size() / 2));
    setColorArray(nullptr, 0);
    setTexCoordArray(nullptr, 0);
    return pen;
}

int GLfont::drawString(const GLRenderInfo& info, int x, int y, const char* text, uint32_t colour) {
    const bool open = begin(info);
    const int advance = draw(nullptr, float(x), float(y), text, &colour, false);
    if (open)
        end(info);
    return x + advance;
}

int GLfont::drawColouredString(const GLRenderInfo& info, int x, int y, const char* text, const uint32_t* colours) {
    if (!colours)
        return drawString(info, x, y, text, 0xFFFFFFFFu);
    const bool open = begin(info);
    const int advance = draw(nullptr, float(x), float(y), text, colours, true);
    if (open)
        end(info);
    return x + advance;
}

int GLfont::drawTransformed(const GLRenderInfo& info, const float* matrix, const char* text, uint32_t colour) {
    const bool open = begin(info);
    const int advance = draw(matrix, 0, 0, text, &colour, false);
    if (open)
        end(info);
    return advance;
}

GLfont& defaultGLFont() {
    // Never destroyed: its texture lives in the shared context, which lives
    // for the process too.
    static GLfont* font = new GLfont(FontKey(FontKey::fixedFace, 0, 0), 32, 126, false);
    return *font;
}

}  // namespace pellium
