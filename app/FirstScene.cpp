#include "app/FirstScene.h"

#include "field/FieldScene.h"
#include "save/SaveScene.h"

using namespace engine;

// The two screens know nothing of each other; here they are joined: a
// program opened on the home screen goes to the editor, and the editor's
// save-and-close comes back home.
Node* createFirstLayer() {
    SaveScene::setEditorOpener([](SaveData* data) { return FieldScene::createScene(data); });
    FieldScene::setHomeOpener([] { return SaveScene::createScene(); });
    return SaveScene::create();
}
