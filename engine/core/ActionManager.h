#pragma once
// Steps every running action once per frame. A node with running actions
// is kept alive until they end or are stopped.
#include <memory>
#include <unordered_map>
#include <vector>

#include "engine/core/Ref.h"

namespace engine {

class Action;
class Node;

class ActionManager : public Ref {
public:
    void addAction(Action* action, Node* target, bool paused);
    void removeAction(Action* action);
    void removeActionByTag(int tag, Node* target);
    void removeAllActionsFromTarget(Node* target);
    void removeAllActions();
    Action* getActionByTag(int tag, const Node* target) const;
    size_t getNumberOfRunningActionsInTarget(const Node* target) const;
    size_t getNumberOfTargets() const { return _elements.size(); }
    // Pausing holds the actions the target runs now; one added later
    // follows its own `paused` argument.
    void pauseTarget(Node* target);
    void resumeTarget(Node* target);
    void update(float dt);

private:
    struct Running {
        RefPtr<Action> action;
        bool paused = false;
    };
    struct Element {
        RefPtr<Node> target;
        std::vector<Running> actions;
    };
    Element* find(const Node* target) const;
    void removeFromElement(Element& element, Action* action);
    void purgeEmpty();

    std::vector<std::shared_ptr<Element>> _elements;
    bool _updating = false;
};

} // namespace engine
