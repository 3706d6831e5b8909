#include "save/Thumbnail.h"

#include <string>

#include "catalogue/SaveDataManager.h"
#include "engine/platform/RenderTexture.h"

void writeThumbnail(SaveData* data, engine::RenderTexture* texture, std::function<void(bool written)> done) {
    const std::string path = SaveDataManager::getInstance()->getImageFullPath(data);
    if (!texture || path.empty()) {
        if (done) done(false);
        return;
    }
    texture->saveToFile(path, true, [done](engine::RenderTexture* written, const std::string&) {
        if (done) done(written->getLastSaveSucceeded());
    });
}
