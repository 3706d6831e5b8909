#include "app/FirstScene.h"

#include "engine/core/Scene.h"

using namespace engine;

// Until the list of saved programs exists, the first scene is a plain
// backdrop in the editor's colours.
Node* createFirstLayer() { return LayerColor::create(Color4B(246, 250, 252, 255)); }
