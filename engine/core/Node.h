#pragma once
// The scene graph's element: a transform, children in draw order, actions
// and schedules. Transforms pivot on the anchor point:
// M = T(position) * R(rotation) * turn(3D) * S(scale) * T(-anchor in points).
#include <functional>
#include <string>

#include "engine/core/AffineTransform.h"
#include "engine/core/Ref.h"
#include "engine/core/Types.h"

namespace engine {

class Action;
class Renderer;
class Scene;

class Node : public Ref {
public:
    static constexpr int INVALID_TAG = -1;

    static Node* create();
    virtual bool init() { return true; }

    // --- geometry
    virtual void setPosition(const Vec2& position);
    void setPosition(float x, float y) { setPosition(Vec2(x, y)); }
    const Vec2& getPosition() const { return _position; }
    float getPositionX() const { return _position.x; }
    float getPositionY() const { return _position.y; }
    void setPositionX(float x) { setPosition(Vec2(x, _position.y)); }
    void setPositionY(float y) { setPosition(Vec2(_position.x, y)); }

    virtual void setAnchorPoint(const Vec2& anchor);
    const Vec2& getAnchorPoint() const { return _anchorPoint; }
    Vec2 getAnchorPointInPoints() const {
        return {_anchorPoint.x * _contentSize.width, _anchorPoint.y * _contentSize.height};
    }
    void setIgnoreAnchorPointForPosition(bool ignore);
    bool isIgnoreAnchorPointForPosition() const { return _ignoreAnchorPointForPosition; }

    virtual void setContentSize(const Size& size);
    virtual const Size& getContentSize() const { return _contentSize; }

    virtual void setScale(float scale) { _scaleX = _scaleY = scale; }
    void setScale(float sx, float sy) { _scaleX = sx; _scaleY = sy; }
    virtual void setScaleX(float sx) { _scaleX = sx; }
    virtual void setScaleY(float sy) { _scaleY = sy; }
    float getScale() const { return _scaleX; }
    float getScaleX() const { return _scaleX; }
    float getScaleY() const { return _scaleY; }

    // Degrees, clockwise as on screen.
    virtual void setRotation(float degrees) { _rotation3D.z = degrees; }
    float getRotation() const { return _rotation3D.z; }
    // x and y turn the node about the horizontal and vertical axes (drawn
    // flat: at 90 degrees edge-on, at 180 mirrored); z is the 2D rotation.
    virtual void setRotation3D(const Vec3& rotation) { _rotation3D = rotation; }
    const Vec3& getRotation3D() const { return _rotation3D; }

    virtual void setLocalZOrder(int z);
    int getLocalZOrder() const { return _localZOrder; }
    unsigned getOrderOfArrival() const { return _orderOfArrival; }

    void setTag(int tag) { _tag = tag; }
    int getTag() const { return _tag; }
    void setName(const std::string& name) { _name = name; }
    const std::string& getName() const { return _name; }

    virtual void setVisible(bool visible) { _visible = visible; }
    bool isVisible() const { return _visible; }

    // --- opacity and colour; a node that cascades passes its displayed
    // value on to its children.
    virtual void setOpacity(uint8_t opacity) { _realOpacity = opacity; }
    uint8_t getOpacity() const { return _realOpacity; }
    uint8_t getDisplayedOpacity() const;
    virtual void setColor(const Color3B& color) { _realColor = color; }
    const Color3B& getColor() const { return _realColor; }
    Color3B getDisplayedColor() const;
    void setCascadeOpacityEnabled(bool on) { _cascadeOpacityEnabled = on; }
    bool isCascadeOpacityEnabled() const { return _cascadeOpacityEnabled; }
    void setCascadeColorEnabled(bool on) { _cascadeColorEnabled = on; }
    bool isCascadeColorEnabled() const { return _cascadeColorEnabled; }

    // --- children
    virtual void addChild(Node* child);
    virtual void addChild(Node* child, int localZOrder);
    virtual void addChild(Node* child, int localZOrder, int tag);
    virtual void addChild(Node* child, int localZOrder, const std::string& name);
    virtual void removeChild(Node* child, bool cleanup = true);
    void removeChildByTag(int tag, bool cleanup = true);
    virtual void removeAllChildren() { removeAllChildrenWithCleanup(true); }
    virtual void removeAllChildrenWithCleanup(bool cleanup);
    void removeFromParent() { removeFromParentAndCleanup(true); }
    void removeFromParentAndCleanup(bool cleanup);
    virtual void reorderChild(Node* child, int localZOrder);
    Node* getChildByTag(int tag) const;
    Node* getChildByName(const std::string& name) const;
    const Vector<Node*>& getChildren() const { return _children; }
    size_t getChildrenCount() const { return _children.size(); }
    Node* getParent() const { return _parent; }
    // Children in drawing order: (local z-order, order of arrival).
    void sortAllChildren();
    Scene* getScene() const;

    // --- transforms
    AffineTransform getNodeToParentTransform() const;
    AffineTransform getParentToNodeTransform() const { return getNodeToParentTransform().inverted(); }
    AffineTransform getNodeToWorldTransform() const;
    AffineTransform getWorldToNodeTransform() const { return getNodeToWorldTransform().inverted(); }
    Vec2 convertToWorldSpace(const Vec2& nodePoint) const { return getNodeToWorldTransform().apply(nodePoint); }
    Vec2 convertToNodeSpace(const Vec2& worldPoint) const { return getWorldToNodeTransform().apply(worldPoint); }
    Vec2 convertToWorldSpaceAR(const Vec2& p) const { return convertToWorldSpace(p + getAnchorPointInPoints()); }
    Vec2 convertToNodeSpaceAR(const Vec2& p) const { return convertToNodeSpace(p) - getAnchorPointInPoints(); }
    // The content rectangle in the parent's space.
    Rect getBoundingBox() const;
    // The same box in world coordinates: where a touch on the node lands.
    Rect getBoundingBoxInWorld() const;
    // True when `worldPoint` shows through the window of every clipping
    // node from this one up to the root: a node scrolled out of a clipping
    // view is not there for touches.
    bool isVisibleThroughClipping(const Vec2& worldPoint) const;

    // --- life in the running scene
    virtual void onEnter();
    virtual void onEnterTransitionDidFinish();
    virtual void onExitTransitionDidStart();
    virtual void onExit();
    // Stops actions and schedules of this node and its children.
    virtual void cleanup();
    bool isRunning() const { return _running; }

    // --- drawing
    virtual void visit(Renderer* renderer, const AffineTransform& parentTransform, uint8_t parentOpacity,
                       const Color3B& parentColor);
    virtual void draw(Renderer* /*renderer*/, const AffineTransform& /*transform*/) {}

    // --- actions
    Action* runAction(Action* action);
    void stopAllActions();
    void stopAction(Action* action);
    void stopActionByTag(int tag);
    Action* getActionByTag(int tag);
    size_t getNumberOfRunningActions() const;

    // --- schedules; callbacks and actions of a node pause while it is off
    // the running scene.
    virtual void update(float /*dt*/) {}
    void scheduleUpdate();
    void unscheduleUpdate();
    void schedule(const std::function<void(float)>& callback, const std::string& key);
    void schedule(const std::function<void(float)>& callback, float interval, const std::string& key);
    void schedule(const std::function<void(float)>& callback, float interval, unsigned repeat, float delay,
                  const std::string& key);
    void scheduleOnce(const std::function<void(float)>& callback, float delay, const std::string& key);
    void unschedule(const std::string& key);
    void unscheduleAllCallbacks();
    bool isScheduled(const std::string& key) const;
    virtual void pause();
    virtual void resume();

protected:
    Node();
    ~Node() override;

    // Whether this node's clip hides `worldPoint` from its children (and
    // itself); nodes that do not clip hide nothing.
    virtual bool clipsOut(const Vec2& /*worldPoint*/) const { return false; }

    // Values passed to children while visiting.
    uint8_t childOpacity(uint8_t displayed) const { return _cascadeOpacityEnabled ? displayed : 255; }
    Color3B childColor(const Color3B& displayed) const { return _cascadeColorEnabled ? displayed : Color3B::WHITE; }

    Vec2 _position;
    Vec2 _anchorPoint;
    Size _contentSize;
    bool _ignoreAnchorPointForPosition = false;
    float _scaleX = 1, _scaleY = 1;
    Vec3 _rotation3D;
    int _localZOrder = 0;
    unsigned _orderOfArrival = 0;
    int _tag = INVALID_TAG;
    std::string _name;
    bool _visible = true;
    uint8_t _realOpacity = 255;
    Color3B _realColor = Color3B::WHITE;
    bool _cascadeOpacityEnabled = false;
    bool _cascadeColorEnabled = false;

    Node* _parent = nullptr;
    Vector<Node*> _children;
    bool _reorderChildDirty = false;
    bool _running = false;
    // Whether the scene around this node has finished coming in: a child
    // added before that hears onEnterTransitionDidFinish from its parent.
    bool _isTransitionFinished = false;
    // Opacity and colour of this node as last drawn, parents included.
    uint8_t _visitOpacity = 255;
    Color3B _visitColor = Color3B::WHITE;

private:
    void insertChild(Node* child, int z);
    void detachChild(Node* child, bool cleanup);
};

} // namespace engine
