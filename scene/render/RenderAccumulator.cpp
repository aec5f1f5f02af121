#include "scene/render/RenderAccumulator.h"

#include "base/Debug.h"
#include "scene/GeoBunch.h"
#include "scene/render/RenderAccumulatorInternals.h"

namespace kessa {

RenderAccumulatorInternals::RenderAccumulatorInternals() {
    for (std::vector<Item>& list : lists)
        list.reserve(1024);
    groups.reserve(1024);
}

int RenderAccumulatorInternals::append(RenderAccumulator::List list, const Matrix* matrix, Renderable* renderable,
                                       GeoBunch* bunch) {
    std::vector<Item>& items = lists[list];
    items.push_back(
        {overrides.top(), animations.top(), transparencies.top(), fogs.top(), matrix, renderable, bunch, -1});
    return int(items.size()) - 1;
}

RenderAccumulator::RenderAccumulator() : d_(new RenderAccumulatorInternals) {}

RenderAccumulator::~RenderAccumulator() = default;

void RenderAccumulator::setViewer(Viewer* viewer) { d_->viewer = viewer; }

Viewer* RenderAccumulator::viewer() const { return d_->viewer; }

void RenderAccumulator::setSkyRenderer(SkyRenderer* renderer) { d_->sky = renderer; }

void RenderAccumulator::setDepthRange(float nearValue, float farValue) {
    d_->depthNear = nearValue;
    d_->depthFar = farValue;
}

void RenderAccumulator::add(Renderable* renderable, const Matrix* matrix, bool blended) {
    List list = bunches;
    if (d_->overrides.top() & ordered)
        list = orderedStuff;
    else if (!blended && d_->transparencies.top() >= 1.0f)
        list = solidRenderables;
    d_->append(list, matrix, renderable, nullptr);
}

void RenderAccumulator::addBunch(GeoBunch* bunch, const Matrix* matrix) {
    RenderAccumulatorInternals& d = *d_;
    if (d.overrides.top() & ordered) {
        d.append(orderedStuff, matrix, nullptr, bunch);
        return;
    }
    if (bunch->material().second || d.transparencies.top() < 1.0f) {
        d.append(bunches, matrix, nullptr, bunch);
        return;
    }
    int index = d.append(solidStuff, matrix, nullptr, bunch);
    int& slot = bunch->accumulatorGroup;
    if (slot < 0 || std::size_t(slot) >= d.groups.size() || d.groups[slot].bunch != bunch) {
        slot = int(d.groups.size());
        d.groups.push_back({bunch, -1});
    }
    RenderAccumulatorInternals::Group& group = d.groups[slot];
    d.lists[solidStuff][index].next = group.newest;
    group.newest = index;
}

void RenderAccumulator::pushOverrideState(unsigned bits) { d_->overrides.push(d_->overrides.top() | bits); }

void RenderAccumulator::popOverrideState() {
    if (!d_->overrides.pop())
        orvel::debug("Error: RenderAccumulator::popOverrideState() - stack underflow\n");
}

void RenderAccumulator::pushTransparency(float alpha) { d_->transparencies.push(alpha); }

void RenderAccumulator::popTransparency() {
    if (!d_->transparencies.pop())
        orvel::debug("Error: RenderAccumulator::popTransparency() - stack underflow\n");
}

void RenderAccumulator::pushAnimation(int value) { d_->animations.push(value); }

void RenderAccumulator::popAnimation() {
    if (!d_->animations.pop())
        orvel::debug("Error: RenderAccumulator::popAnimation() - stack underflow\n");
}

void RenderAccumulator::pushFog(const Fog* fog) { d_->fogs.push(fog ? fog : &d_->defaultFog); }

void RenderAccumulator::popFog() {
    if (!d_->fogs.pop())
        orvel::debug("Error: RenderAccumulator::popFog() - stack underflow\n");
}

unsigned RenderAccumulator::overrideState() const { return d_->overrides.top(); }

float RenderAccumulator::transparency() const { return d_->transparencies.top(); }

int RenderAccumulator::animation() const { return d_->animations.top(); }

const Fog* RenderAccumulator::fog() const { return d_->fogs.top(); }

const Fog& RenderAccumulator::defaultFog() const { return d_->defaultFog; }

int RenderAccumulator::itemCount(List list) const { return int(d_->lists[list].size()); }

const RenderAccumulator::Item& RenderAccumulator::item(List list, int i) const { return d_->lists[list].at(i); }

void RenderAccumulator::reset() {
    d_->overrides.reset();
    d_->animations.reset();
    d_->transparencies.reset();
    d_->fogs.reset();
    for (std::vector<Item>& list : d_->lists)
        list.clear();
    d_->groups.clear();
    d_->viewer = nullptr;
    d_->sky = nullptr;
    d_->depthNear = 0;
    d_->depthFar = 1;
    ++d_->frame;
}

unsigned RenderAccumulator::frame() const { return d_->frame; }

}  // namespace kessa
