#pragma once
// A card that carries a typed number: the digits show twice on the picture
// face, and once on the code face converted to the value the program will
// contain (seconds to ticks in jam, to milliseconds in latte).
#include <string>
#include <vector>

#include "engine/core/LabelAtlas.h"
#include "views/CardSprite.h"

class InputCardSprite : public CardSprite {
public:
    // Labels as digit pictures: ".", "/" and "0" to "9" in one row.
    static constexpr char kFirstCharacter = '.';

    static InputCardSprite* create(const std::vector<engine::Rect>& inputRects, const std::string& picturePath,
                                   const std::string& codePath, float multiplier);
    bool init(const std::vector<engine::Rect>& inputRects, const std::string& picturePath,
              const std::string& codePath, float multiplier);

    void setCodeImage(const std::string& path) override;
    void setNumberText(const std::string& text) override;
    void onFlipped() override;

    float getMultiplier() const { return multiplier; }
    engine::LabelAtlas* getBigLabel() const { return bigLabel; }
    engine::LabelAtlas* getSmallLabel() const { return smallLabel; }
    engine::LabelAtlas* getCodeLabel() const { return codeLabel; }
    const std::vector<engine::Rect>& getInputRects() const { return inputRects; }

    // The value the program will contain for `text`, as the code face shows
    // it: a whole number, never in exponent form, read and written the same
    // in every locale. Empty for an empty text.
    static std::string convertedValue(const std::string& text, float multiplier);
    // The number at the start of `text` as the C library's atof reads it in
    // the "C" locale; 0 when there is none.
    static double leadingNumber(const std::string& text);

protected:
    InputCardSprite() = default;

private:
    // Labels exist only on a card made with three rectangles.
    bool hasLabels() const { return codeLabel && inputRects.size() >= 3; }
    void fitLabels();

    float multiplier = 1;
    engine::LabelAtlas* bigLabel = nullptr;    // children of the picture,
    engine::LabelAtlas* smallLabel = nullptr;  // so they turn with it
    engine::LabelAtlas* codeLabel = nullptr;
    std::vector<engine::Rect> inputRects;
};
