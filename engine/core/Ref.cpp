#include "engine/core/Ref.h"

#include <algorithm>
#include <cassert>

namespace engine {

void Ref::release() {
    unsigned before = _referenceCount.fetch_sub(1, std::memory_order_acq_rel);
    assert(before > 0 && "release of a freed object");
    if (before == 1) delete this;
}

Ref* Ref::autorelease() {
    AutoreleasePool::getInstance()->addObject(this);
    return this;
}

AutoreleasePool* AutoreleasePool::getInstance() {
    static AutoreleasePool pool;
    return &pool;
}

void AutoreleasePool::clear() {
    std::vector<Ref*> drained;
    drained.swap(_objects);
    for (Ref* object : drained) object->release();
}

bool AutoreleasePool::contains(const Ref* object) const {
    return std::find(_objects.begin(), _objects.end(), object) != _objects.end();
}

} // namespace engine
