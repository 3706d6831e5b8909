// Labels: fonts that have the glyphs, text inside its box, wrapping and
// cutting, sharp pictures at the window's scale, and the character-map label.
#include <SDL_ttf.h>

#include <functional>

#include "engine/core/LabelAtlas.h"
#include "engine/platform/FontResolver.h"
#include "engine/platform/Label.h"
#include "support/HeadlessTest.h"

using namespace engine;
using testsupport::colorNear;

namespace {

class LabelTest : public testsupport::HeadlessTest {
protected:
    // Window pixels of a rectangle in design points, at 1024 x 768.
    static SDL_Rect pixelsOf(const Rect& r) {
        return {static_cast<int>(std::floor(r.getMinX())), static_cast<int>(std::floor(768 - r.getMaxY())),
                static_cast<int>(std::ceil(r.size.width)), static_cast<int>(std::ceil(r.size.height))};
    }

    struct Count {
        int inside = 0, outside = 0;
    };
    // Pixels that `match`, inside `box` (one pixel of slack for filtering)
    // and outside it.
    static Count count(const testsupport::Frame& f, const Rect& box, const std::function<bool(SDL_Color)>& match) {
        SDL_Rect b = pixelsOf(box);
        Count c;
        for (int y = 0; y < f.height(); ++y)
            for (int x = 0; x < f.width(); ++x) {
                if (!match(f.at(x, y))) continue;
                bool in = x >= b.x - 1 && x <= b.x + b.w && y >= b.y - 1 && y <= b.y + b.h;
                (in ? c.inside : c.outside)++;
            }
        return c;
    }
    static bool reddish(SDL_Color c) { return c.r > 120 && c.g < 40 && c.b < 40; }

    Scene* blackScene() {
        Scene* scene = runScene();
        scene->addChild(LayerColor::create(Color4B(0, 0, 0, 255)));
        return scene;
    }
};

bool fontHasEveryGlyph(const FontFace& face, const std::string& text) {
    if (!TTF_WasInit()) TTF_Init();
    TTF_Font* font = TTF_OpenFontIndex(face.path.c_str(), 16, face.index);
    if (!font) return false;
    bool all = true;
    for (char32_t c : utf8ToCodePoints(text))
        if (c != ' ' && !TTF_GlyphIsProvided32(font, c)) all = false;
    TTF_CloseFont(font);
    return all;
}

} // namespace

TEST_F(LabelTest, JapaneseTextGetsAFontWithEveryGlyph) {
    for (const char* family : {"Helvetica", "Arial", "HiraKakuProN-W6"}) {
        for (const char* text : {"あたらしくはじめる", "LEDを つける"}) {
            Label* label = Label::createWithSystemFont(text, family, 24);
            ASSERT_NE(label, nullptr);
            EXPECT_TRUE(fontHasEveryGlyph(label->getFontFace(), text))
                << family << " / " << text << " got " << label->getFontFace().path;
        }
    }
    // The font follows the text: English first, Japanese after setString.
    Label* label = Label::createWithSystemFont("START", "Helvetica", 24);
    EXPECT_TRUE(fontHasEveryGlyph(label->getFontFace(), "START"));
    label->setString("はじめる");
    EXPECT_TRUE(fontHasEveryGlyph(label->getFontFace(), "はじめる"));
    // A program in Japanese gets the Japanese font even for Latin text.
    FontFace forJapanese = FontResolver::matchForText("Helvetica", "OK", true);
    EXPECT_TRUE(fontHasEveryGlyph(forJapanese, "あたらしくはじめる"));
    EXPECT_TRUE(FontResolver::covers(forJapanese, "LEDを つける"));
}

TEST_F(LabelTest, EnglishAndJapaneseLabelsDrawTheirGlyphsInsideTheirBox) {
    Scene* scene = blackScene();
    Label* english = Label::createWithSystemFont("Hello LED", "Helvetica", 32);
    Label* japanese = Label::createWithSystemFont("あたらしくはじめる", "HiraKakuProN-W6", 32);
    for (Label* label : {english, japanese}) {
        label->setTextColor(Color4B(255, 0, 0, 255));
        scene->addChild(label);
    }
    english->setPosition(300, 600);
    japanese->setPosition(500, 300);
    EXPECT_GT(english->getContentSize().width, 60);
    EXPECT_GT(japanese->getContentSize().width, 9 * 24) << "nine full-width characters";
    EXPECT_NEAR(english->getBoundingBox().getMidX(), 300, 0.01) << "anchored at the middle";
    step();
    testsupport::Frame f = grab();
    Count en = count(f, english->getBoundingBox(), reddish);
    Count ja = count(f, japanese->getBoundingBox(), reddish);
    EXPECT_GT(en.inside, 100);
    EXPECT_GT(ja.inside, 300);
    EXPECT_EQ(en.outside, ja.inside) << "everything outside the English box is the Japanese text";
    // Solid strokes take the text colour itself.
    int exact = 0;
    for (int y = 0; y < f.height(); ++y)
        for (int x = 0; x < f.width(); ++x) {
            SDL_Color c = f.at(x, y);
            exact += c.r >= 253 && c.g <= 2 && c.b <= 2 ? 1 : 0;
        }
    EXPECT_GT(exact, 100);

    // The node's colour and opacity tint the text.
    japanese->setColor(Color3B(0, 0, 0));
    english->setOpacity(0);
    step();
    testsupport::Frame g = grab();
    Count none = count(g, Rect(0, 0, 1024, 768), reddish);
    EXPECT_EQ(none.inside + none.outside, 0);
}

TEST_F(LabelTest, WrappedTextStaysInsideItsDimensionsAndIsCutBelow) {
    Scene* scene = blackScene();
    const std::string words = "Turn the LED on and off again and again";
    Label* wrapped = Label::createWithSystemFont(words, "Helvetica", 20, Size(150, 0), TextHAlignment::RIGHT);
    Label* japanese = Label::createWithSystemFont("あたらしくはじめるボタンをおす", "Helvetica", 20, Size(100, 0));
    Label* cut = Label::createWithSystemFont(words, "Helvetica", 20, Size(150, 40), TextHAlignment::LEFT,
                                             TextVAlignment::TOP);
    wrapped->setPosition(200, 550);
    japanese->setPosition(600, 550);
    cut->setPosition(400, 200);
    for (Label* label : {wrapped, japanese, cut}) {
        label->setTextColor(Color4B(255, 0, 0, 255));
        scene->addChild(label);
    }
    EXPECT_GE(wrapped->getStringNumLines(), 3);
    EXPECT_EQ(wrapped->getContentSize().width, 150);
    EXPECT_GE(japanese->getStringNumLines(), 3) << "Japanese breaks between characters";
    EXPECT_EQ(japanese->getContentSize().width, 100);
    EXPECT_EQ(cut->getContentSize(), Size(150, 40));
    EXPECT_EQ(cut->getStringNumLines(), wrapped->getStringNumLines());
    step();
    testsupport::Frame f = grab();
    int inside = 0;
    for (Label* label : {wrapped, japanese, cut}) inside += count(f, label->getBoundingBox(), reddish).inside;
    EXPECT_EQ(count(f, Rect(0, 0, 1024, 768), reddish).inside, inside) << "no text outside the three boxes";

    // Right alignment holds for every line, not only the widest.
    Rect box = wrapped->getBoundingBox();
    SDL_Rect b = pixelsOf(box);
    float lineHeight = box.size.height / wrapped->getStringNumLines();
    for (int line = 0; line < wrapped->getStringNumLines(); ++line) {
        int top = b.y + static_cast<int>(line * lineHeight), bottom = b.y + static_cast<int>((line + 1) * lineHeight);
        int rightmost = -1;
        for (int y = top; y < bottom; ++y)
            for (int x = b.x; x <= b.x + b.w; ++x)
                if (reddish(f.at(x, y))) rightmost = std::max(rightmost, x);
        EXPECT_GE(rightmost, b.x + b.w - 4) << "line " << line;
    }
}

TEST_F(LabelTest, EmptyTextHasNoWidthAndDrawsNothing) {
    Scene* scene = blackScene();
    Label* label = Label::createWithSystemFont("", "Helvetica", 24);
    EXPECT_EQ(label->getContentSize(), Size(0, 0));
    Label* sized = Label::createWithSystemFont("", "Helvetica", 24, Size(120, 30));
    EXPECT_EQ(sized->getContentSize(), Size(0, 30));
    Label* emptied = Label::createWithSystemFont("READY", "Helvetica", 24);
    emptied->setTextColor(Color4B(255, 0, 0, 255));
    EXPECT_GT(emptied->getContentSize().width, 0);
    emptied->setString("");
    EXPECT_EQ(emptied->getContentSize().width, 0);
    for (Label* l : {label, sized, emptied}) {
        l->setPosition(512, 384);
        scene->addChild(l);
    }
    step();
    testsupport::Frame f = grab();
    EXPECT_EQ(count(f, Rect(0, 0, 1024, 768), reddish).inside, 0);
    EXPECT_EQ(emptied->getRasterCount(), 0u);
}

TEST_F(LabelTest, RasterisedAtTheWindowsPixelsPerPointAndAgainWhenItChanges) {
    Scene* scene = blackScene();
    Label* label = Label::createWithSystemFont("Scale me", "Helvetica", 30);
    label->setPosition(512, 384);
    scene->addChild(label);
    Size size = label->getContentSize();
    step();
    EXPECT_EQ(label->getRasterCount(), 1u);
    step(3);
    EXPECT_EQ(label->getRasterCount(), 1u) << "unchanged text is not rasterised again";

    view->setWindowSize(2048, 1536);
    step();
    EXPECT_EQ(label->getRasterCount(), 2u);
    Texture2D* sharp = label->getTextureForScale(2.0f);
    EXPECT_EQ(label->getRasterCount(), 2u) << "the picture for scale 2 was made while drawing";
    EXPECT_NEAR(sharp->getPixelsWide(), size.width * 2, 1.0);
    EXPECT_NEAR(sharp->getPixelsHigh(), size.height * 2, 1.0);
    EXPECT_EQ(label->getContentSize(), size) << "points do not change with the window";
    // The text fills its box in the large window as well.
    testsupport::Frame f = grab();
    int lit = 0;
    for (int y = 0; y < f.height(); ++y)
        for (int x = 0; x < f.width(); ++x) lit += f.at(x, y).r > 128 ? 1 : 0;
    EXPECT_GT(lit, 4 * 100);

    label->setString("Changed");
    step();
    EXPECT_EQ(label->getRasterCount(), 3u);
}

TEST_F(LabelTest, TTFLabelFromAFontFileAndMissingFile) {
    std::string font = FontResolver::match("DejaVu Sans").path;
    ASSERT_FALSE(font.empty());
    Label* label = Label::createWithTTF("10 PRINT", font, 16);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->getFontFace().path, font);
    EXPECT_GT(label->getContentSize().width, 30);
    EXPECT_EQ(Label::createWithTTF("x", dataDir + "no-such-font.ttf", 16), nullptr);
}

// --- the character-map label

namespace {

// A map of 5 x 2 cells of 10 x 16 points (20 x 32 pixels), one colour per
// cell: cell i is (20 * i, 255 - 20 * i, 100), or all `solid` when given.
std::string writeCharMap(const std::string& path, const SDL_Color* solid = nullptr) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 100, 64, 32, SDL_PIXELFORMAT_RGBA32);
    for (int i = 0; i < 10; ++i) {
        SDL_Rect cell{(i % 5) * 20, (i / 5) * 32, 20, 32};
        SDL_Color c = solid ? *solid : SDL_Color{static_cast<Uint8>(20 * i), static_cast<Uint8>(255 - 20 * i), 100, 255};
        SDL_FillRect(s, &cell, SDL_MapRGBA(s->format, c.r, c.g, c.b, c.a));
    }
    IMG_SavePNG(s, path.c_str());
    SDL_FreeSurface(s);
    return path;
}

} // namespace

TEST_F(LabelTest, LabelAtlasDrawsCellsByCharacterAndLeavesUnknownOnesEmpty) {
    Scene* scene = blackScene();
    LabelAtlas* atlas = LabelAtlas::create("0123", writeCharMap(dataDir + "digits.png"), 10, 16, '0');
    ASSERT_NE(atlas, nullptr);
    EXPECT_EQ(atlas->getContentSize(), Size(40, 16));
    EXPECT_EQ(atlas->getAnchorPoint(), Vec2(0, 0));
    atlas->setString("");
    EXPECT_EQ(atlas->getContentSize(), Size(0, 0));
    // '/' is before the map, ':' after its last cell: both leave a gap.
    atlas->setString("07/:3");
    EXPECT_EQ(atlas->getContentSize(), Size(50, 16));
    atlas->setPosition(100, 100);
    scene->addChild(atlas);
    step();
    // Middle of cell k of the label, in window pixels.
    auto cell = [](int k) { return std::make_pair(100 + 10 * k + 5, 768 - 108); };
    {
        testsupport::Frame f = grab();
        auto [x0, y0] = cell(0);
        EXPECT_TRUE(colorNear(f.at(x0, y0), 0, 255, 100));
        auto [x1, y1] = cell(1);
        EXPECT_TRUE(colorNear(f.at(x1, y1), 140, 115, 100)) << "'7' is in the second row of the map";
        for (int k : {2, 3}) {
            auto [x, y] = cell(k);
            EXPECT_TRUE(colorNear(f.at(x, y), 0, 0, 0)) << "cell " << k;
        }
        auto [x4, y4] = cell(4);
        EXPECT_TRUE(colorNear(f.at(x4, y4), 60, 195, 100));
    }
    // Another map with the same layout replaces the glyphs.
    SDL_Color blue{0, 0, 255, 255};
    Texture2D* other = Director::getInstance()->getTextureCache()->addImage(writeCharMap(dataDir + "blue.png", &blue));
    atlas->setTexture(other);
    EXPECT_EQ(atlas->getTexture(), other);
    atlas->setColor(Color3B(255, 0, 255));
    step();
    testsupport::Frame f = grab();
    for (int k : {0, 1, 4}) {
        auto [x, y] = cell(k);
        EXPECT_TRUE(colorNear(f.at(x, y), 0, 0, 255)) << "cell " << k;
    }
    auto [x2, y2] = cell(2);
    EXPECT_TRUE(colorNear(f.at(x2, y2), 0, 0, 0));
}
