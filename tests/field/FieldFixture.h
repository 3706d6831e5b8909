#pragma once
// The editor screen headless, for the field tests: a new field scene on a
// running scene, touches, the wheel, and reading pixels by design point.
#include <cstdlib>
#include <string>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "cards/DeviceManager.h"
#include "cards/FieldDocument.h"
#include "cards/FieldGeometry.h"
#include "catalogue/SaveDataManager.h"
#include "device/CorvinaCardSerialManager.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/FileUtils.h"
#include "engine/platform/MessageBox.h"
#include "field/FieldScene.h"
#include "support/HeadlessTest.h"
#include "ui/Localization.h"

using namespace engine;
using testsupport::colorNear;
using Code = EventTouch::EventCode;

namespace {

class FieldSceneTest : public testsupport::HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        FileUtils::getInstance()->setSearchPaths({std::string(CORVINA_TEST_RESOURCE_DIR) + "/"});
        Localization::getInstance()->configure(LanguageType::JAPANESE, {});
        DeviceManager::getInstance()->setCardSet(CARD_SET_BASIC);
        DeviceManager::getInstance()->setDialect(DIALECT_JAM);
        // The board link sees only the ports a test puts there, and sends
        // nowhere but this machine.
        // Saved programs start from nothing.
        std::filesystem::remove_all(dataDir + "savedatas");
        SaveDataManager::resetForTests();
        CorvinaCardSerialManager::resetForTests();
        CorvinaCardSerialManager* link = CorvinaCardSerialManager::getInstance();
        link->setPortEnumerator([this] {
            std::lock_guard<std::mutex> lock(portsMutex);
            return std::optional<std::vector<PortInfo>>(ports);
        });
        link->setUdpSettings({"127.0.0.1", 9, 0});
        engine::setMessageBoxHandler([this](const std::string& message, const std::string& title) {
            messages.push_back(title + ": " + message);
        });
        Scene* scene = runScene();
        field = FieldScene::create(nullptr);
        ASSERT_NE(field, nullptr);
        scene->addChild(field);
        step();
    }
    void TearDown() override {
        view->setWindowSize(1024, 768);
        // The test's own links are gone: nothing reads them any more.
        CorvinaCardSerialManager::getInstance()->closeLink();
        finishWorkers();
        HeadlessTest::TearDown();
        engine::setMessageBoxHandler(nullptr);
        CorvinaCardSerialManager::resetForTests();
        SaveDataManager::resetForTests();
        // The pace lasts as long as the application: the next test starts at the normal one.
        DeviceManager::getInstance()->setTypingPace(TypingPace::Normal);
    }
    // Steps frames until no worker of the scene runs and all they posted has run.
    void finishWorkers() {
        for (int i = 0; i < 3000 && field && field->hasWorkersRunning(); ++i) {
            field->setVisible(false);
            step(1);
            field->setVisible(true);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_FALSE(field && field->hasWorkersRunning()) << "a worker never ended";
        step(2);
    }
    void touch(Code code, Vec2 at, int id = 0) {
        Director::getInstance()->getEventDispatcher()->dispatchTouch(code, id, at);
    }
    void tap(Vec2 at) {
        touch(Code::BEGAN, at);
        touch(Code::ENDED, at);
    }
    void wheel(Vec2 at, float notches, bool control = false) {
        EventMouse e(EventMouse::MouseEventType::MOUSE_SCROLL);
        e.setCursorPosition(at);
        e.setScrollData(0, notches);
        e.setControlDown(control);
        Director::getInstance()->getEventDispatcher()->dispatchEvent(&e);
    }
    // Frames whose pictures nobody looks at: the scene is not drawn, its
    // actions and schedules run as ever.
    void stepUnseen(int frames) {
        field->setVisible(false);
        step(frames);
        field->setVisible(true);
    }
    // The share of a node's box that is drawn in something other than white.
    double coloured(const testsupport::Frame& f, Node* node) const {
        Size s = node->getContentSize();
        Rect box = node->getNodeToWorldTransform().applyToRect(Rect(0, 0, s.width, s.height));
        int all = 0, other = 0;
        for (float y = box.getMinY() + 1; y < box.getMaxY() - 1; y += 2)
            for (float x = box.getMinX() + 1; x < box.getMaxX() - 1; x += 2) {
                ++all;
                other += !colorNear(at(f, x, y), 255, 255, 255, 10);
            }
        return all ? static_cast<double>(other) / all : 0;
    }
    // A control of the editor by its name, wherever it stands in the scene.
    static Node* named(const Node* root, const std::string& name) {
        for (Node* child : root->getChildren()) {
            if (child->getName() == name) return child;
            if (Node* found = named(child, name)) return found;
        }
        return nullptr;
    }
    Node* named(const std::string& name) const { return named(field, name); }
    static Vec2 centreOf(Node* node) {
        Size s = node->getContentSize();
        return node->convertToWorldSpace(Vec2(s.width / 2, s.height / 2));
    }
    // Design point to window pixel at 1024 x 768.
    SDL_Color at(const testsupport::Frame& f, float x, float y) const {
        return f.at(static_cast<int>(x), static_cast<int>(768 - 1 - y));
    }

    // A card sitting on `row`, as a saved program keeps it.
    static CardRecord onRow(int set, int index, int row, const std::string& value = "") {
        Vec2 at = field_geometry::cardCentreOnRow(row, 768);
        return CardRecord{set, index, truncateCoordinate(at.x), truncateCoordinate(at.y), row, value};
    }
    // The full set's wait card that takes a number of seconds.
    static int waitAnyCard() {
        DeviceManager* d = DeviceManager::getInstance();
        for (int i = 0; i < d->getCardCount(CARD_SET_FULL); ++i)
            if (d->getCardCode(i, CARD_SET_FULL).kind == 1 && d->getCardCode(i, CARD_SET_FULL).multiplier == 60) return i;
        return -1;
    }

    FieldScene* field = nullptr;
    // What the port listing finds; read on workers.
    void setPorts(std::vector<PortInfo> found) {
        std::lock_guard<std::mutex> lock(portsMutex);
        ports = std::move(found);
    }
    std::mutex portsMutex;
    std::vector<PortInfo> ports;
    std::vector<std::string> messages;
};

} // namespace
