#pragma once
// Reads Resources/pictures.txt, the one list of pictures requested by a
// fixed path. Header only: the generator and the resource tests share it.
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace picgen {

struct ListedPicture {
    std::string path;  // as the editor requests it, "res/..."
    int width = 0;     // points
    int height = 0;
};

inline std::vector<ListedPicture> readPictureList(const std::string& file)
{
    std::ifstream in(file);
    if (!in)
        throw std::runtime_error("cannot read " + file);
    std::vector<ListedPicture> out;
    int lineNo = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNo;
        if (size_t hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        std::istringstream ss(line);
        ListedPicture p;
        if (!(ss >> p.path))
            continue;
        std::string extra;
        if (!(ss >> p.width >> p.height) || (ss >> extra) || p.width <= 0 || p.height <= 0 ||
            p.path.rfind("res/", 0) != 0)
            throw std::runtime_error(file + ":" + std::to_string(lineNo) + ": expected \"res/<path> <width> <height>\"");
        out.push_back(p);
    }
    return out;
}

} // namespace picgen
