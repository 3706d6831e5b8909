// Off-screen pictures: what lands in them, how they show, and saving them as
// PNG with the callback on the main thread after the file is complete.
#include <cstring>
#include <filesystem>

#include "engine/core/Scheduler.h"
#include "engine/core/Sprite.h"
#include "engine/platform/Label.h"
#include "engine/platform/RenderTexture.h"
#include "support/HeadlessTest.h"

using namespace engine;
using testsupport::colorNear;

namespace {

class RenderTextureTest : public testsupport::HeadlessTest {
protected:
    // A 285 x 285 point thumbnail with a red square of 100 x 100 points at
    // its lower left, over `clear`.
    RenderTexture* thumbnail(float r, float g, float b, float a) {
        RenderTexture* rt = RenderTexture::create(285, 285);
        EXPECT_NE(rt, nullptr);
        rt->beginWithClear(r, g, b, a);
        rt->visitNode(LayerColor::create(Color4B(255, 0, 0, 255), 100, 100));
        rt->end();
        return rt;
    }

    struct Loaded {
        SDL_Surface* s = nullptr;
        ~Loaded() { if (s) SDL_FreeSurface(s); }
        SDL_Color at(int x, int y) const {
            Uint32 pixel = 0;
            const auto* p = static_cast<const uint8_t*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
            std::memcpy(&pixel, p, s->format->BytesPerPixel);
            SDL_Color c{};
            SDL_GetRGBA(pixel, s->format, &c.r, &c.g, &c.b, &c.a);
            return c;
        }
    };
};

} // namespace

TEST_F(RenderTextureTest, SavedPictureHasTheContentScalePixelsAndTheAlphaAskedFor) {
    RenderTexture* rt = thumbnail(0, 0, 0, 0);
    EXPECT_TRUE(rt->saveToFile("thumb.png"));
    EXPECT_TRUE(rt->getLastSaveSucceeded());
    Loaded png{IMG_Load((dataDir + "thumb.png").c_str())};
    ASSERT_NE(png.s, nullptr) << IMG_GetError();
    EXPECT_EQ(png.s->w, 570);
    EXPECT_EQ(png.s->h, 570);
    ASSERT_NE(png.s->format->Amask, 0u);
    SDL_Color red = png.at(100, 569 - 100);  // the file's rows run top to bottom
    EXPECT_TRUE(colorNear(red, 255, 0, 0));
    EXPECT_EQ(red.a, 255);
    EXPECT_EQ(png.at(199, 569 - 199).a, 255) << "the square's last pixel";
    EXPECT_EQ(png.at(200, 569 - 100).a, 0) << "transparent beside the square";
    EXPECT_EQ(png.at(500, 50).a, 0);

    // Without alpha: an RGB file, the cleared colour where nothing was drawn.
    RenderTexture* opaque = thumbnail(0, 0, 1, 1);
    EXPECT_TRUE(opaque->saveToFile(dataDir + "thumb-rgb.png", false));
    Loaded rgb{IMG_Load((dataDir + "thumb-rgb.png").c_str())};
    ASSERT_NE(rgb.s, nullptr);
    EXPECT_EQ(rgb.s->format->Amask, 0u);
    EXPECT_EQ(rgb.s->format->BytesPerPixel, 3);
    EXPECT_TRUE(colorNear(rgb.at(100, 469), 255, 0, 0));
    EXPECT_TRUE(colorNear(rgb.at(500, 50), 0, 0, 255));
}

TEST_F(RenderTextureTest, CallbackRunsOnceOnTheNextFrameAfterTheFileIsComplete) {
    runScene();
    RenderTexture* rt = thumbnail(1, 1, 1, 1);
    int calls = 0;
    std::string reported;
    bool complete = false, succeeded = false;
    rt->saveToFile("later.png", true, [&](RenderTexture* which, const std::string& path) {
        ++calls;
        reported = path;
        succeeded = which->getLastSaveSucceeded();
        SDL_Surface* s = IMG_Load(path.c_str());
        complete = s && s->w == 570 && s->h == 570;
        if (s) SDL_FreeSurface(s);
    });
    EXPECT_EQ(calls, 0) << "not before the next frame";
    step();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(reported, dataDir + "later.png");
    EXPECT_TRUE(complete) << "the file is whole when the callback runs";
    EXPECT_TRUE(succeeded);
    step(3);
    EXPECT_EQ(calls, 1);
}

TEST_F(RenderTextureTest, CallbackRunsAlsoWhenTheFileCannotBeWritten) {
    runScene();
    RenderTexture* rt = thumbnail(1, 1, 1, 1);
    std::string folder = dataDir + "failing/";
    std::filesystem::create_directories(folder + "taken.png");
    std::vector<std::pair<std::string, bool>> results;
    auto record = [&](RenderTexture* which, const std::string& path) {
        results.emplace_back(path, which->getLastSaveSucceeded());
    };
    EXPECT_FALSE(rt->saveToFile("no/such/folder/x.png", true, record));
    EXPECT_FALSE(rt->saveToFile(folder + "taken.png", true, record));
    EXPECT_TRUE(rt->saveToFile(folder + "fine.png", true, record));
    step();
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].first, dataDir + "no/such/folder/x.png");
    EXPECT_FALSE(results[0].second);
    EXPECT_FALSE(results[1].second) << "a folder has the file's name";
    EXPECT_TRUE(results[2].second) << "each callback sees its own outcome";
    EXPECT_FALSE(std::filesystem::exists(dataDir + "no"));
    EXPECT_TRUE(std::filesystem::is_directory(folder + "taken.png"));
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_TRUE(entry.path().filename() == "taken.png" || entry.path().filename() == "fine.png")
            << "left behind: " << entry.path();
}

TEST_F(RenderTextureTest, SpriteShowsThePictureUprightAndTheWindowIsLeftAsItWas) {
    Scene* scene = runScene();
    scene->addChild(LayerColor::create(Color4B(0, 0, 0, 255)));
    RenderTexture* rt = RenderTexture::create(200, 200);
    rt->beginWithClear(0, 0, 1, 1);
    rt->visitNode(LayerColor::create(Color4B(255, 0, 0, 255), 200, 100));  // the lower half
    Label* label = Label::createWithSystemFont("LED", "Helvetica", 20);
    label->setPosition(100, 150);
    rt->visitNode(label);
    rt->end();
    EXPECT_EQ(label->getRasterCount(), 1u);
    EXPECT_NE(label->getTextureForScale(2.0f), nullptr);
    EXPECT_EQ(label->getRasterCount(), 1u) << "drawn into the target at its 2 pixels per point";
    EXPECT_EQ(renderer()->getMapping().targetWidth, 1024) << "the window's mapping is back";

    rt->setPosition(512, 384);
    scene->addChild(rt);
    step();
    testsupport::Frame f = grab();
    EXPECT_TRUE(colorNear(f.at(512, 384 + 50), 255, 0, 0)) << "red below the middle";
    EXPECT_TRUE(colorNear(f.at(430, 384 - 80), 0, 0, 255)) << "blue above";
    EXPECT_TRUE(colorNear(f.at(512, 384 - 120), 0, 0, 0)) << "nothing beyond the picture";
    EXPECT_TRUE(colorNear(f.at(5, 5), 0, 0, 0));

    // Drawing into the target again, mid-scene, keeps the window's frame.
    rt->beginWithClear(0, 1, 0, 1);
    rt->end();
    step();
    testsupport::Frame g = grab();
    EXPECT_TRUE(colorNear(g.at(512, 384 + 50), 0, 255, 0));
    EXPECT_TRUE(colorNear(g.at(5, 5), 0, 0, 0));
    EXPECT_EQ(g.width(), 1024);
}
