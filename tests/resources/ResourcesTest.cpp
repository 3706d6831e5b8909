// The generated resources, read the way the editor reads them: every path it
// asks for exists in both languages at the size the layout assumes, the code
// faces carry the catalogue's code mirrored, and the board's font loads.
#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>
#include <SDL2/SDL_ttf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cards/CardCatalog.h"
#include "tools/picgen/PictureList.h"

namespace fs = std::filesystem;

namespace {

const fs::path kResources = CORVINA_TEST_RESOURCE_DIR;
const std::string kPictureList = std::string(CORVINA_SOURCE_DIR) + "/Resources/pictures.txt";

struct Rgba {
    std::uint8_t r, g, b, a;
};

// A loaded picture as plain RGBA pixels.
struct Picture {
    int w = 0, h = 0;
    std::vector<Rgba> px;
    Rgba at(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
};

Picture fromSurface(SDL_Surface* loaded)
{
    Picture p;
    if (!loaded)
        return p;
    SDL_Surface* s = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGBA32, 0);
    SDL_FreeSurface(loaded);
    p.w = s->w;
    p.h = s->h;
    p.px.resize(static_cast<size_t>(p.w) * p.h);
    for (int y = 0; y < p.h; ++y)
        std::memcpy(&p.px[static_cast<size_t>(y) * p.w], static_cast<std::uint8_t*>(s->pixels) + y * s->pitch,
                    static_cast<size_t>(p.w) * 4);
    SDL_FreeSurface(s);
    return p;
}

Picture load(const std::string& relative)
{
    return fromSurface(IMG_Load((kResources / relative).string().c_str()));
}

// Pixel size of every picture the catalogue or the picture list names.
std::map<std::string, std::pair<int, int>> expectedSizes()
{
    std::map<std::string, std::pair<int, int>> sizes;
    for (const auto& p : picgen::readPictureList(kPictureList))
        sizes[p.path] = {p.width * 2, p.height * 2};
    for (int set = 0; set < kCardSetCount; ++set)
        for (int i = 0; i < CardCatalog::cardCount(set); ++i) {
            sizes[CardCatalog::picturePath({set, i})] = {400, 200};
            for (int d = 0; d < kDialectCount; ++d)
                sizes[CardCatalog::codeImagePath({set, i}, d)] = {400, 200};
        }
    return sizes;
}

// The catalogue's paths besides card faces: tabs, dialect buttons, digits.
std::vector<std::string> catalogueOtherPaths()
{
    std::vector<std::string> paths;
    for (int set = 0; set < kCardSetCount; ++set)
        for (bool on : {true, false})
            paths.push_back(CardCatalog::cardSetImage(set, on));
    for (int d = 0; d < kDialectCount; ++d) {
        const auto& info = CardCatalog::dialect(d);
        paths.insert(paths.end(), {info.buttonImageOn, info.buttonImageOff, info.inputImage});
    }
    return paths;
}

std::vector<std::string> csvLines()
{
    std::ifstream in(kResources / "file.csv", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::vector<std::string> lines;
    std::string all = ss.str(), line;
    for (char c : all) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

class Resources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        IMG_Init(IMG_INIT_PNG);
        TTF_Init();
    }
};

TEST_F(Resources, EveryRequestedPictureExistsAtItsSize)
{
    const auto sizes = expectedSizes();
    for (const auto& path : catalogueOtherPaths())
        EXPECT_TRUE(sizes.count(path)) << path << " is named by the catalogue but has no size in the picture list";
    for (const auto& [path, size] : sizes) {
        Picture p = load(path);
        ASSERT_GT(p.w, 0) << path << " is missing or unreadable";
        EXPECT_EQ(p.w, size.first) << path;
        EXPECT_EQ(p.h, size.second) << path;
    }
}

TEST_F(Resources, LayoutSizesMatchTheArtDirection)
{
    // Positions in the editor are derived from these sizes.
    const std::map<std::string, std::pair<int, int>> layout = {
        {"res/cards/basic/r_led1.png", {400, 200}},   {"res/cards/basic/jam/r_led1_jam.png", {400, 200}},
        {"res/r_input_num_jam_l.png", {576, 72}},     {"res/r_input_num_latte_l.png", {576, 72}},
        {"res/r_input_num_jam_s.png", {288, 36}},     {"res/r_field_num.png", {180, 22}},
        {"res/r_field_num_w.png", {180, 22}},         {"res/r_field.png", {420, 220}},
        {"res/r_field_no.png", {128, 232}},           {"res/r_card_num.png", {80, 80}},
        {"res/r_card_flick.png", {72, 72}},           {"res/r_btn_add.png", {60, 60}},
        {"res/r_btn_delete.png", {60, 60}},           {"res/r_record_beginning.png", {600, 600}},
        {"res/r_save_entry_back.png", {600, 428}},
    };
    for (const auto& [path, size] : layout) {
        Picture p = load(path);
        EXPECT_EQ(p.w, size.first) << path;
        EXPECT_EQ(p.h, size.second) << path;
    }
}

TEST_F(Resources, EnglishVersionsFollowTheList)
{
    ASSERT_TRUE(fs::exists(kResources / "file.csv"));
    std::ifstream in(kResources / "file.csv", std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(raw.find('\r'), std::string::npos) << "file.csv must end its lines with line feeds only";

    const auto sizes = expectedSizes();
    std::set<std::string> listed;
    for (const auto& line : csvLines()) {
        ASSERT_EQ(line.rfind("res/", 0), 0u) << "\"" << line << "\" is not a picture path";
        EXPECT_TRUE(sizes.count(line)) << line << " is listed but never requested";
        const std::string english = "res_en/" + line.substr(4);
        Picture ja = load(line), en = load(english);
        ASSERT_GT(en.w, 0) << english << " is missing";
        EXPECT_EQ(en.w, ja.w) << english;
        EXPECT_EQ(en.h, ja.h) << english;
        listed.insert(english);
    }
    // An English picture that is not listed would never be shown.
    if (fs::exists(kResources / "res_en")) {
        for (const auto& entry : fs::recursive_directory_iterator(kResources / "res_en")) {
            if (entry.is_regular_file()) {
                EXPECT_TRUE(listed.count(fs::relative(entry.path(), kResources).generic_string()))
                    << entry.path() << " is not in file.csv";
            }
        }
    }
}

TEST_F(Resources, PixelFontLoadsAndCoversCodeAndKana)
{
    const std::string font = (kResources / "fonts/IchigoJam-1.2.ttf").string();
    TTF_Font* f = TTF_OpenFont(font.c_str(), 20);
    ASSERT_NE(f, nullptr) << TTF_GetError();
    for (char32_t c : {U'0', U'9', U'@', U'{', U'A', U'z', U'あ', U'か'})
        EXPECT_TRUE(TTF_GlyphIsProvided32(f, static_cast<Uint32>(c))) << "no glyph for U+" << std::hex
                                                                      << static_cast<unsigned>(c);
    TTF_CloseFont(f);
}

// ---- code faces ------------------------------------------------------------------

// Ink of a text in the board's font at its native 8-pixel size.
Picture nativeText(const std::string& text)
{
    static TTF_Font* font = [] {
        TTF_Font* f = TTF_OpenFont((kResources / "fonts/IchigoJam-1.2.ttf").string().c_str(), 8);
        if (f)
            TTF_SetFontHinting(f, TTF_HINTING_MONO);
        return f;
    }();
    if (!font || text.empty())
        return {};
    return fromSurface(TTF_RenderUTF8_Solid(font, text.c_str(), {255, 255, 255, 255}));
}

using Mask = std::vector<std::vector<bool>>;

Mask maskOf(const Picture& p, bool (*on)(Rgba), int x0 = 0, int y0 = 0, int w = -1, int h = -1)
{
    if (w < 0)
        w = p.w;
    if (h < 0)
        h = p.h;
    Mask m(static_cast<size_t>(h), std::vector<bool>(static_cast<size_t>(w)));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            m[y][x] = on(p.at(x0 + x, y0 + y));
    return m;
}

// Trims empty rows and columns.
Mask trimmed(const Mask& m)
{
    int top = -1, bottom = -1, left = 1 << 30, right = -1;
    for (int y = 0; y < static_cast<int>(m.size()); ++y)
        for (int x = 0; x < static_cast<int>(m[y].size()); ++x)
            if (m[y][x]) {
                if (top < 0)
                    top = y;
                bottom = y;
                left = std::min(left, x);
                right = std::max(right, x);
            }
    Mask out;
    for (int y = top; y >= 0 && y <= bottom; ++y)
        out.emplace_back(m[y].begin() + left, m[y].begin() + right + 1);
    return out;
}

Mask mirrored(Mask m)
{
    for (auto& row : m)
        std::reverse(row.begin(), row.end());
    return m;
}

// Shrinks a mask drawn with `k` x `k` blocks back to one cell a block.
Mask shrunk(const Mask& m, int k)
{
    Mask out;
    for (size_t y = k / 2; y < m.size(); y += k) {
        std::vector<bool> row;
        for (size_t x = k / 2; x < m[y].size(); x += k)
            row.push_back(m[y][x]);
        out.push_back(row);
    }
    return out;
}

bool isCodeWhite(Rgba c) { return c.r == 255 && c.g == 255 && c.b == 255 && c.a == 255; }
bool isNumberBox(Rgba c) { return std::abs(c.r - 0x2A) < 6 && std::abs(c.g - 0x35) < 6 && std::abs(c.b - 0x40) < 6; }

// Splits a code face's white ink into its lines, top to bottom.
std::vector<Mask> linesOf(const Mask& m)
{
    std::vector<Mask> lines;
    Mask current;
    for (const auto& row : m) {
        bool any = std::find(row.begin(), row.end(), true) != row.end();
        if (any) {
            current.push_back(row);
        } else if (!current.empty()) {
            lines.push_back(trimmed(current));
            current.clear();
        }
    }
    if (!current.empty())
        lines.push_back(trimmed(current));
    return lines;
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> out;
    std::stringstream ss(text);
    for (std::string l; std::getline(ss, l, '\n');)
        out.push_back(l);
    return out;
}

TEST_F(Resources, CodeFacesShowTheCatalogueCodeMirrored)
{
    int checked = 0;
    for (int set = 0; set < kCardSetCount; ++set)
        for (int i = 0; i < CardCatalog::cardCount(set); ++i)
            for (int d : {DIALECT_JAM, DIALECT_LATTE}) {
                const CardKind card{set, i};
                const CardCode code = CardCatalog::cardCode(card, d);
                if (code.kind == 1)
                    continue;  // number cards: see the next test
                const std::string path = CardCatalog::codeImagePath(card, d);
                SCOPED_TRACE(path + ": \"" + code.text + "\"");
                Picture face = load(path);
                ASSERT_EQ(face.w, 400);
                const std::vector<Mask> seen = linesOf(mirrored(maskOf(face, isCodeWhite)));
                const std::vector<std::string> expected = splitLines(code.text);
                ASSERT_EQ(seen.size(), expected.size()) << "one band of white letters per line of code";
                for (size_t l = 0; l < expected.size(); ++l) {
                    Mask native = trimmed(maskOf(nativeText(expected[l]), [](Rgba c) { return c.a >= 128; }));
                    ASSERT_FALSE(native.empty());
                    ASSERT_EQ(seen[l].size() % native.size(), 0u) << "letters are whole font pixels";
                    const int k = static_cast<int>(seen[l].size() / native.size());
                    EXPECT_GE(k, 4) << "big enough to read at palette size";
                    EXPECT_EQ(shrunk(seen[l], k), native) << "line " << l << " reads as the catalogue's code once turned";
                    if (mirrored(native) != native) {
                        EXPECT_NE(shrunk(mirrored(seen[l]), k), native) << "stored unmirrored";
                    }
                }
                ++checked;
            }
    EXPECT_GT(checked, 60);
}

TEST_F(Resources, NumberCardsLeaveTheirBoxWhereTheTypedValueLands)
{
    int checked = 0;
    for (int set = 0; set < kCardSetCount; ++set)
        for (int i = 0; i < CardCatalog::cardCount(set); ++i)
            for (int d : {DIALECT_JAM, DIALECT_LATTE}) {
                const CardKind card{set, i};
                const CardCode code = CardCatalog::cardCode(card, d);
                const auto rects = CardCatalog::inputRects(card, d);
                if (code.kind != 1 || rects.size() < 3)
                    continue;
                const std::string path = CardCatalog::codeImagePath(card, d);
                SCOPED_TRACE(path);
                Picture face = load(path);
                // The value label is a child of the picture, at the centre plus
                // rectangle 2 (y up), so in the stored picture that is where the
                // box must be.
                const engine::Rect& r = rects[2];
                const double cx = 2 * (100 + r.origin.x), cy = 2 * (50 - r.origin.y);
                Mask box = maskOf(face, isNumberBox);
                double sx = 0, sy = 0, n = 0;
                for (int y = 0; y < face.h; ++y)
                    for (int x = 0; x < face.w; ++x)
                        if (box[y][x]) {
                            sx += x;
                            sy += y;
                            ++n;
                        }
                ASSERT_GT(n, 2 * r.size.width * 2 * r.size.height * 0.6) << "an empty box the size of rectangle 2";
                EXPECT_NEAR(sx / n, cx, 3.0);
                EXPECT_NEAR(sy / n, cy, 3.0);
                // No placeholder character is drawn: what is white is the code
                // around it, split by the box.
                const std::vector<Mask> seen = linesOf(mirrored(maskOf(face, isCodeWhite)));
                EXPECT_EQ(seen.size(), splitLines(code.text).size());

                // On the picture face the big typed digits land in rectangle 0
                // (not mirrored): that area is one plain colour.
                Picture picture = load(CardCatalog::picturePath(card));
                const engine::Rect& r0 = rects[0];
                const int x0 = static_cast<int>(2 * (100 + r0.origin.x - r0.size.width / 2)) + 2;
                const int y0 = static_cast<int>(2 * (50 - r0.origin.y - r0.size.height / 2)) + 2;
                const Rgba plain = picture.at(x0, y0);
                int other = 0;
                for (int y = y0; y < y0 + 2 * r0.size.height - 4; ++y)
                    for (int x = x0; x < x0 + 2 * r0.size.width - 4; ++x) {
                        Rgba c = picture.at(x, y);
                        other += std::abs(c.r - plain.r) + std::abs(c.g - plain.g) + std::abs(c.b - plain.b) > 12;
                    }
                EXPECT_EQ(other, 0) << "the typed number's place on the picture is not clean";
                ++checked;
            }
    EXPECT_EQ(checked, 4);  // wait and loop, in jam and latte
}

TEST_F(Resources, CodeFacesCarryTheirDialectMarkInTheMirroredCorner)
{
    // The mark is seen in the top right corner after the turn, so it is
    // stored top left: there the face is not plain screen black.
    auto busy = [](const Picture& p, int x0, int x1) {
        int n = 0;
        for (int y = 16; y < 70; ++y)
            for (int x = x0; x < x1; ++x) {
                Rgba c = p.at(x, y);
                n += (c.r + c.g + c.b > 200);
            }
        return n;
    };
    for (const std::string path : {"res/cards/basic/jam/r_led1_jam.png", "res/cards/pap/latte/r_out33_latte.png",
                                   "res/cards/full/latte/r_beep_latte.png"}) {
        Picture face = load(path);
        EXPECT_GT(busy(face, 24, 130), 400) << path;
        EXPECT_EQ(busy(face, 400 - 130, 400 - 24), 0) << path;
    }
}

// ---- picture faces -------------------------------------------------------------------

TEST_F(Resources, EveryCardPictureDiffersFromEveryOtherAtPaletteSize)
{
    struct Small {
        std::string path;
        std::vector<float> grey;
    };
    std::vector<Small> cards;
    for (int set = 0; set < kCardSetCount; ++set)
        for (int i = 0; i < CardCatalog::cardCount(set); ++i) {
            const std::string path = CardCatalog::picturePath({set, i});
            Picture p = load(path);
            ASSERT_EQ(p.w, 400) << path;
            // Averaged down to the palette's 100 x 50.
            Small s{path, std::vector<float>(100 * 50 * 3)};
            for (int y = 0; y < 200; ++y)
                for (int x = 0; x < 400; ++x) {
                    Rgba c = p.at(x, y);
                    float a = c.a / 255.0f / 16.0f;
                    size_t at = (static_cast<size_t>(y / 4) * 100 + x / 4) * 3;
                    s.grey[at] += c.r * a;
                    s.grey[at + 1] += c.g * a;
                    s.grey[at + 2] += c.b * a;
                }
            cards.push_back(std::move(s));
        }
    for (size_t a = 0; a < cards.size(); ++a)
        for (size_t b = a + 1; b < cards.size(); ++b) {
            // Share of palette pixels that differ clearly.
            int differ = 0;
            for (size_t i = 0; i < cards[a].grey.size(); i += 3) {
                float d = std::fabs(cards[a].grey[i] - cards[b].grey[i]) +
                          std::fabs(cards[a].grey[i + 1] - cards[b].grey[i + 1]) +
                          std::fabs(cards[a].grey[i + 2] - cards[b].grey[i + 2]);
                differ += d > 60.0f;
            }
            EXPECT_GT(differ, 80) << cards[a].path << " and " << cards[b].path << " look alike";
        }
}

TEST_F(Resources, CardPicturesAreOpaqueInsideAndRoundedAtTheCorners)
{
    for (int set = 0; set < kCardSetCount; ++set)
        for (int i = 0; i < CardCatalog::cardCount(set); ++i)
            for (const std::string& path :
                 {CardCatalog::picturePath({set, i}), CardCatalog::codeImagePath({set, i}, DIALECT_JAM)}) {
                Picture p = load(path);
                EXPECT_EQ(p.at(0, 0).a, 0) << path;
                EXPECT_EQ(p.at(399, 199).a, 0) << path;
                EXPECT_EQ(p.at(200, 100).a, 255) << path;
                EXPECT_EQ(p.at(200, 2).a, 255) << path << ": the outline reaches the edge";
            }
}

TEST_F(Resources, CardEdgesAreNotDarkenedByCompositing)
{
    // Half-transparent edge pixels must keep the outline's colour; composing
    // onto a transparent picture the wrong way leaves a dark fringe.
    for (int set = 0; set < kCardSetCount; ++set)
        for (int i = 0; i < CardCatalog::cardCount(set); ++i) {
            const std::string path = CardCatalog::picturePath({set, i});
            Picture p = load(path);
            const Rgba outline = p.at(3, 100);
            int fringe = 0;
            for (int y = 0; y < p.h; ++y)
                for (int x = 0; x < p.w; ++x) {
                    Rgba c = p.at(x, y);
                    if (c.a > 20 && c.a < 235 &&
                        std::abs(c.r - outline.r) + std::abs(c.g - outline.g) + std::abs(c.b - outline.b) > 60)
                        ++fringe;
                }
            EXPECT_EQ(fringe, 0) << path;
        }
}

// Where the pixels of one exact colour lie inside a card's outline
// (centroid), and how many there are.
struct Spot {
    double x = 0, y = 0;
    int n = 0;
};

Spot spotOf(const Picture& p, Rgba colour)
{
    Spot s;
    const int inset = 12;
    for (int y = inset; y < p.h - inset; ++y)
        for (int x = inset; x < p.w - inset; ++x) {
            Rgba c = p.at(x, y);
            if (c.a == 255 && std::abs(c.r - colour.r) < 4 && std::abs(c.g - colour.g) < 4 &&
                std::abs(c.b - colour.b) < 4) {
                s.x += x;
                s.y += y;
                ++s.n;
            }
        }
    if (s.n) {
        s.x /= s.n;
        s.y /= s.n;
    }
    return s;
}

// The picture of the card whose jam code is `jam`.
Picture pictureOf(const std::string& jam)
{
    for (int set = 0; set < kCardSetCount; ++set)
        for (int i = 0; i < CardCatalog::cardCount(set); ++i)
            if (CardCatalog::cardCode({set, i}, DIALECT_JAM).text == jam)
                return load(CardCatalog::picturePath({set, i}));
    ADD_FAILURE() << "no card \"" << jam << "\"";
    return {};
}

TEST_F(Resources, PicturesShowWhatTheirCodeDoes)
{
    // Colours of the art direction: a lit lamp, the red pin through the wheel
    // a car turns around, the purple of the arm that moves.
    const Rgba lit{0xFF, 0xD2, 0x1F, 255}, pin{0xF0, 0x52, 0x4F, 255}, arm{0x9A, 0x5A, 0xD6, 255};

    EXPECT_GT(spotOf(pictureOf("LED 1"), lit).n, 1000);
    EXPECT_EQ(spotOf(pictureOf("LED 0"), lit).n, 0);
    for (int n = 1; n <= 6; ++n) {
        const std::string out = "OUT " + std::to_string(n);
        EXPECT_GT(spotOf(pictureOf(out + ", 1"), lit).n, 500) << out;
        EXPECT_EQ(spotOf(pictureOf(out + ", 0"), lit).n, 0) << out;
    }

    // Turning around one wheel: left turns (forwards OUT 32, backwards
    // OUT 16) stand on the left wheel, right turns (OUT 1, OUT 2) on the right.
    for (const auto& [code, left] : std::vector<std::pair<std::string, bool>>{
             {"OUT 32", true}, {"OUT 16", true}, {"OUT 1", false}, {"OUT 2", false}}) {
        Spot s = spotOf(pictureOf(code), pin);
        ASSERT_GT(s.n, 50) << code;
        EXPECT_EQ(s.x < 200, left) << code;
    }

    // PWM 3 and PWM 4 move different arms; 60, 145 and 230 take each arm
    // through three distinct places in one direction.
    for (int servo : {3, 4}) {
        std::vector<Spot> spots;
        for (int value : {60, 145, 230}) {
            Spot s = spotOf(pictureOf("PWM " + std::to_string(servo) + ", " + std::to_string(value)), arm);
            ASSERT_GT(s.n, 300) << servo << " " << value;
            spots.push_back(s);
        }
        for (const Spot& s : spots)
            EXPECT_EQ(s.x < 200, servo == 3) << "PWM " << servo << " moves the arm on its own side";
        const bool down = spots[1].y > spots[0].y;
        EXPECT_GT(std::abs(spots[1].y - spots[0].y), 10);
        EXPECT_GT(std::abs(spots[2].y - spots[1].y), 10);
        EXPECT_EQ(spots[2].y > spots[1].y, down) << "PWM " << servo;
    }
}

// ---- digit sheets -------------------------------------------------------------------------

TEST_F(Resources, DigitSheetsHoldTwelveSeparateGlyphsThatReadOnLightAndDark)
{
    for (const std::string path : {"res/r_input_num_jam_l.png", "res/r_input_num_latte_l.png",
                                   "res/r_input_num_jam_s.png", "res/r_field_num.png", "res/r_field_num_w.png"}) {
        SCOPED_TRACE(path);
        Picture p = load(path);
        const bool rowDigits = path.find("r_field_num") != std::string::npos;
        const int cells = rowDigits ? 10 : 12;
        ASSERT_EQ(p.w % cells, 0);
        const int cw = p.w / cells;
        std::vector<std::vector<bool>> glyphs;
        for (int c = 0; c < cells; ++c) {
            int ink = 0, light = 0, dark = 0, edge = 0;
            std::vector<bool> shape;
            for (int y = 0; y < p.h; ++y)
                for (int x = 0; x < cw; ++x) {
                    Rgba px = p.at(c * cw + x, y);
                    bool on = px.a > 128;
                    // Rims can fill a glyph's holes; the face is what reads.
                    shape.push_back(rowDigits ? on : (on && px.r + px.g + px.b > 600));
                    ink += on;
                    if (on && px.r + px.g + px.b > 600)
                        ++light;
                    if (on && px.r + px.g + px.b < 200)
                        ++dark;
                    // Ink on a cell's border would bleed into its neighbour.
                    if (px.a > 0 && (x == 0 || x == cw - 1))
                        ++edge;
                }
            EXPECT_GT(ink, 4) << "cell " << c << " is empty";
            EXPECT_EQ(edge, 0) << "cell " << c << " touches its neighbour";
            if (!rowDigits) {
                EXPECT_GT(light, 0) << "cell " << c << ": white face";
                EXPECT_GT(dark, 0) << "cell " << c << ": dark rim";
            }
            glyphs.push_back(shape);
        }
        for (int a = 0; a < cells; ++a)
            for (int b = a + 1; b < cells; ++b)
                EXPECT_NE(glyphs[a], glyphs[b]) << "cells " << a << " and " << b;
    }
}

// The pace toggle swaps one picture for the other in place, so both share a
// size, and the state shows in the badge, not only in the animal: the fast
// pace filled with the deep accent, the normal pace left white.
TEST_F(Resources, PaceToggleStatesShareASizeAndDifferInTheirBadge)
{
    const Picture fast = load("res/r_pace_fast.png"), normal = load("res/r_pace_normal.png");
    ASSERT_GT(fast.w, 0);
    ASSERT_GT(normal.w, 0);
    ASSERT_EQ(fast.w, normal.w);
    ASSERT_EQ(fast.h, normal.h);
    auto accent = [](Rgba px) {
        return px.a == 255 && std::abs(px.r - 0x2A) < 16 && std::abs(px.g - 0x9F) < 16 && std::abs(px.b - 0xCB) < 16;
    };
    auto white = [](Rgba px) { return px.a == 255 && px.r > 245 && px.g > 245 && px.b > 245; };
    // The badge's face near its four corners, inside the rim and clear of the animal.
    const int inset = 28, top = 16, bottom = fast.h - 20;
    for (auto [x, y] : {std::pair{inset, top}, {fast.w - inset, top}, {inset, bottom}, {fast.w - inset, bottom}}) {
        SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
        EXPECT_TRUE(accent(fast.at(x, y))) << "the fast pace is a filled badge";
        EXPECT_TRUE(white(normal.at(x, y))) << "the normal pace is a white badge";
    }
}

} // namespace
