#include "engine/core/Node.h"

#include <algorithm>
#include <cmath>

#include "engine/core/Action.h"
#include "engine/core/ActionManager.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Renderer.h"
#include "engine/core/Scene.h"
#include "engine/core/Scheduler.h"

namespace engine {

namespace {
unsigned s_globalOrderOfArrival = 0;
constexpr float kDegToRad = 3.14159265358979f / 180.0f;
} // namespace

Node* Node::create() { return initAndAutorelease(new Node()); }

Node::Node() = default;

Node::~Node() {
    for (Node* child : _children) child->_parent = nullptr;
    Director* director = Director::getInstance();
    director->getScheduler()->unscheduleAllForTarget(this);
    director->getActionManager()->removeAllActionsFromTarget(this);
    if (EventDispatcher* dispatcher = director->getEventDispatcher())
        dispatcher->removeEventListenersForTarget(this);
}

void Node::setPosition(const Vec2& position) { _position = position; }
void Node::setAnchorPoint(const Vec2& anchor) { _anchorPoint = anchor; }
void Node::setIgnoreAnchorPointForPosition(bool ignore) { _ignoreAnchorPointForPosition = ignore; }
void Node::setContentSize(const Size& size) { _contentSize = size; }

void Node::setLocalZOrder(int z) {
    if (_localZOrder == z) return;
    if (_parent) _parent->reorderChild(this, z);
    else _localZOrder = z;
}

uint8_t Node::getDisplayedOpacity() const {
    float opacity = _realOpacity;
    for (const Node* p = _parent; p && p->_cascadeOpacityEnabled; p = p->_parent) opacity *= p->_realOpacity / 255.0f;
    return static_cast<uint8_t>(std::lround(opacity));
}

Color3B Node::getDisplayedColor() const {
    float r = _realColor.r, g = _realColor.g, b = _realColor.b;
    for (const Node* p = _parent; p && p->_cascadeColorEnabled; p = p->_parent) {
        r *= p->_realColor.r / 255.0f;
        g *= p->_realColor.g / 255.0f;
        b *= p->_realColor.b / 255.0f;
    }
    return {static_cast<uint8_t>(std::lround(r)), static_cast<uint8_t>(std::lround(g)),
            static_cast<uint8_t>(std::lround(b))};
}

// --- children

void Node::addChild(Node* child) { addChild(child, child ? child->_localZOrder : 0); }

void Node::addChild(Node* child, int localZOrder) { addChild(child, localZOrder, child ? child->_tag : INVALID_TAG); }

void Node::addChild(Node* child, int localZOrder, int tag) {
    if (!child || child->_parent) return;
    child->_tag = tag;
    insertChild(child, localZOrder);
}

void Node::addChild(Node* child, int localZOrder, const std::string& name) {
    if (!child || child->_parent) return;
    child->_name = name;
    insertChild(child, localZOrder);
}

void Node::insertChild(Node* child, int z) {
    _children.pushBack(child);
    child->_localZOrder = z;
    child->_orderOfArrival = ++s_globalOrderOfArrival;
    child->_parent = this;
    _reorderChildDirty = true;
    if (_running) {
        child->onEnter();
        if (_isTransitionFinished) child->onEnterTransitionDidFinish();
    }
}

void Node::removeChild(Node* child, bool cleanup) {
    if (!child || child->_parent != this) return;
    detachChild(child, cleanup);
}

void Node::detachChild(Node* child, bool cleanup) {
    RefPtr<Node> keep = child;
    if (_running) {
        child->onExitTransitionDidStart();
        child->onExit();
    }
    if (cleanup) child->cleanup();
    child->_parent = nullptr;
    _children.eraseObject(child);
}

void Node::removeChildByTag(int tag, bool cleanup) {
    if (Node* child = getChildByTag(tag)) removeChild(child, cleanup);
}

void Node::removeAllChildrenWithCleanup(bool cleanup) {
    Vector<Node*> children = _children;
    for (Node* child : children)
        if (child->_parent == this) detachChild(child, cleanup);
}

void Node::removeFromParentAndCleanup(bool cleanup) {
    if (_parent) _parent->removeChild(this, cleanup);
}

void Node::reorderChild(Node* child, int localZOrder) {
    if (!child || child->_parent != this) return;
    child->_localZOrder = localZOrder;
    child->_orderOfArrival = ++s_globalOrderOfArrival;
    _reorderChildDirty = true;
}

Node* Node::getChildByTag(int tag) const {
    for (Node* child : _children)
        if (child->_tag == tag) return child;
    return nullptr;
}

Node* Node::getChildByName(const std::string& name) const {
    for (Node* child : _children)
        if (child->_name == name) return child;
    return nullptr;
}

void Node::sortAllChildren() {
    if (!_reorderChildDirty) return;
    std::vector<RefPtr<Node>> sorted;
    for (Node* child : _children) sorted.emplace_back(child);
    std::stable_sort(sorted.begin(), sorted.end(), [](const RefPtr<Node>& a, const RefPtr<Node>& b) {
        if (a->_localZOrder != b->_localZOrder) return a->_localZOrder < b->_localZOrder;
        return a->_orderOfArrival < b->_orderOfArrival;
    });
    _children.clear();
    for (auto& child : sorted) _children.pushBack(child.get());
    _reorderChildDirty = false;
}

Scene* Node::getScene() const {
    const Node* node = this;
    while (node->_parent) node = node->_parent;
    return dynamic_cast<Scene*>(const_cast<Node*>(node));
}

// --- transforms

AffineTransform Node::getNodeToParentTransform() const {
    Vec2 anchor = getAnchorPointInPoints();
    Vec2 pos = _position;
    if (_ignoreAnchorPointForPosition) pos += anchor;
    // Clockwise rotation on screen; the 3D turns are drawn flat, shrinking
    // the picture along the axis that turns away.
    float rad = _rotation3D.z * kDegToRad;
    float cr = std::cos(rad), sr = std::sin(rad);
    // cos(90 degrees) in float is not quite 0; edge-on must be exactly flat.
    auto flat = [](float degrees) {
        float c = std::cos(degrees * kDegToRad);
        return std::fabs(c) < 1e-5f ? 0.0f : c;
    };
    float turnX = flat(_rotation3D.y);
    float turnY = flat(_rotation3D.x);
    float sx = _scaleX * turnX, sy = _scaleY * turnY;
    AffineTransform m;
    m.a = cr * sx;
    m.b = -sr * sx;
    m.c = sr * sy;
    m.d = cr * sy;
    m.tx = pos.x - (m.a * anchor.x + m.c * anchor.y);
    m.ty = pos.y - (m.b * anchor.x + m.d * anchor.y);
    return m;
}

AffineTransform Node::getNodeToWorldTransform() const {
    AffineTransform t = getNodeToParentTransform();
    for (const Node* p = _parent; p; p = p->_parent) t = p->getNodeToParentTransform() * t;
    return t;
}

Rect Node::getBoundingBox() const {
    return getNodeToParentTransform().applyToRect({0, 0, _contentSize.width, _contentSize.height});
}

Rect Node::getBoundingBoxInWorld() const {
    return getNodeToWorldTransform().applyToRect({0, 0, _contentSize.width, _contentSize.height});
}

bool Node::isVisibleThroughClipping(const Vec2& worldPoint) const {
    for (const Node* node = this; node; node = node->_parent)
        if (node->clipsOut(worldPoint)) return false;
    return true;
}

// --- life cycle

void Node::onEnter() {
    _isTransitionFinished = false;
    _running = true;
    Vector<Node*> children = _children;
    for (Node* child : children) child->onEnter();
    resume();
}

void Node::onEnterTransitionDidFinish() {
    _isTransitionFinished = true;
    Vector<Node*> children = _children;
    for (Node* child : children) child->onEnterTransitionDidFinish();
}

void Node::onExitTransitionDidStart() {
    Vector<Node*> children = _children;
    for (Node* child : children) child->onExitTransitionDidStart();
}

void Node::onExit() {
    pause();
    _running = false;
    _isTransitionFinished = false;
    Vector<Node*> children = _children;
    for (Node* child : children) child->onExit();
}

void Node::cleanup() {
    stopAllActions();
    unscheduleAllCallbacks();
    unscheduleUpdate();
    Vector<Node*> children = _children;
    for (Node* child : children) child->cleanup();
}

void Node::pause() {
    Director* d = Director::getInstance();
    d->getScheduler()->pauseTarget(this);
    d->getActionManager()->pauseTarget(this);
    if (EventDispatcher* dispatcher = d->getEventDispatcher()) dispatcher->pauseEventListenersForTarget(this);
}

void Node::resume() {
    Director* d = Director::getInstance();
    d->getScheduler()->resumeTarget(this);
    d->getActionManager()->resumeTarget(this);
    if (EventDispatcher* dispatcher = d->getEventDispatcher()) dispatcher->resumeEventListenersForTarget(this);
}

// --- drawing

void Node::visit(Renderer* renderer, const AffineTransform& parentTransform, uint8_t parentOpacity,
                 const Color3B& parentColor) {
    if (!_visible) return;
    AffineTransform transform = parentTransform * getNodeToParentTransform();
    uint8_t opacity = static_cast<uint8_t>(std::lround(_realOpacity * parentOpacity / 255.0f));
    Color3B color(static_cast<uint8_t>(std::lround(_realColor.r * parentColor.r / 255.0f)),
                  static_cast<uint8_t>(std::lround(_realColor.g * parentColor.g / 255.0f)),
                  static_cast<uint8_t>(std::lround(_realColor.b * parentColor.b / 255.0f)));
    _visitOpacity = opacity;
    _visitColor = color;
    sortAllChildren();
    // Children with negative z are drawn behind the node itself. Drawing
    // never changes the tree, so the list is walked in place.
    size_t i = 0, n = _children.size();
    for (; i < n && _children.at(i)->_localZOrder < 0; ++i)
        _children.at(i)->visit(renderer, transform, childOpacity(opacity), childColor(color));
    draw(renderer, transform);
    for (; i < n; ++i) _children.at(i)->visit(renderer, transform, childOpacity(opacity), childColor(color));
}

// --- actions

Action* Node::runAction(Action* action) {
    Director::getInstance()->getActionManager()->addAction(action, this, !_running);
    return action;
}

void Node::stopAllActions() { Director::getInstance()->getActionManager()->removeAllActionsFromTarget(this); }
void Node::stopAction(Action* action) { Director::getInstance()->getActionManager()->removeAction(action); }
void Node::stopActionByTag(int tag) { Director::getInstance()->getActionManager()->removeActionByTag(tag, this); }
Action* Node::getActionByTag(int tag) { return Director::getInstance()->getActionManager()->getActionByTag(tag, this); }
size_t Node::getNumberOfRunningActions() const {
    return Director::getInstance()->getActionManager()->getNumberOfRunningActionsInTarget(this);
}

// --- schedules

void Node::scheduleUpdate() {
    Director::getInstance()->getScheduler()->scheduleUpdate([this](float dt) { update(dt); }, this, 0, !_running);
}

void Node::unscheduleUpdate() { Director::getInstance()->getScheduler()->unscheduleUpdate(this); }

void Node::schedule(const std::function<void(float)>& callback, const std::string& key) {
    schedule(callback, 0, Scheduler::REPEAT_FOREVER, 0, key);
}

void Node::schedule(const std::function<void(float)>& callback, float interval, const std::string& key) {
    schedule(callback, interval, Scheduler::REPEAT_FOREVER, 0, key);
}

void Node::schedule(const std::function<void(float)>& callback, float interval, unsigned repeat, float delay,
                    const std::string& key) {
    Director::getInstance()->getScheduler()->schedule(callback, this, interval, repeat, delay, !_running, key);
}

void Node::scheduleOnce(const std::function<void(float)>& callback, float delay, const std::string& key) {
    schedule(callback, 0, 0, delay, key);
}

void Node::unschedule(const std::string& key) { Director::getInstance()->getScheduler()->unschedule(key, this); }

void Node::unscheduleAllCallbacks() { Director::getInstance()->getScheduler()->unscheduleAllForTarget(this); }

bool Node::isScheduled(const std::string& key) const {
    return Director::getInstance()->getScheduler()->isScheduled(key, this);
}

} // namespace engine
