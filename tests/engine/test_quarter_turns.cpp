// Sprites turned by whole quarter turns land turned, not mirrored: the
// software renderer takes such a quad for a plain rectangle.
#include <SDL.h>
#include <SDL_image.h>

#include "engine/core/Sprite.h"
#include "support/HeadlessTest.h"

using namespace engine;
using testsupport::colorNear;

namespace {

class QuarterTurnTest : public testsupport::HeadlessTest {
protected:
    // 80 x 40 pixels (40 x 20 points): red left half, blue right half.
    std::string twoColourPicture() {
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 80, 40, 32, SDL_PIXELFORMAT_RGBA32);
        SDL_Rect left{0, 0, 40, 40}, right{40, 0, 40, 40};
        SDL_FillRect(s, &left, SDL_MapRGBA(s->format, 255, 0, 0, 255));
        SDL_FillRect(s, &right, SDL_MapRGBA(s->format, 0, 0, 255, 255));
        std::string path = dataDir + "red_blue.png";
        IMG_SavePNG(s, path.c_str());
        SDL_FreeSurface(s);
        return path;
    }
};

struct Turn {
    float degrees;
    float scaleX;
    // Where the red half lands, from the centre, in points (y up).
    float redX, redY;
};

} // namespace

TEST_F(QuarterTurnTest, RedHalfLandsWhereTheTurnTakesIt) {
    Scene* scene = runScene();
    scene->addChild(LayerColor::create(Color4B(255, 255, 255, 255)));
    const std::string path = twoColourPicture();
    // Clockwise on screen: a quarter turn takes the left half to the top.
    const Turn turns[] = {
        {0, 1, -10, 0},  {90, 1, 0, 10},  {-90, 1, 0, -10}, {270, 1, 0, -10},
        {180, 1, 10, 0}, {90, -1, 0, -10}, {-90, -1, 0, 10}, {45, 1, -7, 7},
    };
    int i = 0;
    for (const Turn& t : turns) {
        Sprite* s = Sprite::create(path);
        ASSERT_NE(s, nullptr);
        s->setPosition(60 + 100 * i++, 400);
        s->setRotation(t.degrees);
        s->setScaleX(t.scaleX);
        scene->addChild(s);
    }
    step();
    testsupport::Frame f = grab();
    i = 0;
    for (const Turn& t : turns) {
        const float x = 60 + 100 * i++, y = 400;
        SCOPED_TRACE(testing::Message() << t.degrees << " degrees, scale x " << t.scaleX);
        EXPECT_TRUE(colorNear(f.at(static_cast<int>(x + t.redX), static_cast<int>(767 - (y + t.redY))), 255, 0, 0))
            << "red half";
        EXPECT_TRUE(colorNear(f.at(static_cast<int>(x - t.redX), static_cast<int>(767 - (y - t.redY))), 0, 0, 255))
            << "blue half";
    }
}
