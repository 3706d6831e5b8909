#include "engine/core/ActionManager.h"

#include <algorithm>

#include "engine/core/Action.h"
#include "engine/core/Node.h"

namespace engine {

ActionManager::Element* ActionManager::find(const Node* target) const {
    for (const auto& e : _elements)
        if (e->target.get() == target) return e.get();
    return nullptr;
}

void ActionManager::addAction(Action* action, Node* target, bool paused) {
    if (!action || !target) return;
    Element* e = find(target);
    if (!e) {
        auto element = std::make_shared<Element>();
        element->target = target;
        _elements.push_back(element);
        e = element.get();
    }
    e->actions.push_back({action, paused});
    action->startWithTarget(target);
}

void ActionManager::removeFromElement(Element& element, Action* action) {
    auto it = std::find_if(element.actions.begin(), element.actions.end(),
                           [&](const Running& r) { return r.action.get() == action; });
    if (it == element.actions.end()) return;
    RefPtr<Action> keep = it->action;  // stop() may run while it is being stepped
    element.actions.erase(it);
    keep->stop();
}

void ActionManager::removeAction(Action* action) {
    if (!action) return;
    for (auto& e : _elements) removeFromElement(*e, action);
    purgeEmpty();
}

void ActionManager::removeActionByTag(int tag, Node* target) {
    Element* e = find(target);
    if (!e) return;
    for (auto& r : e->actions)
        if (r.action->getTag() == tag) { removeFromElement(*e, r.action.get()); break; }
    purgeEmpty();
}

void ActionManager::removeAllActionsFromTarget(Node* target) {
    Element* e = find(target);
    if (!e) return;
    auto actions = std::move(e->actions);
    e->actions.clear();
    for (auto& r : actions) r.action->stop();
    purgeEmpty();
}

void ActionManager::removeAllActions() {
    auto elements = _elements;
    for (auto& e : elements) removeAllActionsFromTarget(e->target.get());
}

Action* ActionManager::getActionByTag(int tag, const Node* target) const {
    Element* e = find(target);
    if (!e) return nullptr;
    for (const auto& r : e->actions)
        if (r.action->getTag() == tag) return r.action.get();
    return nullptr;
}

size_t ActionManager::getNumberOfRunningActionsInTarget(const Node* target) const {
    Element* e = find(target);
    return e ? e->actions.size() : 0;
}

void ActionManager::pauseTarget(Node* target) {
    if (Element* e = find(target))
        for (auto& r : e->actions) r.paused = true;
}

void ActionManager::resumeTarget(Node* target) {
    if (Element* e = find(target))
        for (auto& r : e->actions) r.paused = false;
}

void ActionManager::update(float dt) {
    _updating = true;
    auto elements = _elements;
    for (auto& element : elements) {
        RefPtr<Node> target = element->target;  // an action may remove the node
        std::vector<RefPtr<Action>> actions;
        for (const auto& r : element->actions) actions.push_back(r.action);
        for (auto& action : actions) {
            // Removed, or paused, by an action stepped before it.
            auto& live = element->actions;
            auto it = std::find_if(live.begin(), live.end(), [&](const Running& r) { return r.action == action; });
            if (it == live.end() || it->paused) continue;
            action->step(dt);
            if (action->isDone()) removeFromElement(*element, action.get());
        }
    }
    _updating = false;
    purgeEmpty();
}

void ActionManager::purgeEmpty() {
    if (_updating) return;
    // Moving them out first: releasing a target may release more nodes,
    // whose destructors come back here.
    std::vector<std::shared_ptr<Element>> gone;
    auto it = std::stable_partition(_elements.begin(), _elements.end(),
                                    [](const auto& e) { return !e->actions.empty(); });
    gone.assign(std::make_move_iterator(it), std::make_move_iterator(_elements.end()));
    _elements.erase(it, _elements.end());
}

} // namespace engine
