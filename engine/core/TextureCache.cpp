#include "engine/core/TextureCache.h"

#include "engine/core/FileUtils.h"

namespace engine {

TextureCache::Loader& TextureCache::loaderRef() {
    static Loader loader;
    return loader;
}

Texture2D* TextureCache::addImage(const std::string& path) {
    if (path.empty()) return nullptr;
    std::string full = FileUtils::getInstance()->fullPathForFilename(path);
    if (full.empty()) {
        _failed.insert(path);
        return nullptr;
    }
    auto it = _textures.find(full);
    if (it != _textures.end()) return it->second.get();
    if (!loaderRef()) return nullptr;
    RefPtr<Texture2D> texture = loaderRef()(full);
    if (!texture) {
        _failed.insert(path);
        return nullptr;
    }
    _textures[full] = texture;
    return texture.get();
}

Texture2D* TextureCache::getTextureForKey(const std::string& path) const {
    std::string full = FileUtils::getInstance()->fullPathForFilename(path);
    auto it = _textures.find(full.empty() ? path : full);
    return it == _textures.end() ? nullptr : it->second.get();
}

void TextureCache::removeTextureForKey(const std::string& path) {
    std::string full = FileUtils::getInstance()->fullPathForFilename(path);
    _textures.erase(full.empty() ? path : full);
    _textures.erase(path);
}

} // namespace engine
