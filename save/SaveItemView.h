#pragma once
// The large cards of the home screen's row: a 300 x 300 picture, the title
// under it and a frame shown when the card is marked for deletion. A card
// tells its listener of a tap on the picture, a long press on the picture
// and a tap on the title, and lets every other touch drag the row.
#include "catalogue/SaveData.h"
#include "engine/core/EventListener.h"
#include "engine/core/Node.h"

namespace engine {
class Label;
class Sprite;
} // namespace engine

class SaveItemView;

class SaveItemViewListener {
public:
    virtual void onItemTapped(SaveItemView* item) = 0;
    virtual void onItemTitleTapped(SaveItemView* item) = 0;
    virtual void onItemLongPressed(SaveItemView* item) = 0;

protected:
    ~SaveItemViewListener() = default;
};

class SaveItemView : public engine::Node {
public:
    static constexpr float kWidth = 300, kHeight = 768;
    static constexpr float kPictureSize = 300;
    static constexpr float kThumbnailSize = 285;
    // Still this long, a touch is held: the row no longer gets it.
    static constexpr float kHoldDelay = 0.3f;
    // Held this long after that, it is a long press.
    static constexpr float kLongPressDelay = 2.0f;
    // A touch that moves this far before it is held drags the row instead.
    static constexpr float kMoveLimit = 10;
    static constexpr uint8_t kPressedOpacity = 150;

    bool init(SaveData* data);
    // Shows `data` (null: none).
    virtual void setSaveData(SaveData* data);
    virtual void onTitleTapped() {}

    SaveData* getSaveData() const { return saveData; }
    int getIndex() const { return index; }
    void setIndex(int i) { index = i; }
    bool isMarked() const { return marked; }
    // Shows the selection frame exactly when marked.
    void setMarked(bool on);
    void setListener(SaveItemViewListener* l) { listener = l; }
    SaveItemViewListener* getListener() const { return listener; }

    engine::Node* getThumbnailNode() const { return thumbnailNode; }
    engine::Sprite* getSelectedSprite() const { return selectedSprite; }
    engine::Label* getTitleLabel() const { return titleLabel; }

    void onExit() override;

protected:
    SaveItemView() = default;

    SaveData* saveData = nullptr;  // not retained: the catalogue holds it
    int index = 0;
    engine::Node* thumbnailNode = nullptr;  // children, held by the tree
    engine::Sprite* selectedSprite = nullptr;
    engine::Label* titleLabel = nullptr;
    SaveItemViewListener* listener = nullptr;
    bool marked = false;

private:
    // One finger on the picture or on the title, from press to release.
    struct Tracker {
        engine::Node* node = nullptr;
        engine::RefPtr<engine::EventListenerTouchOneByOne> touchListener;
        int touchId = -1;
        bool tracking = false, moved = false, held = false, longPressFired = false;
        engine::Vec2 start;
    };
    void track(Tracker& t, bool picture);
    void showTitle();
    bool began(Tracker& t, bool picture, engine::Touch* touch);
    void moved(Tracker& t, engine::Touch* touch);
    void ended(Tracker& t, bool picture, engine::Touch* touch);
    void reset(Tracker& t);

    Tracker pictureTracker, titleTracker;
};

// The card that starts a new program.
class SaveItemAddView : public SaveItemView {
public:
    static SaveItemAddView* create();
    bool init();

protected:
    SaveItemAddView() = default;
};

// A card that leads somewhere: into the bin, or back out of it. A
// picture and a title; no program.
class SaveItemSignView : public SaveItemView {
public:
    static SaveItemSignView* create(const std::string& picturePath, const std::string& title);
    void setTitle(const std::string& title);

protected:
    SaveItemSignView() = default;
};

// A saved program: its thumbnail and its title, which can be tapped to
// rename it. A program in the bin shows the thumbnail kept there.
class SaveItemSavedView : public SaveItemView {
public:
    static SaveItemSavedView* create(SaveData* data);
    void setSaveData(SaveData* data) override;
    void onTitleTapped() override;
    // The thumbnail sprite, or null while the placeholder shows.
    engine::Sprite* getThumbnailSprite() const { return thumbnailSprite; }

protected:
    SaveItemSavedView() = default;

private:
    engine::Sprite* thumbnailSprite = nullptr;
};
