// Drawing a batch: compiled once into a vertex-array object (buffer objects
// where the driver has them), or from client arrays every frame.
#include <GL/gl.h>

#include <vector>

#include "base/Debug.h"
#include "gui/ErrorStage.h"
#include "gui/gl/GLdraw.h"
#include "gui/gl/GLstate.h"
#include "gui/gl/VertexArray.h"
#include "gui/gl/VideoSwitches.h"
#include "scene/BunchCallbacks.h"
#include "scene/BunchHolder.h"
#include "scene/GeoBunchInternals.h"

namespace kessa {

namespace {

const float* floats(const GeoBunch::Float3* p) { return reinterpret_cast<const float*>(p); }
const float* floats(const GeoBunch::Float2* p) { return reinterpret_cast<const float*>(p); }
const unsigned char* bytes(const GeoBunch::Color4* p) { return reinterpret_cast<const unsigned char*>(p); }

}  // namespace

BunchCallbacks* GeoBunchInternals::hook() const {
    return ownerBranch_ && ownerBunch_ ? ownerBranch_->bunchCallbacks() : nullptr;
}

void GeoBunchInternals::render() {
    using pellium::errorStageCode;
    if (glGetError() != GL_NO_ERROR)
        orvel::debug("GL had an error at the start of GeoBunchInternals::render()\n");
    // A batch found invalid is compiled again only once a stream has been
    // replaced: compiling checks it.
    if (vertices_ && (valid_ || !checked_)) {
        if (!vertexArray_) {
            errorStageCode = 30301;
            compile();
        }
        if (glGetError() != GL_NO_ERROR)
            orvel::debug("GL had an error after GeoBunch compile\n");
    }
    if (valid_ && vertices_) {
        if (BunchCallbacks* callbacks = hook()) {
            dirty_ = 0;
            errorStageCode = 30302;
            callbacks->processBunch(*ownerBunch_);
        }
        // A hook that replaced a stream dropped the vertex-array object, and
        // one that changed a stream in place may have moved or shortened it:
        // GL reads the streams only once they pass as they stand. The object
        // itself reads only what it copied.
        if (vertexArray_) {
            bool drawable = true;
            if (dirty_) {
                errorStageCode = 30303;
                drawable = uploadDirtyArrays();
            }
            if (drawable) {
                errorStageCode = 30304;
                vertexArray_->draw();
            }
        } else if (vertices_) {
            errorStageCode = 30305;
            if (readyForGL())
                drawClientArrays();
        }
    }
    if (glGetError() != GL_NO_ERROR)
        orvel::debug("GL had an error during GeoBunchInternals::render()\n");
}

void GeoBunchInternals::compile() {
    if (compiled_)
        return;
    verify();
    if (valid_ && pellium::fullGLacceleration && triangleCount_ >= 2) {
        dirty_ = 0;
        // Held for the call: the hook may drop the branch's own reference.
        orvel::ref_ptr<BunchCallbacks> callbacks(hook());
        if (callbacks)
            callbacks->processBunch(*ownerBunch_);
        // The hook may have replaced or edited a stream: checked again before
        // GL copies it.
        if (vertices_ && readyForGL())
            buildVertexArray(!frames_.empty() || dirty_ != 0);
    }
    compiled_ = true;
}

void GeoBunchInternals::releaseVertexArray() {
    vertexArray_.reset();
    compiled_ = false;
}

void GeoBunchInternals::buildVertexArray(bool dynamic) {
    vertexArray_ = std::make_unique<pellium::VertexArray>(int(vertices_->size()));
    pellium::VertexArray& va = *vertexArray_;
    if (vertexPointer_) {
        va.setVertices(floats(vertexPointer_));
        if (colorPointer_)
            va.setColors(bytes(colorPointer_));
        if (normalPointer_)
            va.setNormals(floats(normalPointer_));
        for (int set = 0; set < 2; ++set)
            if (texCoordPointer_[set])
                va.setTexCoords(floats(texCoordPointer_[set]), set);
    }
    if (indices_ && !indices_->empty()) {
        std::vector<int> list(indices_->begin(), indices_->end());
        va.setIndices(list.data(), int(list.size()));
    }
    if (strips_ && !strips_->empty())
        va.setStripLengths(strips_->data(), int(strips_->size()));
    va.makeVBO(dynamic);
}

// What a hook changed in place goes to GL again, from streams that pass the
// checks as they stand; false (nothing uploaded, nothing to draw) when they
// do not. A vertex stream that no longer has the object's vertex count is not
// followed: the object keeps the arrays it was built with.
bool GeoBunchInternals::uploadDirtyArrays() {
    if (!readyForGL())
        return false;
    pellium::VertexArray& va = *vertexArray_;
    if (int(vertices_->size()) != va.vertexCount())
        return true;
    if (dirty_ & GeoBunch::dirtyVertices)
        va.setVertices(floats(vertexPointer_));
    if ((dirty_ & GeoBunch::dirtyColors) && colorPointer_)
        va.setColors(bytes(colorPointer_));
    if ((dirty_ & GeoBunch::dirtyNormals) && normalPointer_)
        va.setNormals(floats(normalPointer_));
    for (int set = 0; set < 2; ++set) {
        const unsigned bit = set == 0 ? GeoBunch::dirtyTexCoords0 : GeoBunch::dirtyTexCoords1;
        if ((dirty_ & bit) && texCoordPointer_[set])
            va.setTexCoords(floats(texCoordPointer_[set]), set);
    }
    return true;
}

void GeoBunchInternals::drawClientArrays() {
    const int count = int(vertices_->size());
    pellium::setVertexArray(floats(vertexPointer_), 0);
    if (colorPointer_)
        pellium::setColorArray(bytes(colorPointer_), 0);
    if (normalPointer_)
        pellium::setNormalArray(floats(normalPointer_), 0);
    bool units[2] = {false, false};
    for (int unit = 1; unit >= 0; --unit) {
        units[unit] = pellium::selectClientTextureUnit(unit) || unit == 0;
        if (units[unit] && texCoordPointer_[unit])
            pellium::setTexCoordArray(floats(texCoordPointer_[unit]), 0);
    }

    pellium::lockArrays(0, count);
    if (!indices_) {
        unsigned first = 0;
        if (strips_) {
            for (int n : *strips_) {
                unsigned length = stripVertices(n);
                glDrawArrays(n > 0 ? GL_TRIANGLE_STRIP : GL_TRIANGLE_FAN, GLint(first), GLsizei(length));
                first += length;
            }
        }
        if (first != unsigned(count))
            glDrawArrays(GL_TRIANGLES, GLint(first), GLsizei(unsigned(count) - first));
    } else {
        const unsigned* next = indices_->data();
        const unsigned* end = next + indices_->size();
        if (strips_) {
            for (int n : *strips_) {
                unsigned length = stripVertices(n);
                glDrawElements(n > 0 ? GL_TRIANGLE_STRIP : GL_TRIANGLE_FAN, GLsizei(length), GL_UNSIGNED_INT, next);
                next += length;
            }
        }
        if (next != end)
            glDrawElements(GL_TRIANGLES, GLsizei(end - next), GL_UNSIGNED_INT, next);
    }
    pellium::unlockArrays();

    if (colorPointer_)
        pellium::setColorArray(nullptr, 0);
    if (normalPointer_)
        pellium::setNormalArray(nullptr, 0);
    for (int unit = 1; unit >= 0; --unit) {
        if (units[unit] && texCoordPointer_[unit]) {
            pellium::selectClientTextureUnit(unit);
            pellium::setTexCoordArray(nullptr, 0);
        }
    }
    pellium::selectClientTextureUnit(0);
}

}  // namespace kessa
