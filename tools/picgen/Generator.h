#pragma once
// Works out every picture the editor will request (the card catalogue plus
// the picture list), draws it and writes it under the resource folder.
#include <functional>
#include <string>
#include <vector>

#include "Art.h"
#include "PictureList.h"

namespace picgen {

struct Job {
    std::string path;  // "res/...", as requested
    int width = 0;     // pixels the file must have
    int height = 0;
    std::function<Image()> draw;
};

// Every picture, each path once. Throws when the catalogue names a picture
// that has no drawing or no entry in the picture list.
std::vector<Job> planPictures(Context& cx, const std::vector<ListedPicture>& listed);

// Paths whose pictures carry words and so have an English version under
// res_en/; the lines of file.csv.
std::vector<std::string> wordedPictures();

struct Settings {
    std::string artFolder;
    std::string listFile;
    std::string outFolder;
    FontFiles fonts;
};

// Draws everything, copies the pixel font, writes file.csv and removes
// pictures left from earlier runs. Returns the number of pictures written.
int generate(const Settings& settings);

// One PNG of every card of every set: picture face and the code faces of jam
// and latte as seen after the turn, with captions; `english` takes res_en/
// versions where file.csv lists them. Below the cards, every picture of the
// picture list at the size the editor shows it.
void contactSheet(const std::string& resourceFolder, const std::string& listFile, const FontFiles& fonts,
                  bool english, const std::string& outFile);

} // namespace picgen
