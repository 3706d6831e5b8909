#pragma once
// A picture the renderer can draw. Its size in points is its size in pixels
// divided by the content scale factor.
#include "engine/core/Ref.h"
#include "engine/core/Types.h"

namespace engine {

class Texture2D : public Ref {
public:
    virtual int getPixelsWide() const = 0;
    virtual int getPixelsHigh() const = 0;
    Size getContentSize() const;
    Size getContentSizeInPixels() const {
        return {static_cast<float>(getPixelsWide()), static_cast<float>(getPixelsHigh())};
    }
};

} // namespace engine
