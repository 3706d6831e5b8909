#pragma once
// The editor screen: the card palette on the left, the field of forty
// numbered rows in the middle, the run controls on the right and a sliding
// settings bar at the bottom.
//
// The scene is spread over files by concern: FieldScene.cpp builds it and
// runs its controls, FieldGrid.cpp the rows of the field, Palette.cpp the
// palette and the dialect shown.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/EventListener.h"
#include "engine/core/LabelAtlas.h"
#include "engine/core/Scene.h"
#include "engine/core/Sprite.h"
#include "engine/platform/EditBox.h"
#include "engine/platform/Label.h"
#include "field/FieldScrollView.h"
#include "views/CardSprite.h"

#include "save/SaveData.h"

class FieldScene : public engine::Layer, public FieldScrollViewDelegate, public engine::ui::EditBoxDelegate {
public:
    static constexpr int kRowCount = 40;
    static constexpr float kPaletteWidth = 275;
    static constexpr float kBarClosedY = -92;
    static constexpr uint8_t kPressedOpacity = 192;
    static constexpr float kWheelStep = 10;
    static constexpr float kFieldMinZoom = 0.5f, kFieldMaxZoom = 1.0f;
    static inline const engine::Color4B kAccentBlue{105, 208, 238, 255};
    static inline const engine::Color3B kStatusText{30, 30, 30};

    // `data` is the saved program to edit; null for a new one.
    static FieldScene* create(SaveData* data);
    // A scene holding a new field scene, as the save scene opens it.
    static engine::Scene* createScene(SaveData* data);
    bool init(SaveData* data);

    // --- controls (the parts behind some of them come with the link and
    // saved-program work; until then they do nothing visible)
    void sendProgram();
    void stopProgram();
    void openDialectPopup();
    void selectCardSet(int set);
    void showSettingsBar();
    void hideSettingsBar();
    bool isSettingsBarShown() const { return settingsBarShown; }
    void startSetupThread();
    void startScanThread();
    void showPortList();
    void openCopyrightPage();
    void saveAndClose();
    // Whether the board link is busy sending or stopping; until the link
    // answers it, the check given here (none: never busy).
    bool isLinkBusy() const;
    void setLinkBusyCheck(std::function<bool()> check) { linkBusyCheck = std::move(check); }
    void showStoppingOverlay();
    bool isStoppingOverlayShown() const { return stoppingOverlay != nullptr; }
    // Writes the field's thumbnail, then calls `done` (at once when there is
    // nothing to write).
    void captureThumbnail(const std::function<void()>& done);
    void saveFieldDocument();
    void loadFieldDocument();
    // Where save-and-close goes once the thumbnail is written: the home
    // screen, once there is one.
    void setLeaveHandler(std::function<void()> handler) { leaveHandler = std::move(handler); }

    // --- palette and dialect (Palette.cpp)
    void buildPalette();
    void refreshDialect();

    // --- the wheel: over the palette it scrolls the palette, elsewhere the
    // field; with Control held it zooms the field around the cursor.
    void onMouseScroll(engine::EventMouse* event);

    // --- parts, for the scene's own files and for tests
    FieldScrollView* getFieldView() const { return fieldView; }
    FieldScrollView* getPaletteView() const { return paletteView; }
    engine::Node* getSettingsBar() const { return settingsBar; }
    engine::Sprite* getTrashIcon() const { return trashIcon; }
    CardSprite* getPlayButton() const { return playButton; }
    engine::Sprite* getStopButton() const { return stopButton; }
    engine::Sprite* getDialectButton() const { return dialectButton; }
    engine::Sprite* getSaveButton() const { return saveButton; }
    engine::Sprite* getSettingsButton() const { return settingsButton; }
    engine::Sprite* getMenuUpButton() const { return menuUpButton; }
    engine::Sprite* getMenuDownButton() const { return menuDownButton; }
    engine::Sprite* getReloadIcon() const { return reloadIcon; }
    engine::Sprite* getPortField() const { return portField; }
    engine::Label* getStatusLabel() const { return statusLabel; }
    engine::Label* getCopyrightLabel() const { return copyrightLabel; }
    engine::Sprite* getCardSetTab(int set) const { return cardSetTabs.at(static_cast<size_t>(set)).get(); }
    const std::vector<std::vector<CardSprite*>>& getFieldRows() const { return fieldRows; }
    CardSprite* getRowHead(int row) const { return fieldRows.at(static_cast<size_t>(row)).front(); }
    const std::vector<engine::RefPtr<CardSprite>>& getPaletteCards() const { return paletteCards; }
    engine::LabelAtlas* getCountLabel(int index) const { return countLabels.at(static_cast<size_t>(index)).get(); }
    SaveData* getDocument() const { return document; }

    // FieldScrollViewDelegate: nothing to do in this scene.
    void onScrolled(FieldScrollView*) override {}
    void onZoomed(FieldScrollView*) override {}
    // EditBoxDelegate: the number entry of number cards.
    void editBoxReturn(engine::ui::EditBox* editBox) override;

protected:
    FieldScene() = default;
    ~FieldScene() override;

private:
    // A picture by path, in the language shown; a missing picture still
    // gives a node to place.
    static engine::Sprite* picture(const std::string& path);
    // FieldScene.cpp
    void buildPaletteColumn(engine::Node* leftLayer);
    void buildField();
    void buildSettingsBar();
    void buildRunControls();
    void buildFrame();
    void registerListeners();
    // A control that dims while pressed and acts when released over it.
    void addButton(engine::Node* button, std::function<void()> action);
    // A control that acts as soon as it is pressed.
    void addPressButton(engine::Node* button, std::function<void()> action);
    void scrollPaletteBy(float dy);
    void tryToClose();
    // FieldGrid.cpp
    void buildFieldRows();
    void insertRowAt(int row);
    void deleteRowAt(int row);
    // Palette.cpp
    void clearPalette();

    engine::RefPtr<SaveData> document;
    engine::Size layoutSize{1024, 768};
    FieldScrollView* fieldView = nullptr;
    FieldScrollView* paletteView = nullptr;
    engine::LayerColor* paletteBackground = nullptr;
    engine::Sprite* trashIcon = nullptr;
    CardSprite* playButton = nullptr;
    engine::Sprite* stopButton = nullptr;
    engine::Sprite* dialectButton = nullptr;
    engine::Sprite* saveButton = nullptr;
    engine::Sprite* settingsButton = nullptr;
    engine::Sprite* menuUpButton = nullptr;
    engine::Sprite* menuDownButton = nullptr;
    engine::Node* settingsBar = nullptr;
    engine::Sprite* reloadIcon = nullptr;
    engine::Sprite* portField = nullptr;
    engine::Label* statusLabel = nullptr;
    engine::Label* copyrightLabel = nullptr;
    std::array<engine::RefPtr<engine::Sprite>, 3> cardSetTabs;
    bool settingsBarShown = false;
    engine::LayerColor* stoppingOverlay = nullptr;
    std::function<void()> leaveHandler;
    std::function<bool()> linkBusyCheck;
    bool leaving = false;

    // The field (FieldGrid.cpp).
    std::vector<std::vector<CardSprite*>> fieldRows;
    std::vector<engine::RefPtr<CardSprite>> fieldCards;
    std::array<std::vector<int>, 3> cardUseCounts;

    // The palette (Palette.cpp).
    std::vector<engine::RefPtr<CardSprite>> paletteCards;
    std::vector<engine::RefPtr<engine::LabelAtlas>> countLabels;
    std::array<float, 3> rememberedPaletteOffsets{};
};
