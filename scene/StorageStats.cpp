#include "scene/StorageStats.h"

#include <algorithm>
#include <vector>

#include "base/Debug.h"

namespace kessa {

namespace {

constexpr double bytesPerMegabyte = 1048576.0;

std::vector<StorageSource>& sources() {
    static std::vector<StorageSource> list;
    return list;
}

}  // namespace

void StorageStats::computeTotals() {
    vertexMegabytes = (double(vertexBytes) + normalBytes + colorBytes + texCoordBytes) / bytesPerMegabyte;
    bunchMegabytes = (double(bunchBytes) + indexBytes + meshSizeBytes) / bytesPerMegabyte;
    animationMegabytes = (double(animatedBunchBytes) + animationVertexBytes) / bytesPerMegabyte;
}

void StorageStats::print() const {
    using orvel::debug;
    debug("\n\n");
    debug("Geometry storage\n");
    debug("================\n");
    debug("Triangles:\n");
    debug("There's %d triangles\n", triangles);
    debug("Vertices:\n");
    debug("There's %d vertices (%d bytes)\n", vertices, vertexBytes);
    debug("There's %d normals (%d bytes)\n", normals, normalBytes);
    debug("There's %d colors (%d bytes)\n", colors, colorBytes);
    debug("There's %d texCoords (%d bytes)\n", texCoords, texCoordBytes);
    debug("Total vertex memory = %.2fMb\n", vertexMegabytes);
    debug("Geobunches:\n");
    debug("There's %d geobunches (%d bytes)\n", bunches, bunchBytes);
    debug("There's %d vertex indices (%d bytes)\n", indices, indexBytes);
    debug("There's %d mesh sizes (%d bytes)\n", meshSizes, meshSizeBytes);
    debug("Total geobunch memory = %.2fMb\n", bunchMegabytes);
    debug("Animations:\n");
    debug("There's %d animated geobunches (%d bytes)\n", animatedBunches, animatedBunchBytes);
    debug("There's %d animation vertices (%d bytes)\n", animationVertices, animationVertexBytes);
    debug("Total animation memory = %.2fMb\n", animationMegabytes);
    debug("--------------------------------\n");
    debug("Total geometry storage = %.2fMb\n", vertexMegabytes + bunchMegabytes + animationMegabytes);
    debug("\n\n");
    debug("Texture storage\n");
    debug("===============\n");
    debug("There's %d textures\n", textures);
    debug("Texture memory needed = %.2fMb\n", textureBytes * 9.5367431640625e-7);
}

void addStorageSource(StorageSource source) {
    std::vector<StorageSource>& list = sources();
    if (source && std::find(list.begin(), list.end(), source) == list.end())
        list.push_back(source);
}

void getStorageStats(StorageStats& stats) {
    stats = StorageStats();
    for (StorageSource source : sources())
        source(stats);
    stats.computeTotals();
}

}  // namespace kessa
