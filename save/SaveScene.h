#pragma once
// The home screen: a row of large cards scrolling sideways, the first
// starting a new program and the others opening the saved programs, newest
// first, and the bin last while it holds any. A long press marks programs
// to move to the bin, copy or export; a tap on a title renames the
// program. In the bin, a tap puts a program back. Program files dropped on
// the window, or taken from the Documents folder, come in as new programs.
// Only the cards in view exist as nodes.
//
// The home screen does not know the editor: the application gives it the
// way to open one (setEditorOpener).
#include <functional>
#include <string>
#include <vector>

#include "catalogue/SaveData.h"
#include "engine/core/EventListener.h"
#include "engine/core/FocusRing.h"
#include "engine/core/Scene.h"
#include "engine/platform/EditBox.h"
#include "save/SaveItemView.h"
#include "ui/FieldScrollView.h"

class SaveScene : public engine::Layer,
                  public FieldScrollViewDelegate,
                  public SaveItemViewListener,
                  public engine::ui::EditBoxDelegate {
public:
    static constexpr float kViewWidth = 1024, kViewHeight = 768;
    static constexpr float kItemWidth = 300, kItemGap = 50;
    // Centres a 300-unit item in the view.
    static constexpr float kFirstItemX = kViewWidth * 0.5f - kItemWidth * 0.5f;
    static inline const engine::Color4B kBackground{105, 208, 238, 255};
    static inline const engine::Color3B kTitleInk{30, 30, 30};

    // Save failures are told with what to do, wherever the child is.
    static void tellSaveFailures();
    static SaveScene* create();
    // A scene holding a new home screen.
    static engine::Scene* createScene();
    bool init() override;

    // How a tapped item opens the editor: given the item's program (null
    // for a new one), it returns the editor's scene. Without one a tap
    // opens nothing.
    static void setEditorOpener(std::function<engine::Scene*(SaveData*)> open);
    // Where the row was scrolled to when last shown, kept between visits.
    static int getRememberedOffset() { return rememberedOffset; }
    static void setRememberedOffset(int offset) { rememberedOffset = offset; }

    // FieldScrollViewDelegate: keeps the cards in view, and only those.
    void onScrolled(FieldScrollView* view) override;
    // SaveItemViewListener
    void onItemTapped(SaveItemView* item) override;
    void onItemTitleTapped(SaveItemView* item) override;
    void onItemLongPressed(SaveItemView* item) override;
    // EditBoxDelegate
    void editBoxEditingDidEnd(engine::ui::EditBox* editBox) override;
    void editBoxReturn(engine::ui::EditBox*) override {}
    void editBoxEditingDidEndWithAction(engine::ui::EditBox*,
                                        engine::ui::EditBoxDelegate::EditBoxEndAction action) override;

    void reloadItems();
    // Shows the programs in the bin instead of the list, or the list again.
    void openBin(bool open);
    bool isBinOpen() const { return binOpen; }
    void copyMarked();
    void exportMarked();
    // The program files in the Documents folder not listed yet.
    void importFromDocuments();
    void importFiles(const std::vector<std::string>& paths, bool skipListed);
    void layoutItems();
    void setDeleteMode(bool on);
    void confirmDelete();
    void deleteMarked();
    void openTitleEditor(SaveItemView* item);
    void finishTitleEdit(engine::ui::EditBox* editBox, SaveItemView* item);

    // Keys: Left and Right choose a card of the row (the first when the
    // screen opens), Enter opens it, F2 renames the program, Delete asks to
    // move it to the bin, Escape leaves marking or the bin.
    int getChosenIndex() const { return chosenIndex; }
    void chooseIndex(int index);
    engine::FocusRing* getFocusRing() const { return focusRing; }

    // Where the item of index i stands in the row (0: the new-program item).
    static float itemX(int i) { return kFirstItemX + (kItemWidth + kItemGap) * static_cast<float>(i); }

    FieldScrollView* getScrollView() const { return scrollView; }
    const std::vector<engine::RefPtr<SaveItemView>>& getVisibleItems() const { return visibleItems; }
    const std::vector<engine::RefPtr<SaveItemSavedView>>& getItemPool() const { return itemPool; }
    SaveItemAddView* getAddItem() const { return addItem.get(); }
    const std::vector<engine::RefPtr<SaveData>>& getMarkedDatas() const { return markedDatas; }
    bool isDeleteMode() const { return deleteMode; }
    engine::Layer* getDeleteOverlay() const { return deleteOverlay; }
    engine::Node* getDeleteButton() const { return deleteButton; }
    engine::Node* getCancelDeleteButton() const { return cancelDeleteButton; }
    engine::Node* getCopyButton() const { return copyButton; }
    engine::Node* getExportButton() const { return exportButton; }
    engine::Node* getImportButton() const { return importButton; }
    SaveItemView* getBinItem() const { return binItem.get(); }
    SaveItemView* getLeaveBinItem() const { return leaveBinItem.get(); }
    engine::Layer* getTitleOverlay() const { return titleOverlay; }
    engine::ui::EditBox* getTitleEditBox() const { return titleEditBox; }
    SaveItemView* getEditingItem() const { return editingItem.get(); }

protected:
    SaveScene() = default;

private:
    static std::function<engine::Scene*(SaveData*)>& editorOpener();
    static int rememberedOffset;

    // The programs the row shows: the list, or the bin's.
    const std::vector<engine::RefPtr<SaveData>>& rowDatas() const;
    int savedCount() const;
    // Every card of the row: the first, the programs, and the bin's card.
    int itemCount() const;
    bool binItemShown() const;
    engine::RefPtr<SaveItemView> itemForIndex(int i);
    // The card of index i, placed in the row at its front or back.
    void placeItem(int i, bool atFront);
    void dropItem(SaveItemView* item);
    bool isMarked(const SaveData* data) const;
    void unmark(const SaveData* data);
    // A button of the delete overlay: dims while pressed, acts on release over it.
    engine::Node* addOverlayButton(const std::string& path, const engine::Vec2& at, std::function<void()> action);

    FieldScrollView* scrollView = nullptr;  // a child
    std::vector<engine::RefPtr<SaveItemView>> visibleItems;  // by index, left to right
    std::vector<engine::RefPtr<SaveItemSavedView>> itemPool;
    engine::RefPtr<SaveItemAddView> addItem;
    std::vector<engine::RefPtr<SaveData>> markedDatas;  // in marking order
    bool deleteMode = false;
    bool leaving = false;  // an editor is coming in
    engine::Layer* deleteOverlay = nullptr;  // children while shown
    engine::Node* deleteButton = nullptr;
    engine::Node* cancelDeleteButton = nullptr;
    engine::Node* copyButton = nullptr;
    engine::Node* exportButton = nullptr;
    engine::Node* importButton = nullptr;  // a child
    engine::RefPtr<SaveItemSignView> binItem, leaveBinItem;
    bool binOpen = false;
    std::vector<std::string> droppedFiles;  // come in together, at the next frame
    engine::Layer* titleOverlay = nullptr;
    engine::ui::EditBox* titleEditBox = nullptr;
    engine::RefPtr<SaveItemView> editingItem;
    bool titleCancelled = false;  // Escape: the title stays as it was
    void onKey(engine::EventKeyboard::KeyCode key, engine::EventKeyboard* event);
    SaveItemView* visibleItem(int index) const;
    int chosenIndex = 0;
    engine::FocusRing* focusRing = nullptr;
};

// The installed copyright notices, or those of the build tree; "" when
// neither is there.
std::string copyrightNotices();
// Opens them with the desktop's viewer, or says where they are.
void openCopyrightPage();
