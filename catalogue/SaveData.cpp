#include "catalogue/SaveData.h"

SaveData* SaveData::create() { return engine::initAndAutorelease(new SaveData()); }

bool SaveData::init() {
    identifier = 0;
    title.clear();
    path.clear();
    imagePath.clear();
    modify.clear();
    return true;
}
