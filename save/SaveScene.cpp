#include "save/SaveScene.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>
#include <cstdio>
#include <filesystem>

#include "catalogue/ProgramExchange.h"
#include "catalogue/SaveDataManager.h"
#include "engine/core/Action.h"
#include "engine/core/Button.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Renderer.h"
#include "engine/core/Sprite.h"
#include "engine/core/Touch.h"
#include "engine/core/Transition.h"
#include "engine/platform/Application.h"
#include "engine/platform/MessageBox.h"
#include "ui/AlertView.h"
#include "ui/Localization.h"

using namespace engine;

namespace {
constexpr TextPair kListNotSaved{
    "プログラムの いちらんを ほぞんできませんでした。ディスクの あきを ふやすか、せんせいに きいてください。",
    "The list of programs could not be saved. Free some space on the disk, or ask your teacher."};
constexpr TextPair kProgramNotSaved{
    "プログラムを ほぞんできませんでした。ディスクの あきを ふやすか、せんせいに きいてください。",
    "The program could not be saved. Free some space on the disk, or ask your teacher."};
constexpr float kWheelStep = 40;  // a notch, along the row
const char* const kInstalledNotices = "/usr/share/doc/corvina-apps/copyright";
constexpr TextPair kNoticesNotOpened{"ちょさくけんの おしらせを ひらけませんでした。ここに あります:",
                                     "The copyright notices could not be opened. They are here:"};
constexpr TextPair kFoundAgain{"%d この プログラムが みつかったので、いちらんに もどしました。",
                               "%d programs were found again and put back in the list."};
constexpr TextPair kFoundAgainTitle{"みつかりました", "Found again"};
constexpr TextPair kMoveToBin{"えらんだ %d この ソースコードを ごみばこに いれますか？",
                              "Move the %d programs you have chosen to the bin?"};
constexpr TextPair kMoveOneToBin{"えらんだ 1 この ソースコードを ごみばこに いれますか？",
                                 "Move the program you have chosen to the bin?"};
constexpr TextPair kBinTitle{"ごみばこ（%d）", "Bin (%d)"};
constexpr TextPair kLeaveBin{"もどる", "Back to my programs"};
constexpr TextPair kNotRestored{"この プログラムを もどせませんでした。ディスクの あきを ふやすか、せんせいに きいてください。",
                                "This program could not be put back. Free some space on the disk, or ask your teacher."};
constexpr TextPair kNotMoved{"ごみばこに いれられなかった プログラムが あります。ディスクの あきを ふやすか、せんせいに きいてください。",
                             "Some programs could not be moved to the bin. Free some space on the disk, or ask your teacher."};
constexpr TextPair kNotCopied{"プログラムを コピーできませんでした。ディスクの あきを ふやすか、せんせいに きいてください。",
                              "The program could not be copied. Free some space on the disk, or ask your teacher."};
constexpr TextPair kExported{"ファイルに しました（%s）:", "Saved as files in %s:"};
constexpr TextPair kNotExported{"ファイルに できませんでした:", "These could not be saved as files:"};
constexpr TextPair kExportTitle{"ファイルに する", "Export"};
constexpr TextPair kImported{"%d この プログラムを いれました。", "%d programs were brought in."};
constexpr TextPair kImportedOne{"1 この プログラムを いれました。", "1 program was brought in."};
constexpr TextPair kAlreadyListed{"%d この プログラムは もう いちらんに あります。", "%d programs are already in the list."};
constexpr TextPair kAlreadyListedOne{"1 この プログラムは もう いちらんに あります。", "1 program is already in the list."};
constexpr TextPair kNotImported{"この ファイルは いれられませんでした:", "These files could not be brought in:"};
constexpr TextPair kNoProgramFiles{
    "%s に プログラムの ファイル（.corvina）が ありません。ファイルを そこに おくか、この まどに ドロップしてください。",
    "There are no program files (.corvina) in %s. Put them there, or drop them on this window."};
constexpr TextPair kImportTitle{"プログラムを いれる", "Bring in programs"};
constexpr float kImportButtonMargin = 56;

// printf with one argument into a text.
template <typename T>
std::string formatted(const TextPair& text, T value) {
    const std::string pattern = Localization::getInstance()->localizedText(text);
    const int size = std::snprintf(nullptr, 0, pattern.c_str(), value);
    std::string out(static_cast<size_t>(std::max(size, 0)), '\0');
    std::snprintf(out.data(), out.size() + 1, pattern.c_str(), value);
    return out;
}

void tell(const std::string& message, const TextPair& title) {
    engine::MessageBox(message.c_str(), Localization::getInstance()->localizedText(title).c_str());
}
} // namespace

// --- the home screen

int SaveScene::rememberedOffset = 0;

std::function<Scene*(SaveData*)>& SaveScene::editorOpener() {
    static std::function<Scene*(SaveData*)> opener;
    return opener;
}

void SaveScene::setEditorOpener(std::function<Scene*(SaveData*)> open) { editorOpener() = std::move(open); }

SaveScene* SaveScene::create() { return initAndAutorelease(new SaveScene()); }

Scene* SaveScene::createScene() {
    Scene* scene = Scene::create();
    if (SaveScene* layer = create()) scene->addChild(layer);
    return scene;
}

bool SaveScene::init() {
    if (!Layer::init()) return false;
    titleOverlay = nullptr;
    titleEditBox = nullptr;
    editingItem = nullptr;
    addItem = nullptr;
    deleteOverlay = nullptr;
    deleteMode = false;
    binOpen = false;

    addChild(LayerColor::create(kBackground, kViewWidth, kViewHeight));
    scrollView = FieldScrollView::create(Size(kViewWidth, kViewHeight));
    scrollView->setDelegate(this);
    scrollView->setScrollAxis(FieldScrollView::Horizontal);
    scrollView->setElastic(false);
    addChild(scrollView);
    // The wheel runs along the row, a tilt of it too.
    auto* wheel = EventListenerMouse::create();
    wheel->onMouseScroll = [this](EventMouse* event) {
        if (titleOverlay) return;  // marking goes on along the row, as a drag does
        Vec2 offset = scrollView->getScrollOffset();
        const float low = std::min(scrollView->getMinOffset().x, scrollView->getMaxOffset().x);
        // Turned towards the user, or tilted right: on to the older programs.
        offset.x = std::clamp(offset.x - kWheelStep * (event->getScrollY() + event->getScrollX()), low,
                              scrollView->getMaxOffset().x);
        scrollView->scrollTo(offset, false);
    };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(wheel, this);

    // Program files handed out by a teacher or a friend.
    Button* import = Button::create(Localization::getInstance()->localizedPath("res/r_home_import.png"),
                                    [this] { importFromDocuments(); });
    import->setPosition(kViewWidth - kImportButtonMargin, kViewHeight - kImportButtonMargin);
    import->setMinimumTouchSize(88);
    addChild(import, 2);
    importButton = import;
    auto* drops = EventListenerCustom::create(kFileDroppedEvent, [this](EventCustom* event) {
        droppedFiles.push_back(*static_cast<const std::string*>(event->getUserData()));
        // Files dropped together come in as one.
        if (!isScheduled("dropped files"))
            scheduleOnce([this](float) { importFiles(std::exchange(droppedFiles, {}), false); }, 0, "dropped files");
    });
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(drops, this);

    focusRing = FocusRing::create();
    focusRing->setName("focus ring");
    addChild(focusRing, 5);
    focusRing->setTarget([this]() -> std::optional<Rect> {
        SaveItemView* item = visibleItem(chosenIndex);
        if (!Director::getInstance()->getEventDispatcher()->isKeyboardInUse() || !item || titleOverlay)
            return std::nullopt;
        // The card's picture and its title, not the whole column.
        Rect box = item->getThumbnailNode()->getBoundingBoxInWorld();
        if (Label* title = item->getTitleLabel(); title && title->isVisible()) {
            const Rect t = title->getBoundingBoxInWorld();
            const float low = std::min(box.getMinY(), t.getMinY());
            box = Rect(box.getMinX(), low, box.size.width, box.getMaxY() - low);
        }
        return box;
    });
    auto* keys = EventListenerKeyboard::create();
    keys->onKeyPressed = [this](EventKeyboard::KeyCode key, EventKeyboard* event) { onKey(key, event); };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(keys, this);
    // The ring shows when the screen opens; a touch puts it away until the next key.
    Director::getInstance()->getEventDispatcher()->setKeyboardInUse(true);

    tellSaveFailures();
    reloadItems();
    // Programs the list had lost are told once, over the first frame.
    if (const int found = SaveDataManager::getInstance()->takeRecoveredCount()) {
        scheduleOnce(
            [found](float) { tell(formatted(kFoundAgain, found), kFoundAgainTitle); },
            0, "found again");
    }
    return true;
}

// --- keys

SaveItemView* SaveScene::visibleItem(int index) const {
    for (const auto& item : visibleItems)
        if (item->getIndex() == index) return item.get();
    return nullptr;
}

void SaveScene::chooseIndex(int index) {
    chosenIndex = std::clamp(index, 0, std::max(0, itemCount() - 1));
    // The chosen card in the middle, as far as the row goes.
    const float low = std::min(scrollView->getMinOffset().x, scrollView->getMaxOffset().x);
    const float x = std::clamp(kFirstItemX - itemX(chosenIndex), low, scrollView->getMaxOffset().x);
    scrollView->scrollTo(Vec2(x, scrollView->getScrollOffset().y), false);
}

void SaveScene::onKey(EventKeyboard::KeyCode key, EventKeyboard* event) {
    using Key = EventKeyboard::KeyCode;
    // The title's box types; an editor coming in takes no more keys.
    if (titleOverlay || leaving || event->isControlDown()) return;
    chosenIndex = std::clamp(chosenIndex, 0, std::max(0, itemCount() - 1));
    SaveItemView* item = visibleItem(chosenIndex);
    switch (key) {
    case Key::KEY_LEFT_ARROW: chooseIndex(chosenIndex - 1); break;
    case Key::KEY_RIGHT_ARROW: chooseIndex(chosenIndex + 1); break;
    case Key::KEY_HOME: chooseIndex(0); break;
    case Key::KEY_END: chooseIndex(itemCount() - 1); break;
    case Key::KEY_ENTER:
    case Key::KEY_SPACE:
        // A card out of sight is brought in first; the next Enter opens it.
        if (!item) chooseIndex(chosenIndex);
        else if (!event->isRepeat()) onItemTapped(item);
        break;
    case Key::KEY_F2:
        if (item && item->getSaveData() && !deleteMode && !binOpen && item != binItem.get()) openTitleEditor(item);
        break;
    case Key::KEY_DELETE:
        if (binOpen || event->isRepeat()) break;
        // The chosen program alone, unless programs are marked already.
        if (!deleteMode) {
            if (!item || !item->getSaveData() || item == binItem.get()) break;
            markedDatas.assign(1, RefPtr<SaveData>(item->getSaveData()));
        }
        if (!markedDatas.empty()) confirmDelete();
        break;
    case Key::KEY_ESCAPE:
        if (deleteMode) {
            markedDatas.clear();
            setDeleteMode(false);
        } else if (binOpen) {
            openBin(false);
        }
        break;
    default: break;
    }
}

void SaveScene::tellSaveFailures() {
    SaveDataManager::getInstance()->setListFailureHandler([] {
        Localization* texts = Localization::getInstance();
        engine::MessageBox(texts->localizedText(kListNotSaved).c_str(),
                           texts->localizedText(LocalizedTexts::failed).c_str());
    });
    SaveDataManager::getInstance()->setDocumentFailureHandler([] {
        Localization* texts = Localization::getInstance();
        engine::MessageBox(texts->localizedText(kProgramNotSaved).c_str(),
                           texts->localizedText(LocalizedTexts::failed).c_str());
    });
}

const std::vector<RefPtr<SaveData>>& SaveScene::rowDatas() const {
    SaveDataManager* saves = SaveDataManager::getInstance();
    return binOpen ? saves->getBinDatas() : saves->getDatas();
}

int SaveScene::savedCount() const { return static_cast<int>(rowDatas().size()); }

bool SaveScene::binItemShown() const { return !binOpen && !SaveDataManager::getInstance()->getBinDatas().empty(); }

int SaveScene::itemCount() const { return savedCount() + 1 + (binItemShown() ? 1 : 0); }

void SaveScene::reloadItems() {
    visibleItems.clear();
    itemPool.clear();
    addItem = nullptr;
    scrollView->removeAllChildrenWithCleanup(true);

    const int n = itemCount();
    float width = kFirstItemX * 2 + static_cast<float>(n) * kItemWidth + static_cast<float>(n - 1) * kItemGap;
    if (importButton) importButton->setVisible(!binOpen);
    scrollView->setContentSize(Size(width, kViewHeight));

    // The row may have shortened since (programs deleted): the last card
    // then stands centred.
    if (rememberedOffset > 0) rememberedOffset = 0;
    if (-rememberedOffset > width - kViewWidth) rememberedOffset = -static_cast<int>(width - kViewWidth);
    // The layout finds the cards of any offset, so one step is enough.
    scrollView->scrollTo(Vec2(static_cast<float>(rememberedOffset), 0), false);
}

void SaveScene::onScrolled(FieldScrollView*) { layoutItems(); }

void SaveScene::layoutItems() {
    const float o = scrollView->getScrollOffset().x;
    rememberedOffset = static_cast<int>(o);
    auto visible = [o](float x) { return x + kItemWidth + o >= 0 && kViewWidth >= o + x; };

    while (!visibleItems.empty() && visibleItems.front()->getPositionX() + kItemWidth + o < 0) {
        dropItem(visibleItems.front());
        visibleItems.erase(visibleItems.begin());
    }
    while (!visibleItems.empty() && kViewWidth < visibleItems.back()->getPositionX() + o) {
        dropItem(visibleItems.back());
        visibleItems.pop_back();
    }

    const int n = itemCount();
    int right = 0;
    if (visibleItems.empty()) {
        // A jump of more than the view: start at the first card in view.
        right = std::max(0, static_cast<int>(std::ceil((-o - kFirstItemX - kItemWidth) / (kItemWidth + kItemGap))));
    } else {
        for (int i = visibleItems.front()->getIndex() - 1; i >= 0 && visible(itemX(i)); --i) placeItem(i, true);
        right = visibleItems.back()->getIndex() + 1;
    }
    for (int i = right; i < n && visible(itemX(i)); ++i) placeItem(i, false);
}

RefPtr<SaveItemView> SaveScene::itemForIndex(int i) {
    if (i == 0 && binOpen) {
        if (!leaveBinItem) {
            leaveBinItem = SaveItemSignView::create("res/r_record_leave_bin.png",
                                                    Localization::getInstance()->localizedText(kLeaveBin));
            leaveBinItem->setListener(this);
        }
        return leaveBinItem.get();
    }
    if (i == savedCount() + 1) {
        const int held = static_cast<int>(SaveDataManager::getInstance()->getBinDatas().size());
        if (!binItem) {
            binItem = SaveItemSignView::create("res/r_record_bin.png", "");
            binItem->setListener(this);
        }
        binItem->setTitle(formatted(kBinTitle, held));
        return binItem.get();
    }
    if (i == 0) {
        if (!addItem) {
            addItem = SaveItemAddView::create();
            addItem->setListener(this);
        }
        return addItem.get();
    }
    const auto& datas = rowDatas();
    SaveData* data = i - 1 < static_cast<int>(datas.size()) ? datas[i - 1].get() : nullptr;
    RefPtr<SaveItemSavedView> item;
    if (itemPool.empty()) {
        item = SaveItemSavedView::create(data);
        item->setListener(this);
    } else {
        item = itemPool.back();
        itemPool.pop_back();
        item->setSaveData(data);
    }
    item->setMarked(isMarked(data));
    return item.get();
}

void SaveScene::placeItem(int i, bool atFront) {
    RefPtr<SaveItemView> item = itemForIndex(i);
    item->setIndex(i);
    item->setPosition(itemX(i), 0);
    scrollView->addChild(item.get());
    visibleItems.insert(atFront ? visibleItems.begin() : visibleItems.end(), item);
}

void SaveScene::dropItem(SaveItemView* item) {
    if (auto* saved = dynamic_cast<SaveItemSavedView*>(item)) itemPool.emplace_back(saved);
    // Kept whole, listeners too, for its next turn in the row.
    item->removeFromParentAndCleanup(false);
}

bool SaveScene::isMarked(const SaveData* data) const {
    return data && std::any_of(markedDatas.begin(), markedDatas.end(),
                               [data](const RefPtr<SaveData>& d) { return d.get() == data; });
}

void SaveScene::unmark(const SaveData* data) {
    std::erase_if(markedDatas, [data](const RefPtr<SaveData>& d) { return d.get() == data; });
}

// --- gestures on the cards

void SaveScene::onItemTapped(SaveItemView* item) {
    if (item == binItem.get()) {
        if (!deleteMode) openBin(true);
        return;
    }
    if (binOpen) {
        if (item == leaveBinItem.get()) {
            openBin(false);
            return;
        }
        SaveData* data = item->getSaveData();
        if (!data) return;
        SaveDataManager* saves = SaveDataManager::getInstance();
        if (!saves->restoreFromBin(data)) tell(Localization::getInstance()->localizedText(kNotRestored), LocalizedTexts::failed);
        if (saves->getBinDatas().empty()) openBin(false);
        else reloadItems();
        return;
    }
    if (!deleteMode) {
        auto& open = editorOpener();
        if (leaving || !open) return;
        Scene* editor = open(item->getSaveData());
        if (!editor) return;
        leaving = true;  // a second tap before the slide starts opens nothing more
        Director::getInstance()->replaceScene(TransitionSlideInB::create(0.5f, editor));
        return;
    }
    SaveData* data = item->getSaveData();
    if (!data) return;  // the new-program card cannot be deleted
    if (item->isMarked()) {
        item->setMarked(false);
        unmark(data);
        if (markedDatas.empty()) setDeleteMode(false);
    } else {
        item->setMarked(true);
        markedDatas.emplace_back(data);
    }
}

void SaveScene::onItemLongPressed(SaveItemView* item) {
    SaveData* data = item->getSaveData();
    if (!data || item == addItem.get() || binOpen) return;
    if (!deleteMode) setDeleteMode(true);
    item->setMarked(true);
    if (!isMarked(data)) markedDatas.emplace_back(data);
}

void SaveScene::onItemTitleTapped(SaveItemView* item) {
    if (!deleteMode && !binOpen) openTitleEditor(item);
}

// --- the bin

void SaveScene::openBin(bool open) {
    if (open == binOpen) return;
    setDeleteMode(false);
    markedDatas.clear();
    binOpen = open;
    chosenIndex = open ? 0 : savedCount() + 1;
    // Into the bin at its start; back out where the bin's card stands.
    rememberedOffset = open ? 0 : INT_MIN / 2;
    reloadItems();
}

// --- delete mode

Node* SaveScene::addOverlayButton(const std::string& path, const Vec2& at, std::function<void()> action) {
    Button* button = Button::create(Localization::getInstance()->localizedPath(path), std::move(action));
    button->setPosition(at);
    deleteOverlay->addChild(button);
    return button;
}

void SaveScene::setDeleteMode(bool on) {
    if (on == deleteMode) return;
    deleteMode = on;
    if (!on) {
        if (deleteOverlay) deleteOverlay->removeFromParent();
        deleteOverlay = nullptr;
        deleteButton = cancelDeleteButton = copyButton = exportButton = nullptr;
        for (const auto& item : visibleItems) item->setMarked(false);
        if (importButton) importButton->setVisible(!binOpen);
        return;
    }
    Size v = Director::getInstance()->getVisibleSize();
    if (importButton) importButton->setVisible(false);
    deleteOverlay = Layer::create();
    // Above the marked cards' frames, which reach up to 105 points from the top.
    const float y = v.height - 60;
    deleteButton = addOverlayButton("res/r_recode_clean.png", Vec2(v.width * 0.5f - 285, y), [this] { confirmDelete(); });
    copyButton = addOverlayButton("res/r_recode_copy.png", Vec2(v.width * 0.5f - 95, y), [this] { copyMarked(); });
    exportButton = addOverlayButton("res/r_recode_export.png", Vec2(v.width * 0.5f + 95, y), [this] { exportMarked(); });
    cancelDeleteButton = addOverlayButton("res/r_recode_clean_cancel.png", Vec2(v.width * 0.5f + 285, y), [this] {
        markedDatas.clear();
        setDeleteMode(false);
    });
    addChild(deleteOverlay);
}

void SaveScene::confirmDelete() {
    const int count = static_cast<int>(markedDatas.size());
    AlertView* alert = AlertView::create(count == 1 ? Localization::getInstance()->localizedText(kMoveOneToBin)
                                                    : formatted(kMoveToBin, count));
    if (!alert) return;
    // Asked with the Delete key, nothing was marked on the screen: a "no"
    // leaves nothing marked.
    alert->cancelCallback = alert->outsideCallback = [this](AlertView* a) {
        if (!deleteMode) markedDatas.clear();
        a->close();
    };
    // The child asked for it, and the bin gives it back.
    alert->setDefaultAnswerOk(true);
    alert->okCallback = [this](AlertView* a) {
        deleteMarked();
        a->close();
    };
    addChild(alert, 10);
    alert->setOpacity(0);
    alert->runAction(FadeIn::create(0.05f));
}

void SaveScene::deleteMarked() {
    std::vector<SaveData*> going;
    for (const auto& data : markedDatas) going.push_back(data.get());
    // Kept alive while they move: the catalogue lets go of them.
    std::vector<RefPtr<SaveData>> held = std::move(markedDatas);
    markedDatas.clear();
    const int moved = SaveDataManager::getInstance()->moveToBin(going);
    setDeleteMode(false);
    reloadItems();
    if (moved < static_cast<int>(going.size())) tell(Localization::getInstance()->localizedText(kNotMoved), LocalizedTexts::failed);
}

void SaveScene::copyMarked() {
    SaveDataManager* saves = SaveDataManager::getInstance();
    bool failed = false;
    for (const auto& data : std::vector<RefPtr<SaveData>>(markedDatas)) failed = !saves->copyProgram(data.get()) || failed;
    markedDatas.clear();
    setDeleteMode(false);
    rememberedOffset = 0;  // the copies stand at the front
    reloadItems();
    if (failed) tell(Localization::getInstance()->localizedText(kNotCopied), LocalizedTexts::failed);
}

void SaveScene::exportMarked() {
    SaveDataManager* saves = SaveDataManager::getInstance();
    const std::string folder = documentsFolder();
    std::string written, failed;
    for (const auto& data : markedDatas) {
        const std::string name = exportProgram(*saves, data.get(), folder);
        (name.empty() ? failed : written) += "\n" + (name.empty() ? data->title : name);
    }
    markedDatas.clear();
    setDeleteMode(false);
    std::string message;
    if (!written.empty()) message = formatted(kExported, folder.c_str()) + written;
    if (!failed.empty())
        message += (message.empty() ? "" : "\n\n") + Localization::getInstance()->localizedText(kNotExported) + failed;
    tell(message, kExportTitle);
}

void SaveScene::importFromDocuments() {
    if (titleOverlay || deleteMode || binOpen) return;
    const std::string folder = documentsFolder();
    const std::vector<std::string> files = programFilesIn(folder);
    if (files.empty()) {
        tell(formatted(kNoProgramFiles, folder.c_str()), kImportTitle);
        return;
    }
    importFiles(files, true);
}

void SaveScene::importFiles(const std::vector<std::string>& paths, bool skipListed) {
    if (paths.empty()) return;
    if (titleOverlay) finishTitleEdit(titleEditBox, editingItem.get());
    const ImportOutcome outcome = importProgramFiles(*SaveDataManager::getInstance(), paths, skipListed);
    Localization* texts = Localization::getInstance();
    const int added = static_cast<int>(outcome.added.size()), skipped = static_cast<int>(outcome.skipped.size());
    std::string message = added == 1 ? texts->localizedText(kImportedOne) : formatted(kImported, added);
    if (skipped) message += "\n" + (skipped == 1 ? texts->localizedText(kAlreadyListedOne) : formatted(kAlreadyListed, skipped));
    if (!outcome.refused.empty()) {
        message += "\n\n" + Localization::getInstance()->localizedText(kNotImported);
        for (const std::string& refused : outcome.refused) message += "\n" + refused;
    }
    markedDatas.clear();
    setDeleteMode(false);
    binOpen = false;
    rememberedOffset = 0;  // new programs stand at the front
    reloadItems();
    tell(message, kImportTitle);
}

// --- renaming

void SaveScene::openTitleEditor(SaveItemView* item) {
    if (titleOverlay || !item || !item->getSaveData()) return;
    Size v = Director::getInstance()->getVisibleSize();
    Vec2 p = convertToNodeSpace(scrollView->getContainer()->convertToWorldSpace(item->getPosition()));

    auto* overlay = Layer::create();
    overlay->setCascadeOpacityEnabled(true);
    // Everything but the card is shaded.
    const Color4B shade(0, 0, 0, 128);
    if (p.x > 0) overlay->addChild(LayerColor::create(shade, p.x, v.height));
    float right = v.width - p.x - kItemWidth;
    if (right > 0) {
        auto* layer = LayerColor::create(shade, right, v.height);
        layer->setPosition(p.x + kItemWidth, 0);
        overlay->addChild(layer);
    }

    auto* box = ui::EditBox::create(Size(kItemWidth, 214),
                                    Localization::getInstance()->localizedPath("res/r_save_entry_back.png"));
    box->setPosition(p.x + kItemWidth / 2, p.y + 107);
    box->setFont("Arial", 30);
    box->setFontColor(kTitleInk);  // the box is white
    box->setTextHorizontalAlignment(TextHAlignment::CENTER);
    box->setReturnType(ui::EditBox::KeyboardReturnType::DONE);
    box->setInputMode(ui::EditBox::InputMode::SINGLE_LINE);
    box->setDelegate(this);
    box->setText(item->getSaveData()->title);
    overlay->addChild(box);

    auto* listener = EventListenerTouchOneByOne::create();
    listener->setSwallowTouches(true);
    listener->onTouchBegan = [](Touch*, Event*) { return true; };
    listener->onTouchEnded = [this](Touch*, Event*) { finishTitleEdit(titleEditBox, editingItem.get()); };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(listener, overlay);
    addChild(overlay);

    titleOverlay = overlay;
    titleEditBox = box;
    editingItem = item;
    box->openKeyboard();
}

void SaveScene::editBoxEditingDidEndWithAction(ui::EditBox*, ui::EditBoxDelegate::EditBoxEndAction action) {
    titleCancelled = action == ui::EditBoxDelegate::EditBoxEndAction::CANCEL;
}

void SaveScene::editBoxEditingDidEnd(ui::EditBox* editBox) {
    RefPtr<ui::EditBox> box(editBox);
    // The press that ended the typing may still be on its way to the overlay.
    runAction(Sequence::create(DelayTime::create(0.1f),
                               CallFunc::create([this, box] { finishTitleEdit(box.get(), editingItem.get()); })));
}

void SaveScene::finishTitleEdit(ui::EditBox* editBox, SaveItemView* item) {
    if (!editBox) editBox = titleEditBox;
    if (titleOverlay && editBox) {
        SaveData* data = item && !titleCancelled ? item->getSaveData() : nullptr;
        if (data) {
            // A tap away while the input method still composes keeps that too.
            data->title = std::string(editBox->getText()) + editBox->getCompositionText();
            item->setSaveData(data);
            SaveDataManager::getInstance()->saveList();
        }
        editBox->setDelegate(nullptr);  // its end on leaving the scene is no news
        Director::getInstance()->getEventDispatcher()->removeEventListenersForTarget(titleOverlay);
        titleOverlay->removeFromParent();
    }
    titleOverlay = nullptr;
    titleEditBox = nullptr;
    editingItem = nullptr;
    titleCancelled = false;
}

std::string copyrightNotices() {
    // An installed copy keeps them beside its manual pages; a build tree
    // beside the programs it built.
    const std::string folder = programFolder();
    std::vector<std::string> candidates;
    if (!folder.empty()) candidates = {folder + "../share/doc/corvina-apps/copyright", folder + "packaging/copyright"};
    candidates.push_back(kInstalledNotices);
    for (const std::string& candidate : candidates) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
    }
    return {};
}

void openCopyrightPage() {
    const std::string notices = copyrightNotices();
    Application* app = Application::getInstance();
    if (notices.empty() || !app || !app->openURL(notices)) {
        Localization* texts = Localization::getInstance();
        const std::string message = texts->localizedText(kNoticesNotOpened) + "\n" + (notices.empty() ? kInstalledNotices : notices);
        engine::MessageBox(message.c_str(), texts->localizedText(LocalizedTexts::failed).c_str());
    }
}
