#pragma once
// One saved program: its number, its title and where its field document and
// thumbnail lie under the writable folder. A program never saved has an
// empty path and is not in the catalogue.
#include <string>

#include "engine/core/Ref.h"

class SaveData : public engine::Ref {
public:
    static SaveData* create();
    bool init();

    bool isSaved() const { return !path.empty(); }

    int identifier = 0;
    std::string title;
    std::string path;       // relative to the writable folder
    std::string imagePath;  // relative to the writable folder
    std::string modify;     // local time of the first save
    long long deletedAt = 0;  // seconds since the epoch it went to the bin; 0 while listed

protected:
    SaveData() = default;
};
