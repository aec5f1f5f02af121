#include "scene/render/TextureInternals.h"

#include <GL/gl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

#include "base/Debug.h"
#include "gui/gl/ImageReader.h"
#include "scene/Stopwatch.h"
#include "scene/render/Texture.h"

namespace kessa {

namespace {

using GLtexturePtr = orvel::counted_ptr<pellium::GLtexture>;

std::vector<TextureInternals*>& known() {
    static std::vector<TextureInternals*> list;
    return list;
}

// GL textures of files, by cache key. They are shared by every texture of
// equal file and options for the life of the process.
std::map<orvel_string, GLtexturePtr>& glCache() {
    static auto* cache = new std::map<orvel_string, GLtexturePtr>;
    return *cache;
}

unsigned loadCounter = 0;

void configure(pellium::GLtexture& gl, const Texture& t) {
    gl.setCompressed();
    if (t.clampS() || t.clampT()) {
        if (t.border())
            gl.setClamp(pellium::GLtexture::ClampWithBorder, t.borderColour());
        else
            gl.setClamp(pellium::GLtexture::ClampToEdge, 0);
    }
    if (t.mipmapped())
        gl.setAnisotropy(0);
    else
        gl.setFilterModes(0, 0);
    if (t.scaleV() < 1.0f)
        gl.setFadeMipmaps();
}

// The black texture of files that cannot be found: made once, kept to the end.
const GLtexturePtr& fallback() {
    static auto* texture = [] {
        auto* t = new GLtexturePtr(new pellium::GLtexture);
        pellium::Image black(16, 16);
        black.fill(0xFF000000);
        (*t)->setImage(black);
        return t;
    }();
    return *texture;
}

// The name with its last run of digits counted up by one (9 carries to the
// left); false when there is no run, or the count carries past its first digit.
bool nextInSequence(orvel_string& name) {
    int end = int(name.size()) - 1;
    while (end >= 0 && !std::isdigit((unsigned char)name[unsigned(end)]))
        --end;
    if (end < 0)
        return false;
    for (int i = end; i >= 0 && std::isdigit((unsigned char)name[unsigned(i)]); --i) {
        char& c = name[unsigned(i)];
        if (c != '9') {
            ++c;
            return true;
        }
        c = '0';
    }
    return false;
}

}  // namespace

TextureInternals::TextureInternals(Texture* t) : texture(t) { known().push_back(this); }

TextureInternals::~TextureInternals() {
    std::vector<TextureInternals*>& list = known();
    list.erase(std::find(list.begin(), list.end(), this));
}

int TextureInternals::knownCount() { return int(known().size()); }

GLtexturePtr TextureInternals::fileFrame(const orvel_string& file) {
    pellium::ImageReader* reader = pellium::ImageReader::current();
    GLtexturePtr& entry = glCache()[texture->cacheKey(reader->resolve(file))];
    if (!entry) {
        entry = GLtexturePtr(new pellium::GLtexture);
        configure(*entry, *texture);
        pellium::Image picture = reader->read(file);
        if (!picture.empty())
            entry->setImage(picture);
    }
    if (entry->width() > 0) {
        width = entry->width();
        height = entry->height();
    }
    return entry;
}

void TextureInternals::load() {
    if (!image.empty()) {
        GLtexturePtr gl(new pellium::GLtexture);
        configure(*gl, *texture);
        gl->setImage(image);
        width = image.width();
        height = image.height();
        frames.assign(1, gl);
        return;
    }
    pellium::ImageReader* reader = pellium::ImageReader::current();
    orvel_string file = texture->file().str();
    if (reader && !file.empty()) {
        if (!texture->sequence()) {
            if (reader->exists(file))
                frames.push_back(fileFrame(file));
        } else {
            // A name without digits is a sequence of one picture.
            bool more = reader->exists(file);
            while (more) {
                frames.push_back(fileFrame(file));
                more = nextInSequence(file) && reader->exists(file);
            }
        }
    }
    if (frames.empty()) {
        frames.push_back(fallback());
        width = height = 16;
    }
}

void TextureInternals::bind() {
    if (frames.empty()) {
        loadCounter += 8;
        loadStamp = loadCounter;
        // Always gives at least one frame: the fallback when nothing else.
        load();
    }
    std::size_t frame = 0;
    if (frames.size() > 1) {
        if (texture->cycleTime() != cycleTime) {
            cycleTime = texture->cycleTime() == 0 ? 0.01f : texture->cycleTime();
            inverseCycle = 1 / cycleTime;
        }
        const double position =
            double(frames.size()) * std::fmod(Stopwatch::lastTick(), double(cycleTime)) * inverseCycle;
        // Rounding may land on the count itself, and a clock before 0 below 0.
        frame = position > 0 ? std::min(std::size_t(position), frames.size() - 1) : 0;
    }
    frames[frame]->bind();
    dirty = false;
}

void TextureInternals::bindAll() {
    orvel::debug("Binding white textures...\n");
    Texture::whiteTexture(false)->bind();
    Texture::whiteTexture(true)->bind();
    orvel::debug("Loading texture files...\n");
    for (TextureInternals* internals : known())
        internals->texture->bind();
}

}  // namespace kessa
