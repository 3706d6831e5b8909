// The forty numbered rows of the field.
#include <string>

#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Touch.h"
#include "field/FieldScene.h"

using namespace engine;

void FieldScene::buildFieldRows() {
    const float H = Director::getInstance()->getVisibleSize().height;
    fieldRows.assign(kRowCount, {});
    CardSprite* above = nullptr;
    for (int i = 0; i < kRowCount; ++i) {
        Sprite* plate = picture("res/r_field_no.png");
        Size p = plate->getContentSize();
        float x = (1024 - kPaletteWidth) / 2 + kPaletteWidth - 142;
        float y = (7.33f * H - 50) - (i + 0.5f) * p.height;
        plate->setPosition(x, y);
        fieldView->addChild(plate);

        CardSprite* head = CardSprite::create("res/r_field.png");
        Size h = head->getContentSize();
        head->setPosition(x + p.width / 2 + h.width / 2, y);
        head->connectors[0].point = Vec2(5, h.height / 2);
        head->connectors[0].direction = Vec2(4, h.height / 2);
        fieldView->addChild(head);
        if (above) {
            head->neighbours[CardSprite::UP] = above;
            above->neighbours[CardSprite::DOWN] = head;
        }
        above = head;
        fieldRows[static_cast<size_t>(i)].push_back(head);

        if (LabelAtlas* number = LabelAtlas::create(std::to_string(10 * (i + 1)), "res/r_field_num.png", 9, 11, '0')) {
            number->setScale(1.5f);
            number->setAnchorPoint(Vec2(1, 0.5f));
            number->setPosition(x + p.width / 2 - 5, y);
            fieldView->addChild(number);
        }

        Sprite* insert = picture("res/r_btn_add.png");
        insert->setTag(i);
        insert->setPosition(x - p.width / 2 - insert->getContentSize().width / 2, y + p.height / 2);
        fieldView->addChild(insert);
        Sprite* remove = picture("res/r_btn_delete.png");
        remove->setTag(i);
        remove->setPosition(x - p.width / 2 - remove->getContentSize().width / 2, y);
        fieldView->addChild(remove);
    }
}

// Shifting the cards of the rows comes with the card gestures.
void FieldScene::insertRowAt(int) {}
void FieldScene::deleteRowAt(int) {}
