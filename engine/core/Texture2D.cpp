#include "engine/core/Texture2D.h"

#include "engine/core/Director.h"

namespace engine {

Size Texture2D::getContentSize() const {
    float csf = Director::getInstance()->getContentScaleFactor();
    return {getPixelsWide() / csf, getPixelsHigh() / csf};
}

} // namespace engine
