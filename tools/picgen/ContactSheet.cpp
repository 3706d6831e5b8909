// The contact sheet: every card of every set on one picture, to look at
// the whole deck at once. It reads the generated files, as the editor would.
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include <algorithm>

#include "Generator.h"
#include "cards/CardCatalog.h"

namespace picgen {

namespace fs = std::filesystem;

namespace {

const char* kSetNames[] = {"basic", "paprika", "full"};

std::set<std::string> englishPaths(const fs::path& folder)
{
    std::set<std::string> out;
    std::ifstream in(folder / "file.csv", std::ios::binary);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            out.insert(line);
    return out;
}

} // namespace

void contactSheet(const std::string& resourceFolder, const std::string& listFile, const FontFiles& fonts, bool english,
                  const std::string& outFile)
{
    const fs::path folder(resourceFolder);
    const std::set<std::string> worded = english ? englishPaths(folder) : std::set<std::string>();
    auto load = [&](const std::string& path) {
        std::string p = path;
        if (worded.count(path))
            p = "res_en/" + path.substr(4);
        return Image::loadPng((folder / p).string());
    };
    Text text(fonts);
    const Rgba ink = hex("#2D3B45"), grey = hex("#6B7A86");
    const std::string& captionFont = english ? fonts.latin : fonts.japanese;

    // Faces at the size the editor shows them (one pixel a point), then the
    // whole deck again at palette size.
    const int faceW = 200, faceH = 100, gap = 12, captionH = 22, labelW = 210;
    const int rowH = faceH + captionH + gap;
    int cards = 0;
    for (int set = 0; set < kCardSetCount; ++set)
        cards += CardCatalog::cardCount(set);
    const int columns = 2;
    const int rowsPerColumn = (cards + kCardSetCount * 1 + columns - 1) / columns + 1;
    const int blockW = labelW + 3 * (faceW + gap);
    const int smallW = faceW / 2, smallH = faceH / 2, perRow = 11;
    const int smallRows = (cards + perRow - 1) / perRow;
    const int width = gap + columns * (blockW + 2 * gap);
    const int cardsHeight = 70 + rowsPerColumn * rowH + 50 + smallRows * (smallH + 10) + 20;

    // The other pictures flow in rows below, at one pixel a point, each on a
    // grey tile so white and transparent parts show.
    struct Placed {
        Image img;
        std::string caption;
        int x, y;
    };
    std::vector<Placed> others;
    int othersHeight = 0;
    if (!listFile.empty()) {
        int x = gap, y = 50, lineH = 0;
        for (const auto& p : readPictureList(listFile)) {
            Image img = load(p.path);
            img = img.resized(img.width() / 2, img.height() / 2);
            const int tileW = std::max(img.width() + 16, 150), tileH = img.height() + 16 + 20;
            if (x + tileW > width - gap) {
                x = gap;
                y += lineH + gap;
                lineH = 0;
            }
            others.push_back({img, p.path.substr(4), x, y});
            x += tileW + gap;
            lineH = std::max(lineH, tileH);
        }
        othersHeight = y + lineH + gap;
    }
    const int previewHeight = listFile.empty() ? 0 : 60 + 4 * 116 + gap;
    Image sheet(width, cardsHeight + othersHeight + previewHeight, {255, 255, 255, 255});

    const std::string title = english ? "CorvinaApps cards: picture, jam code, latte code (as seen after the turn)"
                                      : "カード一覧: 絵、jam のコード、latte のコード（裏返したときの見え方）";
    sheet.draw(text.render(captionFont, 22, title, ink), gap, 16);

    int column = 0, row = 0;
    auto nextRow = [&] {
        if (++row >= rowsPerColumn) {
            row = 0;
            ++column;
        }
    };
    std::vector<Image> palette;
    for (int set = 0; set < kCardSetCount; ++set) {
        // A set's title stays with its first card.
        if (row >= rowsPerColumn - 1) {
            row = 0;
            ++column;
        }
        {
            int x = gap + column * (blockW + 2 * gap), y = 70 + row * rowH;
            sheet.draw(text.render(fonts.latin, 20, std::string("set ") + std::to_string(set) + ": " + kSetNames[set],
                                   ink),
                       x, y + rowH - 40);
            nextRow();
        }
        for (int index = 0; index < CardCatalog::cardCount(set); ++index) {
            const CardKind card{set, index};
            int x = gap + column * (blockW + 2 * gap), y = 70 + row * rowH;
            const std::string picture = CardCatalog::picturePath(card);
            Image face = load(picture).resized(faceW, faceH);
            palette.push_back(face.resized(smallW, smallH));
            sheet.draw(text.render(fonts.latin, 15, std::to_string(index) + "  " + picture.substr(picture.rfind('/') + 1), ink), x, y + 30);
            // The que text is the catalogue's own plain description (Japanese).
            if (!english) {
                std::string que = CardCatalog::cardCode(card, DIALECT_QUE).text;
                for (auto& ch : que)
                    if (ch == '\n')
                        ch = ' ';
                if (!que.empty())
                    sheet.draw(text.render(fonts.japanese, 15, que, grey), x, y + 54);
            }
            sheet.draw(face, x + labelW, y);
            for (int dialect : {DIALECT_JAM, DIALECT_LATTE}) {
                Image code = load(CardCatalog::codeImagePath(card, dialect)).flippedX().resized(faceW, faceH);
                int cx = x + labelW + (dialect + 1) * (faceW + gap);
                sheet.draw(code, cx, y);
                std::string caption = CardCatalog::cardCode(card, dialect).text;
                for (auto& ch : caption)
                    if (ch == '\n')
                        ch = ' ';
                sheet.draw(text.render(fonts.latin, 12, caption, grey), cx + 4, y + faceH + 3);
            }
            nextRow();
        }
    }

    int y0 = 70 + rowsPerColumn * rowH + 10;
    sheet.draw(text.render(captionFont, 20, english ? "At palette size" : "パレットの大きさ", ink), gap, y0);
    for (size_t i = 0; i < palette.size(); ++i) {
        int px = gap + static_cast<int>(i % perRow) * (smallW + 10);
        int py = y0 + 40 + static_cast<int>(i / perRow) * (smallH + 10);
        sheet.draw(palette[i], px, py);
    }
    if (!others.empty()) {
        sheet.draw(text.render(captionFont, 20, english ? "Other pictures" : "そのほかの絵", ink), gap, cardsHeight + 10);
        for (const auto& o : others) {
            const int tileW = std::max(o.img.width() + 16, 150);
            sheet.fillRect(o.x, cardsHeight + o.y, tileW, o.img.height() + 16, hex("#CDD5DB"));
            sheet.draw(o.img, o.x + (tileW - o.img.width()) / 2, cardsHeight + o.y + 8);
            sheet.draw(text.render(fonts.latin, 11, o.caption, grey), o.x, cardsHeight + o.y + o.img.height() + 18);
        }
    }
    if (previewHeight > 0) {
        // A few field rows put together from the pieces, as the editor lays
        // them out: plates, row heads, row numbers, row buttons and cards.
        const int top = cardsHeight + othersHeight;
        sheet.draw(text.render(captionFont, 20, english ? "Field rows" : "フィールドの行", ink), gap, top + 10);
        sheet.fillRect(0, top + 50, width, 4 * 116 + 10, {255, 255, 255, 255});
        auto half = [&](const std::string& path) {
            Image img = load(path);
            return img.resized(img.width() / 2, img.height() / 2);
        };
        const Image plate = half("res/r_field_no.png"), head = half("res/r_field.png");
        const Image add = half("res/r_btn_add.png"), del = half("res/r_btn_delete.png");
        const Image digits = load("res/r_field_num.png");
        const int cellW = digits.width() / 10, cellH = digits.height();
        const char* cardsOnRows[] = {"res/cards/basic/r_loop_inf_start.png", "res/cards/basic/r_led1.png",
                                     "res/cards/basic/r_wait1.png", nullptr};
        for (int i = 0; i < 4; ++i) {
            const int px = 60, py = top + 55 + i * 116;
            sheet.draw(plate, px, py);
            const int hx = px + plate.width(), hy = py + (plate.height() - head.height()) / 2;
            sheet.draw(head, hx, hy);
            // Row number at scale 1.5, right-aligned 5 points inside the plate.
            const std::string number = std::to_string(10 * (i + 1));
            const int gw = cellW * 3 / 4, gh = cellH * 3 / 4;
            int x = px + plate.width() - 5 - gw * static_cast<int>(number.size());
            for (char c : number) {
                sheet.draw(digits.cropped((c - '0') * cellW, 0, cellW, cellH).resized(gw, gh), x,
                           py + plate.height() / 2 - gh / 2);
                x += gw;
            }
            sheet.draw(add, px - add.width(), py - add.height() / 2);
            sheet.draw(del, px - del.width(), py + plate.height() / 2 - del.height() / 2);
            if (cardsOnRows[i]) {
                const Image card = half(cardsOnRows[i]);
                sheet.draw(card, hx + 5, hy + (head.height() - card.height()) / 2);
            }
        }
        // A palette entry: badge with its count beside a card.
        const Image badge = half("res/r_card_num.png"), white = load("res/r_field_num_w.png");
        const Image card = half("res/cards/pap/r_pap_forward.png");
        const int bx = 520, by = top + 80;
        sheet.fillRect(bx - 60, by - 20, 300, 150, {255, 255, 255, 255});
        sheet.draw(card, bx, by);
        sheet.draw(badge, bx - badge.width(), by + card.height() / 2 - badge.height() / 2);
        sheet.draw(white.cropped(2 * white.width() / 10, 0, white.width() / 10, white.height())
                       .resized(white.width() / 20 * 3 / 2, white.height() / 2 * 3 / 2),
                   bx - badge.width() / 2 - badge.width() / 4, by + card.height() / 2 - white.height() * 3 / 8);
    }
    if (!sheet.savePng(outFile))
        throw std::runtime_error("cannot write " + outFile);
}

} // namespace picgen
