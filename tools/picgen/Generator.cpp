#include "Generator.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>

#include "cards/CardCatalog.h"

namespace picgen {

namespace fs = std::filesystem;

namespace {

std::string fileName(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

} // namespace

std::vector<std::string> wordedPictures()
{
    // Every picture says what it does with shapes and digits, which read
    // the same in both languages, so none needs an English version.
    return {};
}

std::vector<Job> planPictures(Context& cx, const std::vector<ListedPicture>& listed)
{
    std::vector<Job> jobs;
    std::set<std::string> planned;
    auto add = [&](Job job) {
        if (planned.insert(job.path).second)
            jobs.push_back(std::move(job));
    };
    const int cardW = static_cast<int>(kCardWidth) * kPixelsPerPoint;
    const int cardH = static_cast<int>(kCardHeight) * kPixelsPerPoint;

    for (int set = 0; set < kCardSetCount; ++set) {
        for (int index = 0; index < CardCatalog::cardCount(set); ++index) {
            const CardKind card{set, index};
            const std::string picture = CardCatalog::picturePath(card);
            auto it = cardPictures().find(fileName(picture));
            if (it == cardPictures().end())
                throw std::runtime_error("the catalogue names " + picture + ", which has no drawing");
            const CardPicture& art = it->second;
            add({picture, cardW, cardH, [&cx, art, card] { return art.draw(cx, card); }});
            // Dialects that share a code face (que shows latte's) draw it once,
            // from the first dialect that names it.
            for (int dialect = 0; dialect < kDialectCount; ++dialect) {
                const std::string code = CardCatalog::codeImagePath(card, dialect);
                const std::string mark = CardCatalog::dialect(dialect).name;
                add({code, cardW, cardH, [&cx, art, card, dialect, mark] {
                         return drawCodeFace(cx, *art.category, CardCatalog::cardCode(card, dialect),
                                             CardCatalog::inputRects(card, dialect), mark);
                     }});
            }
        }
    }

    std::set<std::string> inList;
    for (const auto& p : listed) {
        if (!inList.insert(p.path).second)
            throw std::runtime_error("the picture list names " + p.path + " twice");
        auto it = uiPictures().find(p.path);
        if (it == uiPictures().end())
            throw std::runtime_error("the picture list names " + p.path + ", which has no drawing");
        if (planned.count(p.path))
            throw std::runtime_error(p.path + " is both a card face and in the picture list");
        UiDrawing draw = it->second;
        const float w = static_cast<float>(p.width), h = static_cast<float>(p.height);
        add({p.path, p.width * kPixelsPerPoint, p.height * kPixelsPerPoint, [&cx, draw, w, h] { return draw(cx, w, h); }});
    }

    // The catalogue's other pictures must be in the list, with their sizes.
    std::vector<std::string> named;
    for (int set = 0; set < kCardSetCount; ++set)
        for (bool on : {true, false})
            named.push_back(CardCatalog::cardSetImage(set, on));
    for (int dialect = 0; dialect < kDialectCount; ++dialect) {
        const auto& d = CardCatalog::dialect(dialect);
        named.insert(named.end(), {d.buttonImageOn, d.buttonImageOff, d.inputImage});
    }
    for (const auto& path : named)
        if (!inList.count(path))
            throw std::runtime_error("the catalogue names " + path + ", which is not in the picture list");
    for (const auto& path : wordedPictures())
        if (!planned.count(path))
            throw std::runtime_error("worded picture " + path + " is never drawn");
    return jobs;
}

int generate(const Settings& settings)
{
    ArtLibrary art(settings.artFolder);
    Text text(settings.fonts);
    Context cx{art, text};
    const std::vector<Job> jobs = planPictures(cx, readPictureList(settings.listFile));

    const fs::path out(settings.outFolder);
    std::set<fs::path> written;
    for (const auto& job : jobs) {
        Image img = job.draw();
        if (img.width() != job.width || img.height() != job.height)
            throw std::runtime_error(job.path + " came out " + std::to_string(img.width()) + "x" +
                                     std::to_string(img.height()) + ", expected " + std::to_string(job.width) +
                                     "x" + std::to_string(job.height));
        const fs::path file = out / job.path;
        fs::create_directories(file.parent_path());
        if (!img.savePng(file.string()))
            throw std::runtime_error("cannot write " + file.string());
        written.insert(file.lexically_normal());
    }

    // The board's pixel font, under the name the editor asks for.
    fs::create_directories(out / "fonts");
    fs::copy_file(settings.fonts.pixel, out / "fonts/IchigoJam-1.2.ttf", fs::copy_options::overwrite_existing);

    // One requested path a line, line feeds only.
    {
        std::ofstream csv(out / "file.csv", std::ios::binary | std::ios::trunc);
        for (const auto& path : wordedPictures())
            csv << path << '\n';
        if (!csv)
            throw std::runtime_error("cannot write file.csv");
    }

    // Pictures of earlier runs that are no longer drawn would be found by the
    // editor and hide a missing drawing.
    for (const char* folder : {"res", "res_en"}) {
        if (!fs::exists(out / folder))
            continue;
        std::vector<fs::path> stale;
        for (const auto& entry : fs::recursive_directory_iterator(out / folder))
            if (entry.is_regular_file() && !written.count(entry.path().lexically_normal()))
                stale.push_back(entry.path());
        for (const auto& p : stale)
            fs::remove(p);
    }
    return static_cast<int>(jobs.size());
}

} // namespace picgen
