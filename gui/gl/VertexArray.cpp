#include "VertexArray.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>

#include "base/Debug.h"
#include "gui/ErrorStage.h"
#include "gui/gl/GLcontext.h"
#include "gui/gl/GLdraw.h"
#include "gui/gl/GLextensions.h"
#include "gui/gl/GLstate.h"

namespace pellium {

namespace {

// What the array buffer holds.
enum Layout : unsigned { HasVertices = 1, HasColors = 2, HasNormals = 4, HasTex0 = 64, HasTex1 = 128 };

const void* const notSet = reinterpret_cast<const void*>(~std::uintptr_t(0));

// GL's client-array state as buffer-object draws left it.
struct ArrayState {
    GLuint arrayBuffer = 0, indexBuffer = 0;
    const void* vertex = notSet;
    const void* color = notSet;
    const void* normal = notSet;
    const void* tex[2] = {notSet, notSet};
    unsigned mask = 0;  // the enabled arrays, as Layout bits
    bool live = false;

    void forgetPointers() { vertex = color = normal = tex[0] = tex[1] = notSet; }
};

ArrayState arrays;

void clientArray(GLenum array, bool on) {
    if (on)
        glEnableClientState(array);
    else
        glDisableClientState(array);
}

// Unit 0's arrays are reachable even without multitexturing: it is the only unit then.
bool selectClientUnit(int unit) { return selectClientTextureUnit(unit) || unit == 0; }

void texCoordArray(int unit, bool on) {
    if (selectClientUnit(unit))
        clientArray(GL_TEXTURE_COORD_ARRAY, on);
}

void resetArrayState() {
    arrays.forgetPointers();
    arrays.arrayBuffer = arrays.indexBuffer = 0;
    const VBOEntryPoints* vbo = loadVBOExtensions();
    glEnableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    texCoordArray(1, false);
    texCoordArray(0, false);
    if (vbo) {
        vbo->bindBuffer(GL_ARRAY_BUFFER_ARB, 0);
        vbo->bindBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    }
    arrays.mask = HasVertices;
}

// A pointer is an offset into whatever buffer is bound when it is sent, so a
// new binding makes every cached pointer worthless.
void bindArrayBuffer(const VBOEntryPoints* vbo, GLuint name) {
    if (arrays.arrayBuffer == name)
        return;
    vbo->bindBuffer(GL_ARRAY_BUFFER_ARB, name);
    arrays.arrayBuffer = name;
    arrays.forgetPointers();
}

void bindIndexBuffer(const VBOEntryPoints* vbo, GLuint name) {
    if (arrays.indexBuffer == name)
        return;
    vbo->bindBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, name);
    arrays.indexBuffer = name;
}

const void* offset(size_t bytes) { return reinterpret_cast<const void*>(bytes); }

template <typename T>
void copyInto(std::vector<T>& to, const T* from, size_t n) {
    to.assign(from, from + n);
}

template <typename T>
void freeVector(std::vector<T>& v) {
    std::vector<T>().swap(v);
}

}  // namespace

struct VertexArrayInternals {
    int count = 0;
    std::vector<float> vertices, normals, tex[2];
    std::vector<unsigned char> colors;
    std::vector<std::uint32_t> indices32;
    std::vector<std::uint16_t> indices16;
    bool narrowed = false;  // the 16-bit list is the one in use
    std::vector<int> strips;
    unsigned layout = 0;
    GLuint arrayBuffer = 0, indexBuffer = 0;
    GLsizei stride = 0;
    size_t colorOffset = 0, normalOffset = 0, texOffset[2] = {0, 0};
    int indexCount = 0;

    const void* clientIndices() const {
        return narrowed ? static_cast<const void*>(indices16.data()) : static_cast<const void*>(indices32.data());
    }
    GLenum indexType() const { return narrowed ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT; }
    size_t indexSize() const { return narrowed ? 2 : 4; }

    // Writes into the array buffer; keeps the cached binding true.
    void writeBuffer(size_t at, const void* data, size_t bytes) {
        const VBOEntryPoints* vbo = loadVBOExtensions();
        if (!vbo)
            return;
        if (arrays.live) {
            bindArrayBuffer(vbo, arrayBuffer);
            vbo->bufferSubData(GL_ARRAY_BUFFER_ARB, GLintptrARB(at), GLsizeiptrARB(bytes), data);
            return;
        }
        // Client-array draws expect no buffer bound.
        vbo->bindBuffer(GL_ARRAY_BUFFER_ARB, arrayBuffer);
        vbo->bufferSubData(GL_ARRAY_BUFFER_ARB, GLintptrARB(at), GLsizeiptrARB(bytes), data);
        vbo->bindBuffer(GL_ARRAY_BUFFER_ARB, 0);
    }

    // A 32-bit list over fewer than 65536 vertices becomes the 16-bit one.
    void narrow() {
        if (indices32.empty() || count >= 65536)
            return;
        indices16.assign(indices32.begin(), indices32.end());
        freeVector(indices32);
        narrowed = true;
    }

    // Strips and fans become one triangle list, when any triangle comes out.
    template <typename Index>
    void compile(std::vector<Index>& list) {
        std::vector<Index> t = trianglesFromStrips<Index>(strips, list.empty() ? nullptr : &list, count);
        if (t.empty())
            return;
        list.swap(t);
        indexCount = int(list.size());
        freeVector(strips);
    }

    void buildIndexBuffer(const VBOEntryPoints* vbo) {
        GLuint name = 0;
        vbo->genBuffers(1, &name);
        if (!name)
            return;
        vbo->bindBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, name);
        vbo->bufferData(GL_ELEMENT_ARRAY_BUFFER_ARB, GLsizeiptrARB(size_t(indexCount) * indexSize()), clientIndices(),
                        GL_STATIC_DRAW_ARB);
        if (glGetError() != GL_NO_ERROR) {
            vbo->bindBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
            vbo->deleteBuffers(1, &name);
            return;
        }
        indexBuffer = name;
        freeVector(indices32);
        freeVector(indices16);
        freeVector(strips);
    }

    void drawFromBuffers();
    void drawFromClientMemory();
};

template <typename Index>
std::vector<Index> trianglesFromStrips(const std::vector<int>& strips, const std::vector<Index>* indices,
                                       int vertexCount) {
    std::vector<Index> out;
    size_t available = indices ? indices->size() : size_t(vertexCount > 0 ? vertexCount : 0);
    auto at = [&](size_t i) -> Index { return indices ? (*indices)[i] : Index(i); };
    size_t next = 0;
    for (int length : strips) {
        bool fan = length <= 0;
        size_t n = fan ? size_t(-static_cast<long long>(length)) : size_t(length);
        if (n > available - next) {
            orvel::debug("Error in strip sizes while compiling a vertex array!\n");
            return out;
        }
        if (n >= 3) {
            Index a = at(next), b = at(next + 1);
            for (size_t k = 2; k < n; ++k) {
                Index c = at(next + k);
                if (fan) {
                    out.insert(out.end(), {a, b, c});
                    b = c;
                } else {
                    if (k % 2 == 0)
                        out.insert(out.end(), {a, b, c});
                    else
                        out.insert(out.end(), {b, a, c});
                    a = b;
                    b = c;
                }
            }
        }
        next += n;
    }
    size_t rest = available - next;
    for (size_t i = next; i + 3 <= available; i += 3)
        out.insert(out.end(), {at(i), at(i + 1), at(i + 2)});
    if (rest % 3 != 0)
        orvel::debug("Error in strip sizes while compiling a vertex array!\n");
    return out;
}

template std::vector<std::uint16_t> trianglesFromStrips<std::uint16_t>(const std::vector<int>&,
                                                                        const std::vector<std::uint16_t>*, int);
template std::vector<std::uint32_t> trianglesFromStrips<std::uint32_t>(const std::vector<int>&,
                                                                        const std::vector<std::uint32_t>*, int);

VertexArray::VertexArray(int count) : in_(new VertexArrayInternals) { in_->count = count > 0 ? count : 0; }

VertexArray::~VertexArray() { release(); }

VertexArray::VertexArray(VertexArray&& other) noexcept = default;

VertexArray& VertexArray::operator=(VertexArray&& other) noexcept {
    if (this != &other) {
        release();
        in_ = std::move(other.in_);
    }
    return *this;
}

void VertexArray::release() {
    if (!in_)
        return;
    VertexArrayInternals& in = *in_;
    const VBOEntryPoints* vbo = platform::currentGLContext() ? loadVBOExtensions() : nullptr;
    if (vbo && (in.arrayBuffer || in.indexBuffer)) {
        // GL unbinds a deleted buffer, and may hand its name out again.
        if (arrays.arrayBuffer == in.arrayBuffer || arrays.indexBuffer == in.indexBuffer)
            flushArrayState();
        GLuint names[2] = {in.arrayBuffer, in.indexBuffer};
        vbo->deleteBuffers(2, names);
    }
    in_.reset();
}

void VertexArray::setVertices(const float* vertices) {
    if (!in_ || !vertices)
        return;
    VertexArrayInternals& in = *in_;
    size_t n = size_t(in.count) * 3;
    if (in.arrayBuffer)
        in.writeBuffer(0, vertices, n * sizeof(float));
    else
        copyInto(in.vertices, vertices, n);
}

// With an array buffer, colours and normals are rewritten in their blocks
// (when the buffer has them), as vertices are: a batch's hook may change
// them on any frame.
void VertexArray::setColors(const unsigned char* colors) {
    if (!in_ || !colors)
        return;
    VertexArrayInternals& in = *in_;
    size_t n = size_t(in.count) * 4;
    if (!in.arrayBuffer)
        copyInto(in.colors, colors, n);
    else if (in.layout & HasColors)
        in.writeBuffer(in.colorOffset, colors, n);
}

void VertexArray::setNormals(const float* normals) {
    if (!in_ || !normals)
        return;
    VertexArrayInternals& in = *in_;
    size_t n = size_t(in.count) * 3;
    if (!in.arrayBuffer)
        copyInto(in.normals, normals, n);
    else if (in.layout & HasNormals)
        in.writeBuffer(in.normalOffset, normals, n * sizeof(float));
}

bool VertexArray::setTexCoords(const float* coords, int unit) {
    if (!in_ || !coords || (unit != 0 && unit != 1))
        return false;
    VertexArrayInternals& in = *in_;
    size_t n = size_t(in.count) * 2;
    if (in.arrayBuffer) {
        if (in.layout & (unit == 0 ? HasTex0 : HasTex1))
            in.writeBuffer(in.texOffset[unit], coords, n * sizeof(float));
    } else {
        copyInto(in.tex[unit], coords, n);
    }
    return true;
}

void VertexArray::setIndices(const int* indices, int n) {
    if (!in_ || !indices || n < 1 || in_->indexCount || in_->arrayBuffer)
        return;
    VertexArrayInternals& in = *in_;
    for (int i = 0; i < n; ++i)
        if (indices[i] < 0 || indices[i] >= in.count) {
            orvel::debug("Vertex array index %d (at %d) names no vertex of %d; the index list is refused\n", indices[i],
                         i, in.count);
            return;
        }
    in.indices32.assign(indices, indices + n);
    in.indexCount = n;
}

void VertexArray::setStripLengths(const int* lengths, int n) {
    if (in_ && lengths && n >= 1 && in_->strips.empty() && !in_->arrayBuffer)
        in_->strips.assign(lengths, lengths + n);
}

unsigned VertexArray::makeVBO(bool dynamic) {
    if (!in_)
        return 0;
    VertexArrayInternals& in = *in_;
    if (!fullGLacceleration || in.vertices.empty())
        return in.arrayBuffer;
    in.narrow();
    if (in.arrayBuffer)
        return in.arrayBuffer;

    ensureContext(nullptr);
    const VBOEntryPoints* vbo = loadVBOExtensions();
    if (!vbo)
        return 0;
    flushArrayState();
    if (glGetError() != GL_NO_ERROR)
        orvel::debug("GL had an error at the start of makeVBO()\n");
    GLuint name = 0;
    vbo->genBuffers(1, &name);
    if (!name)
        return 0;
    if (in.narrowed) {
        in.compile(in.indices16);
    } else {
        // Strips over the vertices alone make their list only now.
        in.compile(in.indices32);
        in.narrow();
    }

    // One block per array, one after the other.
    size_t count = size_t(in.count);
    size_t at = count * 12;
    unsigned layout = HasVertices;
    size_t colorOffset = 0, normalOffset = 0, texOffset[2] = {0, 0};
    if (!in.colors.empty()) {
        colorOffset = at;
        at += count * 4;
        layout |= HasColors;
    }
    if (!in.normals.empty()) {
        normalOffset = at;
        at += count * 12;
        layout |= HasNormals;
    }
    for (int u = 0; u < 2; ++u)
        if (!in.tex[u].empty()) {
            texOffset[u] = at;
            at += count * 8;
            layout |= u == 0 ? HasTex0 : HasTex1;
        }
    std::vector<unsigned char> block(at);
    std::memcpy(block.data(), in.vertices.data(), count * 12);
    if (layout & HasColors)
        std::memcpy(block.data() + colorOffset, in.colors.data(), count * 4);
    if (layout & HasNormals)
        std::memcpy(block.data() + normalOffset, in.normals.data(), count * 12);
    for (int u = 0; u < 2; ++u)
        if (!in.tex[u].empty())
            std::memcpy(block.data() + texOffset[u], in.tex[u].data(), count * 8);

    vbo->bindBuffer(GL_ARRAY_BUFFER_ARB, name);
    if (glGetError() != GL_NO_ERROR) {
        orvel::debug("Failed to create/bind a VBO!\n");
        vbo->deleteBuffers(1, &name);
        return 0;
    }
    vbo->bufferData(GL_ARRAY_BUFFER_ARB, GLsizeiptrARB(at), block.data(),
                    dynamic ? GL_DYNAMIC_DRAW_ARB : GL_STATIC_DRAW_ARB);
    // A refused upload (out of memory, say) must not cost the geometry.
    if (glGetError() != GL_NO_ERROR) {
        orvel::debug("Failed to upload a VBO!\n");
        vbo->bindBuffer(GL_ARRAY_BUFFER_ARB, 0);
        vbo->deleteBuffers(1, &name);
        return 0;
    }
    in.arrayBuffer = name;
    in.layout = layout;
    in.stride = 0;
    in.colorOffset = colorOffset;
    in.normalOffset = normalOffset;
    in.texOffset[0] = texOffset[0];
    in.texOffset[1] = texOffset[1];
    freeVector(in.vertices);
    freeVector(in.colors);
    freeVector(in.normals);
    freeVector(in.tex[0]);
    freeVector(in.tex[1]);

    if (in.indexCount > 0)
        in.buildIndexBuffer(vbo);
    vbo->bindBuffer(GL_ARRAY_BUFFER_ARB, 0);
    vbo->bindBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    return name;
}

void VertexArray::draw() {
    if (!in_)
        return;
    if (in_->arrayBuffer)
        in_->drawFromBuffers();
    else
        in_->drawFromClientMemory();
}

void VertexArrayInternals::drawFromBuffers() {
    const VBOEntryPoints* vbo = loadVBOExtensions();
    if (!vbo)
        return;
    if (!arrays.live) {
        errorStageCode = 30401;
        resetArrayState();
        arrays.live = true;
    }
    errorStageCode = 30402;
    bindArrayBuffer(vbo, arrayBuffer);
    if (arrays.vertex != offset(0)) {
        glVertexPointer(3, GL_FLOAT, stride, offset(0));
        arrays.vertex = offset(0);
    }
    if ((layout & HasColors) && arrays.color != offset(colorOffset)) {
        glColorPointer(4, GL_UNSIGNED_BYTE, stride, offset(colorOffset));
        arrays.color = offset(colorOffset);
    }
    if ((layout & HasNormals) && arrays.normal != offset(normalOffset)) {
        glNormalPointer(GL_FLOAT, stride, offset(normalOffset));
        arrays.normal = offset(normalOffset);
    }
    unsigned mask = layout;
    for (int u = 1; u >= 0; --u) {
        unsigned bit = u == 0 ? HasTex0 : HasTex1;
        if (!(layout & bit))
            continue;
        if (u == 1 && !selectClientTextureUnit(1)) {
            mask &= ~bit;
            continue;
        }
        if (arrays.tex[u] != offset(texOffset[u])) {
            selectClientUnit(u);
            glTexCoordPointer(2, GL_FLOAT, stride, offset(texOffset[u]));
            arrays.tex[u] = offset(texOffset[u]);
        }
    }
    unsigned changed = mask ^ arrays.mask;
    if (changed & HasVertices)
        clientArray(GL_VERTEX_ARRAY, mask & HasVertices);
    if (changed & HasColors)
        clientArray(GL_COLOR_ARRAY, mask & HasColors);
    if (changed & HasNormals)
        clientArray(GL_NORMAL_ARRAY, mask & HasNormals);
    if (changed & HasTex1)
        texCoordArray(1, mask & HasTex1);
    if (changed & HasTex0)
        texCoordArray(0, mask & HasTex0);
    selectClientUnit(0);
    arrays.mask = mask;
    bindIndexBuffer(vbo, indexBuffer);
    if (indexCount > 0) {
        errorStageCode = 30403;
        glDrawElements(GL_TRIANGLES, indexCount, indexType(), indexBuffer ? nullptr : clientIndices());
    }
}

void VertexArrayInternals::drawFromClientMemory() {
    errorStageCode = 30404;
    if (arrays.live) {
        resetArrayState();
        arrays.live = false;
    }
    if (vertices.empty())
        return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices.data());
    clientArray(GL_COLOR_ARRAY, !colors.empty());
    if (!colors.empty())
        glColorPointer(4, GL_UNSIGNED_BYTE, 0, colors.data());
    clientArray(GL_NORMAL_ARRAY, !normals.empty());
    if (!normals.empty())
        glNormalPointer(GL_FLOAT, 0, normals.data());
    for (int u = 1; u >= 0; --u) {
        if (!selectClientUnit(u))
            continue;
        clientArray(GL_TEXTURE_COORD_ARRAY, !tex[u].empty());
        if (!tex[u].empty())
            glTexCoordPointer(2, GL_FLOAT, 0, tex[u].data());
    }
    lockArrays(0, count);
    if (indexCount > 0) {
        const unsigned char* list = static_cast<const unsigned char*>(clientIndices());
        size_t next = 0, total = size_t(indexCount);
        bool fits = true;
        for (int length : strips) {
            size_t n = length > 0 ? size_t(length) : size_t(-static_cast<long long>(length));
            // Strips that run past the list are dropped, as compiling drops them.
            if (n > total - next) {
                fits = false;
                break;
            }
            glDrawElements(length > 0 ? GL_TRIANGLE_STRIP : GL_TRIANGLE_FAN, GLsizei(n), indexType(),
                           list + next * indexSize());
            next += n;
        }
        if (fits && next < total)
            glDrawElements(GL_TRIANGLES, GLsizei(total - next), indexType(), list + next * indexSize());
    } else {
        GLint next = 0;
        bool fits = true;
        for (int length : strips) {
            long long n = length > 0 ? length : -static_cast<long long>(length);
            if (n > count - next) {
                fits = false;
                break;
            }
            glDrawArrays(length > 0 ? GL_TRIANGLE_STRIP : GL_TRIANGLE_FAN, next, GLsizei(n));
            next += GLint(n);
        }
        // The vertices after the strips are plain triangles, as in the buffers.
        if (fits && next < count)
            glDrawArrays(GL_TRIANGLES, next, count - next);
    }
    unlockArrays();
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    texCoordArray(1, false);
    texCoordArray(0, false);
}

void VertexArray::flushArrayState() {
    if (!arrays.live)
        return;
    resetArrayState();
    arrays.live = false;
}

int VertexArray::vertexCount() const { return in_ ? in_->count : 0; }
int VertexArray::indexCount() const { return in_ ? in_->indexCount : 0; }
int VertexArray::stripCount() const { return in_ ? int(in_->strips.size()) : 0; }
bool VertexArray::isNarrowed() const { return in_ && in_->narrowed; }
unsigned VertexArray::arrayBuffer() const { return in_ ? in_->arrayBuffer : 0; }
unsigned VertexArray::indexBuffer() const { return in_ ? in_->indexBuffer : 0; }

}  // namespace pellium
