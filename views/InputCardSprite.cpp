#include "views/InputCardSprite.h"

#include <algorithm>

#include "cards/DeviceManager.h"
#include "cards/NumberText.h"
#include "engine/core/Director.h"
#include "engine/core/TextureCache.h"

using namespace engine;

namespace {
// The least gap between the digits and the card's edge.
const float kInset = 6;
const char* const kBigDigits = "res/r_input_num_jam_l.png";
const char* const kSmallDigits = "res/r_input_num_jam_s.png";
} // namespace

InputCardSprite* InputCardSprite::create(const std::vector<Rect>& rects, const std::string& picturePath,
                                         const std::string& codePath, float multiplier) {
    return initAndAutorelease(new InputCardSprite(), [&](InputCardSprite* card) {
        return card->init(rects, picturePath, codePath, multiplier);
    });
}

bool InputCardSprite::init(const std::vector<Rect>& rects, const std::string& picturePath, const std::string& codePath,
                           float multiplierValue) {
    bool ok = CardSprite::init(picturePath, codePath);
    inputRects = rects;
    if (inputRects.size() < 3) return ok;
    multiplier = multiplierValue;
    Size image = imageSprite->getContentSize();
    auto makeLabel = [&](const std::string& digits, float w, float h, const Rect& rect) {
        LabelAtlas* label = LabelAtlas::create(numberText, digits, w, h, kFirstCharacter);
        if (!label) return label;
        label->setAnchorPoint(Vec2::ANCHOR_MIDDLE);
        label->setPosition(image.width * 0.5f + rect.origin.x, image.height * 0.5f + rect.origin.y);
        imageSprite->addChild(label);
        return label;
    };
    bigLabel = makeLabel(kBigDigits, 24, 36, inputRects[0]);
    smallLabel = makeLabel(kSmallDigits, 12, 18, inputRects[1]);
    codeLabel = makeLabel(DeviceManager::getInstance()->getInputImage(), 24, 36, inputRects[2]);
    if (!bigLabel || !smallLabel || !codeLabel) {
        // Without its digit pictures the card shows no digits but still works.
        for (LabelAtlas* label : {bigLabel, smallLabel, codeLabel})
            if (label) label->removeFromParent();
        bigLabel = smallLabel = codeLabel = nullptr;
        return ok;
    }
    codeLabel->setVisible(false);
    fitLabels();
    return ok;
}

double InputCardSprite::leadingNumber(const std::string& text) { return readNumberText(text); }

std::string InputCardSprite::convertedValue(const std::string& text, float multiplier) {
    return convertedNumberText(text, multiplier);
}

void InputCardSprite::setNumberText(const std::string& text) {
    CardSprite::setNumberText(text);
    if (!hasLabels()) return;
    bigLabel->setString(text);
    smallLabel->setString(text);
    codeLabel->setString(convertedValue(text, multiplier));
    fitLabels();
}

void InputCardSprite::fitLabels() {
    if (!hasLabels()) return;
    LabelAtlas* labels[3] = {bigLabel, smallLabel, codeLabel};
    for (int i = 0; i < 3; ++i) {
        Size size = labels[i]->getContentSize();
        const Rect& rect = inputRects[i];
        // An empty label has no size to fit; it keeps the plain scale.
        float scale = 1;
        if (size.width > 0 && size.height > 0)
            scale = std::min(rect.size.width / size.width, rect.size.height / size.height);
        labels[i]->setScale(scale);
    }
    // The digits on the picture stay inside the card at every length: a long
    // number shrinks into its place, and a place near the edge gives way.
    const Size image = imageSprite->getContentSize();
    for (int i = 0; i < 2; ++i) {
        const Rect& rect = inputRects[static_cast<size_t>(i)];
        const Size size = labels[i]->getContentSize() * labels[i]->getScaleY();
        const float halfW = std::min(size.width / 2, image.width / 2 - kInset), halfH = std::min(size.height / 2, image.height / 2 - kInset);
        const float x = image.width * 0.5f + rect.origin.x, y = image.height * 0.5f + rect.origin.y;
        labels[i]->setPosition(std::clamp(x, halfW + kInset, image.width - halfW - kInset),
                               std::clamp(y, halfH + kInset, image.height - halfH - kInset));
    }
    // Seen through the half turn of the code face, so mirrored.
    codeLabel->setScale(-codeLabel->getScaleX(), codeLabel->getScaleY());
}

void InputCardSprite::onFlipped() {
    if (!hasLabels()) return;
    bigLabel->setVisible(!showingCode);
    smallLabel->setVisible(!showingCode);
    codeLabel->setVisible(showingCode);
}

void InputCardSprite::setCodeImage(const std::string& path) {
    CardSprite::setCodeImage(path);
    DeviceManager* devices = DeviceManager::getInstance();
    if (codeLabel) {
        if (Texture2D* digits = Director::getInstance()->getTextureCache()->addImage(devices->getInputImage()))
            codeLabel->setTexture(digits);
    }
    inputRects = devices->getInputRects(cardIndex, cardSet);
    if (inputRects.size() >= 3 && codeLabel) {
        Size image = imageSprite->getContentSize();
        codeLabel->setPosition(image.width * 0.5f + inputRects[2].origin.x, image.height * 0.5f + inputRects[2].origin.y);
    }
    multiplier = devices->getCardCode(cardIndex, cardSet).multiplier;
    setNumberText(numberText);
}
