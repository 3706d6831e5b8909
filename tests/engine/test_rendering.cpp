// Headless frames: what lands on which pixel.
#include "support/HeadlessTest.h"

#include "engine/core/ClippingRectangleNode.h"
#include "engine/core/Sprite.h"

using namespace engine;
using testsupport::colorNear;

namespace {
class RenderingTest : public testsupport::HeadlessTest {};

// Design point to window pixel at 1024 x 768.
int px(float x) { return static_cast<int>(x); }
int py(float y) { return static_cast<int>(768 - 1 - y); }
} // namespace

TEST_F(RenderingTest, LayerAndHalfTransparentSpriteLandWhereTheyBelong) {
    Scene* scene = runScene();
    scene->addChild(LayerColor::create(Color4B(0, 0, 255, 255)));
    // 200 x 200 pixels at content scale 2: a 100 x 100 point sprite.
    Sprite* sprite = Sprite::create(writeSolidPNG("red.png", 200, 200, {255, 0, 0, 255}));
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(sprite->getContentSize(), Size(100, 100));
    sprite->setPosition(300, 200);
    sprite->setOpacity(128);
    scene->addChild(sprite);
    // The renderer lives as long as the test program: count this frame only.
    const unsigned geometriesBefore = renderer()->geometryCount();
    step();
    testsupport::Frame f = grab();
    ASSERT_TRUE(f.valid());
    EXPECT_TRUE(colorNear(f.at(px(300), py(200)), 128, 0, 127));
    EXPECT_TRUE(colorNear(f.at(px(252), py(152)), 128, 0, 127));
    EXPECT_TRUE(colorNear(f.at(px(355), py(200)), 0, 0, 255));
    EXPECT_TRUE(colorNear(f.at(px(300), py(255)), 0, 0, 255));
    EXPECT_TRUE(colorNear(f.at(5, 5), 0, 0, 255));
    EXPECT_EQ(renderer()->geometryCount(), geometriesBefore) << "an unturned sprite takes the plain copy path";

    sprite->setColor(Color3B(0, 255, 0));
    sprite->setOpacity(255);
    step();
    testsupport::Frame g = grab();
    EXPECT_TRUE(colorNear(g.at(px(300), py(200)), 0, 0, 0)) << "red tinted green is black";
}

TEST_F(RenderingTest, ShowAllLetterboxesTheDesignArea) {
    Scene* scene = runScene();
    scene->addChild(LayerColor::create(Color4B(255, 255, 0, 255)));
    view->setWindowSize(1024, 1024);
    step();
    testsupport::Frame f = grab();
    ASSERT_EQ(f.height(), 1024);
    EXPECT_TRUE(colorNear(f.at(512, 60), 0, 0, 0)) << "bar above";
    EXPECT_TRUE(colorNear(f.at(512, 1000), 0, 0, 0)) << "bar below";
    EXPECT_TRUE(colorNear(f.at(512, 140), 255, 255, 0));
    EXPECT_TRUE(colorNear(f.at(512, 880), 255, 255, 0));
    view->setWindowSize(512, 768);  // narrower: scale 0.5, bars above and below
    step();
    testsupport::Frame g = grab();
    EXPECT_TRUE(colorNear(g.at(256, 100), 0, 0, 0));
    EXPECT_TRUE(colorNear(g.at(256, 384), 255, 255, 0));
    EXPECT_EQ(view->windowToDesign(256, 384), Vec2(512, 384));
}

TEST_F(RenderingTest, NestedClipsIntersectAndTheOuterComesBack) {
    Scene* scene = runScene();
    scene->addChild(LayerColor::create(Color4B(0, 0, 0, 255)));
    auto* outer = ClippingRectangleNode::create(Rect(100, 100, 400, 400));
    auto* inner = ClippingRectangleNode::create(Rect(300, 300, 400, 400));
    scene->addChild(outer);
    outer->addChild(inner);
    inner->addChild(LayerColor::create(Color4B(255, 0, 0, 255)));
    // Drawn after the inner clip ended: only the outer clip applies.
    auto* after = LayerColor::create(Color4B(0, 255, 0, 128));
    outer->addChild(after);
    // Drawn after both: nothing clips it.
    auto* last = LayerColor::create(Color4B(0, 0, 255, 255), 50, 50);
    last->setPosition(900, 700);
    scene->addChild(last);
    step();
    testsupport::Frame f = grab();
    EXPECT_TRUE(colorNear(f.at(px(400), py(400)), 128, 127, 0)) << "red under half green, inside both";
    EXPECT_TRUE(colorNear(f.at(px(200), py(200)), 0, 128, 0)) << "inside the outer clip only";
    EXPECT_TRUE(colorNear(f.at(px(600), py(400)), 0, 0, 0)) << "inside the inner clip only";
    EXPECT_TRUE(colorNear(f.at(px(50), py(50)), 0, 0, 0));
    EXPECT_TRUE(colorNear(f.at(px(920), py(720)), 0, 0, 255)) << "clip released";
    EXPECT_FALSE(renderer()->isScissorEnabled());
}

TEST_F(RenderingTest, NodesOutsideTheClipAreNotDrawn) {
    Scene* scene = runScene();
    auto* clip = ClippingRectangleNode::create(Rect(0, 0, 100, 100));
    scene->addChild(clip);
    std::string path = writeSolidPNG("white.png", 20, 20, {255, 255, 255, 255});
    for (int i = 0; i < 10; ++i) {
        Sprite* s = Sprite::create(path);
        s->setPosition(50 + i * 100, 50);
        clip->addChild(s);
    }
    unsigned before = renderer()->copyCount();
    step();
    EXPECT_EQ(renderer()->copyCount() - before, 1u);
}

TEST_F(RenderingTest, HalfTurnShowsThePictureMirroredAndQuarterTurnHidesIt) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 200, 100, 32, SDL_PIXELFORMAT_RGBA32);
    SDL_Rect left{0, 0, 100, 100}, right{100, 0, 100, 100};
    SDL_FillRect(s, &left, SDL_MapRGBA(s->format, 255, 0, 0, 255));
    SDL_FillRect(s, &right, SDL_MapRGBA(s->format, 0, 255, 0, 255));
    std::string path = dataDir + "halves.png";
    IMG_SavePNG(s, path.c_str());
    SDL_FreeSurface(s);

    Scene* scene = runScene();
    Sprite* card = Sprite::create(path);
    card->setPosition(500, 400);
    scene->addChild(card);
    step();
    {
        testsupport::Frame f = grab();
        EXPECT_TRUE(colorNear(f.at(px(470), py(400)), 255, 0, 0));
        EXPECT_TRUE(colorNear(f.at(px(530), py(400)), 0, 255, 0));
    }
    card->setRotation3D({0, 180, 0});
    step();
    {
        testsupport::Frame f = grab();
        EXPECT_TRUE(colorNear(f.at(px(470), py(400)), 0, 255, 0));
        EXPECT_TRUE(colorNear(f.at(px(530), py(400)), 255, 0, 0));
    }
    card->setRotation3D({0, 90, 0});
    step();
    {
        testsupport::Frame f = grab();
        EXPECT_TRUE(colorNear(f.at(px(470), py(400)), 0, 0, 0));
        EXPECT_TRUE(colorNear(f.at(px(530), py(400)), 0, 0, 0));
    }
    // Upside down is still a plain copy; a slanted picture needs geometry
    // and still lands in place.
    card->setRotation3D({0, 0, 0});
    card->setRotation(180);
    unsigned geometry = renderer()->geometryCount();
    step();
    {
        testsupport::Frame f = grab();
        EXPECT_EQ(renderer()->geometryCount(), geometry);
        EXPECT_TRUE(colorNear(f.at(px(470), py(400)), 0, 255, 0));
        EXPECT_TRUE(colorNear(f.at(px(530), py(400)), 255, 0, 0));
    }
    card->setRotation(170);
    step();
    testsupport::Frame f = grab();
    EXPECT_GT(renderer()->geometryCount(), geometry);
    EXPECT_TRUE(colorNear(f.at(px(460), py(400)), 0, 255, 0));
    EXPECT_TRUE(colorNear(f.at(px(540), py(400)), 255, 0, 0));
}

TEST_F(RenderingTest, SetTextureByPathTakesTheNewPictureAndSize) {
    Scene* scene = runScene();
    Sprite* sprite = Sprite::create(writeSolidPNG("small.png", 40, 20, {255, 0, 0, 255}));
    scene->addChild(sprite);
    EXPECT_EQ(sprite->getContentSize(), Size(20, 10));
    sprite->setTexture(writeSolidPNG("big.png", 100, 60, {0, 255, 0, 255}));
    EXPECT_EQ(sprite->getContentSize(), Size(50, 30));
    EXPECT_EQ(Sprite::create(dataDir + "missing.png"), nullptr);
    // A picture rewritten on disk is read again once dropped from the cache.
    std::string path = writeSolidPNG("changing.png", 10, 10, {0, 0, 0, 255});
    Texture2D* first = Director::getInstance()->getTextureCache()->addImage(path);
    writeSolidPNG("changing.png", 30, 30, {0, 0, 0, 255});
    EXPECT_EQ(Director::getInstance()->getTextureCache()->addImage(path), first);
    Director::getInstance()->getTextureCache()->removeTextureForKey(path);
    EXPECT_EQ(Director::getInstance()->getTextureCache()->addImage(path)->getPixelsWide(), 30);
}

TEST_F(RenderingTest, ASpriteWithoutAPictureIsASolidRectangleOfItsColour) {
    Scene* scene = runScene();
    scene->addChild(LayerColor::create(Color4B(0, 0, 0, 255)));
    Sprite* plain = Sprite::create();
    ASSERT_NE(plain, nullptr);
    plain->setTextureRect(Rect(0, 0, 80, 40));
    plain->setColor(Color3B(255, 128, 0));
    plain->setPosition(200, 300);
    scene->addChild(plain);
    step();
    testsupport::Frame f = grab();
    EXPECT_TRUE(colorNear(f.at(px(200), py(300)), 255, 128, 0));
    EXPECT_TRUE(colorNear(f.at(px(163), py(283)), 255, 128, 0)) << "its whole rectangle";
    EXPECT_TRUE(colorNear(f.at(px(245), py(300)), 0, 0, 0)) << "and no more";
    EXPECT_TRUE(colorNear(f.at(px(200), py(325)), 0, 0, 0));
}
