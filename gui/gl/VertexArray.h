// The geometry of one triangle batch in the form GL draws fastest: vertex,
// colour, normal and two texture-coordinate arrays with an index list and
// strip lengths. makeVBO moves it into one array buffer and one index buffer
// as a plain indexed triangle list (16-bit indices where they fit); otherwise
// it draws from client memory with strips and fans. A process-wide cache of
// the array state keeps repeated draws from re-sending what GL already has.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace pellium {

struct VertexArrayInternals;

class VertexArray {
public:
    explicit VertexArray(int count);
    ~VertexArray();
    VertexArray(VertexArray&& other) noexcept;
    VertexArray& operator=(VertexArray&& other) noexcept;
    VertexArray(const VertexArray&) = delete;
    VertexArray& operator=(const VertexArray&) = delete;

    // Frees the arrays and, while a context is current, the buffer objects.
    // The array is empty afterwards.
    void release();

    // count × 3 floats. With an array buffer they are rewritten in it.
    void setVertices(const float* vertices);
    // count × 4 bytes (red, green, blue, alpha) and count × 3 floats. With
    // an array buffer they are rewritten in it, when it was made with them.
    void setColors(const unsigned char* colors);
    void setNormals(const float* normals);
    // count × 2 floats for unit 0 or 1; false (and nothing done) for another unit.
    bool setTexCoords(const float* coords, int unit);
    // Set once, n ≥ 1. Every index must name a vertex, else the list is refused.
    void setIndices(const int* indices, int n);
    // Set once, n ≥ 1. A length n > 0 is a triangle strip of n vertices, n ≤ 0
    // a fan of −n vertices.
    void setStripLengths(const int* lengths, int n);

    // Moves the arrays into buffer objects when fullGLacceleration is set and
    // the driver has them. The array buffer's name; 0 when none was made (the
    // array then keeps drawing from client memory).
    unsigned makeVBO(bool dynamic);
    void draw();

    // Hands GL's array state back to plain client arrays when the cache holds it.
    static void flushArrayState();

    int vertexCount() const;
    int indexCount() const;
    int stripCount() const;
    bool isNarrowed() const;  // the indices are 16-bit
    unsigned arrayBuffer() const;
    unsigned indexBuffer() const;

private:
    std::unique_ptr<VertexArrayInternals> in_;
};

// Turns strips and fans over an index list (or, without one, over the vertex
// numbers 0, 1, 2 ...) into a plain triangle list with GL's winding; the
// entries (or vertices) after the strips are taken three at a time. A strip running past
// the list and a remainder of one or two indices are dropped and logged.
// Vertex numbers are checked against the vertex count.
template <typename Index>
std::vector<Index> trianglesFromStrips(const std::vector<int>& strips, const std::vector<Index>* indices,
                                       int vertexCount);

}  // namespace pellium
