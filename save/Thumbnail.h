#pragma once
// A program's thumbnail: the picture the editor drew, written as a PNG
// where the catalogue keeps the program's image.
#include <functional>

class SaveData;
namespace engine {
class RenderTexture;
}

// Calls `done` on the main thread once the file is written, with whether it
// was; at once, with false, when the program has no thumbnail to write.
void writeThumbnail(SaveData* data, engine::RenderTexture* texture, std::function<void(bool written)> done);
