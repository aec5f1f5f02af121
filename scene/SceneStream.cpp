#include "scene/SceneStream.h"

#include "base/StreamReader.h"
#include "scene/BunchCallbacks.h"
#include "scene/Database.h"
#include "scene/ExrefBranch.h"
#include "scene/GeoBunch.h"
#include "scene/GeometryBranch.h"
#include "scene/InstanceBranch.h"
#include "scene/JointBranch.h"
#include "scene/LodBranch.h"
#include "scene/Object.h"
#include "scene/PolygonBranch.h"
#include "scene/SwitchBranch.h"
#include "scene/render/Material.h"
#include "scene/render/Texture.h"
#include "scene/render/TraversalCallback.h"

namespace kessa {

namespace {

template <class T>
orvel::Streamable* create() {
    return new T;
}

orvel::Streamable* createMaterial() { return new Material(pellium::Color{1, 1, 1, 1}); }

orvel::Streamable* createSwitch() { return new SwitchBranch(SwitchBranch::selectOne); }

}  // namespace

void registerTypes(orvel::DataSource& source) {
    StreamReader::addFactory(source, create<Database>);
    StreamReader::addFactory(source, create<Object>);
    StreamReader::addFactory(source, createMaterial);
    StreamReader::addFactory(source, create<Texture>);
    StreamReader::addFactory(source, create<GroupBranch>);
    StreamReader::addFactory(source, createSwitch);
    StreamReader::addFactory(source, create<LodBranch>);
    StreamReader::addFactory(source, create<JointBranch>);
    StreamReader::addFactory(source, create<InstanceBranch>);
    StreamReader::addFactory(source, create<ExrefBranch>);
    StreamReader::addFactory(source, create<GeometryBranch>);
    StreamReader::addFactory(source, create<PolygonBranch>);
    StreamReader::addFactory(source, create<TraversalCallback>);
    StreamReader::addFactory(source, create<GeoBunch>);
    StreamReader::addFactory(source, create<BunchCallbacks>);
}

}  // namespace kessa
