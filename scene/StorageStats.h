// How much memory the scene's geometry and textures take, for the log.
#pragma once

namespace kessa {

struct StorageStats {
    int triangles = 0;
    int vertices = 0, vertexBytes = 0;
    int normals = 0, normalBytes = 0;
    int colors = 0, colorBytes = 0;
    int texCoords = 0, texCoordBytes = 0;
    double vertexMegabytes = 0;
    int bunches = 0, bunchBytes = 0;
    int indices = 0, indexBytes = 0;
    int meshSizes = 0, meshSizeBytes = 0;
    double bunchMegabytes = 0;
    int animatedBunches = 0, animatedBunchBytes = 0;
    int animationVertices = 0, animationVertexBytes = 0;
    double animationMegabytes = 0;
    int textures = 0;
    double textureBytes = 0;

    // Sets the three megabyte totals from the byte counts.
    void computeTotals();
    // Writes the report to the debug log.
    void print() const;
};

// Something that holds geometry or textures adds its counts to the record.
using StorageSource = void (*)(StorageStats& stats);

// Registers a source for getStorageStats; registering one twice counts it once.
void addStorageSource(StorageSource source);

// Clears stats, lets every registered source add its counts, and computes the
// totals.
void getStorageStats(StorageStats& stats);

}  // namespace kessa
