// picgen: draws every picture of the editor at build time.
//
//   picgen --art Resources/art --list Resources/pictures.txt --out build/Resources
//          --latin-font F --japanese-font F --pixel-font F
//   picgen --contact-sheet out.png --lang ja|en --resources build/Resources --list Resources/pictures.txt
//          --latin-font F --japanese-font F --pixel-font F
//   picgen --print --art ... --list ... (fonts as above): every path it would write
#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>
#include <SDL2/SDL_ttf.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <map>
#include <string>

#include "Generator.h"

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: picgen --art DIR --list FILE --out DIR FONTS\n"
                 "       picgen --print --art DIR --list FILE FONTS\n"
                 "       picgen --contact-sheet OUT.png --lang ja|en --resources DIR --list FILE FONTS\n"
                 "FONTS: --latin-font FILE --japanese-font FILE --pixel-font FILE\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::map<std::string, std::string> opt;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--print") {
            opt[a] = "1";
        } else if (a.rfind("--", 0) == 0 && i + 1 < argc) {
            opt[a] = argv[++i];
        } else {
            return usage();
        }
    }
    picgen::FontFiles fonts{opt["--latin-font"], opt["--japanese-font"], opt["--pixel-font"]};
    if (fonts.latin.empty() || fonts.japanese.empty() || fonts.pixel.empty())
        return usage();

    if (SDL_Init(0) != 0 || IMG_Init(IMG_INIT_PNG) == 0 || TTF_Init() != 0) {
        std::fprintf(stderr, "picgen: SDL: %s\n", SDL_GetError());
        return 1;
    }
    int rc = 0;
    try {
        const auto start = std::chrono::steady_clock::now();
        if (opt.count("--contact-sheet")) {
            const std::string lang = opt["--lang"];
            if ((lang != "ja" && lang != "en") || opt["--resources"].empty())
                return usage();
            picgen::contactSheet(opt["--resources"], opt["--list"], fonts, lang == "en", opt["--contact-sheet"]);
            std::printf("picgen: wrote %s\n", opt["--contact-sheet"].c_str());
        } else if (opt.count("--print")) {
            picgen::ArtLibrary art(opt["--art"]);
            picgen::Text text(fonts);
            picgen::Context cx{art, text};
            for (const auto& job : picgen::planPictures(cx, picgen::readPictureList(opt["--list"])))
                std::printf("%s %dx%d\n", job.path.c_str(), job.width, job.height);
        } else {
            if (opt["--art"].empty() || opt["--list"].empty() || opt["--out"].empty())
                return usage();
            int n = picgen::generate({opt["--art"], opt["--list"], opt["--out"], fonts});
            double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("picgen: %d pictures in %.1f s\n", n, s);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "picgen: %s\n", e.what());
        rc = 1;
    }
    TTF_Quit();
    IMG_Quit();
    SDL_Quit();
    return rc;
}
