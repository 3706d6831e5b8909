#include "app/FirstScene.h"

#include "field/FieldScene.h"

using namespace engine;

// Until the list of saved programs exists, the editor opens at once on a
// new program.
Node* createFirstLayer() { return FieldScene::create(nullptr); }
