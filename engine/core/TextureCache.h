#pragma once
// Pictures by path, loaded once. The platform supplies the loader.
#include <functional>
#include <set>
#include <string>
#include <unordered_map>

#include "engine/core/Texture2D.h"

namespace engine {

class TextureCache : public Ref {
public:
    using Loader = std::function<RefPtr<Texture2D>(const std::string& fullPath)>;
    static void setLoader(Loader loader) { loaderRef() = std::move(loader); }

    // Null when the file is missing or not a picture.
    Texture2D* addImage(const std::string& path);
    Texture2D* getTextureForKey(const std::string& path) const;
    // So that a picture rewritten on disk is read again.
    void removeTextureForKey(const std::string& path);
    void removeAllTextures() { _textures.clear(); }
    size_t size() const { return _textures.size(); }
    // Every path asked for that was missing or not a picture, so a run can
    // tell whether an installed copy found all of its pictures.
    const std::set<std::string>& failedPaths() const { return _failed; }

private:
    static Loader& loaderRef();
    std::unordered_map<std::string, RefPtr<Texture2D>> _textures;
    std::set<std::string> _failed;
};

} // namespace engine
