#include "engine/platform/EditBox.h"

#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

#include "engine/core/ClippingRectangleNode.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/FileUtils.h"
#include "engine/core/Renderer.h"
#include "engine/core/Scene.h"
#include "engine/core/Sprite.h"
#include "engine/platform/GLViewImpl.h"
#include "engine/platform/SdlRenderer.h"

namespace engine::ui {

namespace {

constexpr float kPadding = 8;
constexpr float kCaretWidth = 2;
constexpr float kUnderlineHeight = 1.5f;
const char* const kPasswordDot = "\xE2\x97\x8F";  // U+25CF

bool isFontFile(const std::string& name) {
    auto dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".ttf" || ext == ".otf" || ext == ".ttc";
}

uint8_t mul(uint8_t a, uint8_t b) { return static_cast<uint8_t>((a * b + 127) / 255); }

// One polygon, so no seams show between pieces at fractional pixels.
void drawRoundedBox(SdlRenderer* renderer, const AffineTransform& transform, const Rect& box, float radius,
                    const Color4B& color) {
    constexpr int kCornerSteps = 6;
    constexpr float kPi = 3.14159265f;
    radius = std::max(0.0f, std::min({radius, box.size.width / 2, box.size.height / 2}));
    const ViewportMapping& m = renderer->getMapping();
    SDL_Color c{color.r, color.g, color.b, color.a};
    std::vector<SDL_Vertex> vertices;
    Vec2 centre = m.toPixels(transform.apply(Vec2(box.getMidX(), box.getMidY())));
    vertices.push_back({{centre.x, centre.y}, c, {0, 0}});
    // Corner centres counter-clockwise from the lower right, each swept
    // through its quarter.
    const Vec2 corners[4] = {{box.getMaxX() - radius, box.getMinY() + radius},
                             {box.getMaxX() - radius, box.getMaxY() - radius},
                             {box.getMinX() + radius, box.getMaxY() - radius},
                             {box.getMinX() + radius, box.getMinY() + radius}};
    for (int k = 0; k < 4; ++k) {
        float start = -kPi / 2 + k * kPi / 2;
        for (int i = 0; i <= kCornerSteps; ++i) {
            float a = start + (kPi / 2) * i / kCornerSteps;
            Vec2 p = m.toPixels(transform.apply(corners[k] + Vec2(std::cos(a), std::sin(a)) * radius));
            vertices.push_back({{p.x, p.y}, c, {0, 0}});
        }
    }
    std::vector<int> indices;
    int ring = static_cast<int>(vertices.size()) - 1;
    for (int i = 0; i < ring; ++i) {
        indices.push_back(0);
        indices.push_back(1 + i);
        indices.push_back(1 + (i + 1) % ring);
    }
    SDL_Renderer* sdl = renderer->getSDLRenderer();
    SDL_SetRenderDrawBlendMode(sdl, SDL_BLENDMODE_BLEND);
    SDL_RenderGeometry(sdl, nullptr, vertices.data(), static_cast<int>(vertices.size()), indices.data(),
                       static_cast<int>(indices.size()));
}

} // namespace

EditBox* EditBox::create(const Size& size, const std::string& normalImage) {
    return initAndAutorelease(new EditBox(), [&](EditBox* box) { return box->init(size, normalImage); });
}

bool EditBox::init(const Size& size, const std::string& normalImage) {
    setAnchorPoint(Vec2::ANCHOR_MIDDLE);
    if (!normalImage.empty()) {
        _background = Sprite::create(normalImage);
        if (_background) {
            _background->setAnchorPoint(Vec2::ZERO);
            addChild(_background, -1);
        }
    }
    _clip = ClippingRectangleNode::create();
    addChild(_clip);
    _underline = LayerColor::create(Color4B(_compositionColor, 255), 0, kUnderlineHeight);
    _caret = LayerColor::create(Color4B::WHITE, kCaretWidth, 0);
    _clip->addChild(_underline, 1);
    _clip->addChild(_caret, 1);
    rebuildLabels();
    setContentSize(size);
    registerTouchListener();
    return true;
}

EditBox::~EditBox() {
    // No delegate calls here: whoever listens may be gone already.
    if (TextInput::getFocused() == this) {
        TextInput::setFocused(nullptr);
        SDL_StopTextInput();
    }
}

void EditBox::registerTouchListener() {
    EventDispatcher* dispatcher = Director::getInstance()->getEventDispatcher();
    if (!dispatcher || (_touchListener && _touchListener->isRegistered())) return;
    auto* listener = EventListenerTouchOneByOne::create();
    listener->setSwallowTouches(true);
    listener->onTouchBegan = [this](Touch* touch, Event*) {
        for (const Node* n = this; n; n = n->getParent())
            if (!n->isVisible()) return false;
        return containsWorldPoint(touch->getLocation());
    };
    listener->onTouchEnded = [this](Touch* touch, Event*) {
        if (containsWorldPoint(touch->getLocation())) openKeyboard();
    };
    dispatcher->addEventListenerWithSceneGraphPriority(listener, this);
    _touchListener = listener;
}

void EditBox::onEnter() {
    // The dispatcher may have been emptied since this box was made.
    registerTouchListener();
    Node::onEnter();
}

void EditBox::onExit() {
    endEditing(EditBoxDelegate::EditBoxEndAction::UNKNOWN);
    Node::onExit();
}

// --- appearance

Label* EditBox::makeLabel(const std::string& text, const std::string& font, int size) const {
    Label* label = nullptr;
    if (isFontFile(font)) label = Label::createWithTTF(text, font, static_cast<float>(size));
    if (!label) label = Label::createWithSystemFont(text, font, static_cast<float>(size));
    label->setAnchorPoint(Vec2(0, 0.5f));
    return label;
}

void EditBox::rebuildLabels() {
    if (_textLabel) _clip->removeChild(_textLabel);
    if (_compositionLabel) _clip->removeChild(_compositionLabel);
    if (_placeholderLabel) _clip->removeChild(_placeholderLabel);
    _textLabel = makeLabel("", _fontName, _fontSize);
    _compositionLabel = makeLabel("", _fontName, _fontSize);
    _placeholderLabel = makeLabel(_placeholder, _placeholderFontName, _placeholderFontSize);
    _textLabel->setTextColor(_fontColor);
    _compositionLabel->setTextColor(Color4B(_compositionColor, 255));
    _placeholderLabel->setTextColor(_placeholderColor);
    _clip->addChild(_placeholderLabel);
    _clip->addChild(_textLabel);
    _clip->addChild(_compositionLabel);
    refresh();
}

void EditBox::setContentSize(const Size& size) {
    Node::setContentSize(size);
    if (!_clip) return;
    if (_background) {
        Size picture = _background->getContentSize();
        _background->setScale(picture.width > 0 ? size.width / picture.width : 1,
                              picture.height > 0 ? size.height / picture.height : 1);
    }
    float pad = std::min(kPadding, size.width / 4);
    _clip->setClippingRegion(Rect(pad / 2, 0, std::max(0.0f, size.width - pad), size.height));
    refresh();
}

void EditBox::setFont(const char* fontName, int fontSize) {
    _fontName = fontName ? fontName : "";
    if (fontSize > 0) _fontSize = fontSize;
    // The placeholder follows until it is given a font of its own.
    if (!_placeholderFontSet) {
        _placeholderFontName = _fontName;
        _placeholderFontSize = _fontSize;
    }
    rebuildLabels();
}

void EditBox::setPlaceholderFont(const char* fontName, int fontSize) {
    _placeholderFontName = fontName ? fontName : "";
    if (fontSize > 0) _placeholderFontSize = fontSize;
    _placeholderFontSet = true;
    rebuildLabels();
}

void EditBox::setFontColor(const Color4B& color) {
    _fontColor = color;
    _textLabel->setTextColor(color);
    refresh();
}

void EditBox::setPlaceholderFontColor(const Color4B& color) {
    _placeholderColor = color;
    _placeholderLabel->setTextColor(color);
}

void EditBox::setCompositionColor(const Color3B& color) {
    _compositionColor = color;
    _compositionLabel->setTextColor(Color4B(color, 255));
    _underline->setColor(color);
}

void EditBox::setPlaceHolder(const char* text) {
    _placeholder = text ? text : "";
    _placeholderLabel->setString(_placeholder);
    refresh();
}

void EditBox::setInputFlag(InputFlag flag) {
    _inputFlag = flag;
    refresh();
}

void EditBox::setTextHorizontalAlignment(TextHAlignment alignment) {
    _alignment = alignment;
    refresh();
}

void EditBox::setText(const char* text) {
    _text = text ? text : "";
    refresh();
}

void EditBox::refresh() {
    if (!_textLabel) return;
    std::string shown = _text;
    if (_inputFlag == InputFlag::PASSWORD) {
        shown.clear();
        for (size_t i = utf8Length(_text); i > 0; --i) shown += kPasswordDot;
    }
    _textLabel->setString(shown);
    _compositionLabel->setString(_editing ? _composition : std::string());
    bool composing = _editing && !_composition.empty();
    _compositionLabel->setVisible(composing);
    _underline->setVisible(composing);
    _placeholderLabel->setVisible(_text.empty() && !composing);
    _caret->setVisible(_editing);

    Size size = getContentSize();
    float pad = std::min(kPadding, size.width / 4);
    float inner = std::max(0.0f, size.width - 2 * pad);
    float middle = size.height / 2;
    auto startFor = [&](float width) {
        // While typing, text too long for the box shows its end.
        if (width > inner) return _editing ? pad + inner - width : pad;
        if (_alignment == TextHAlignment::CENTER) return pad + (inner - width) / 2;
        if (_alignment == TextHAlignment::RIGHT) return pad + inner - width;
        return pad;
    };
    float textWidth = _textLabel->getContentSize().width;
    float compositionWidth = composing ? _compositionLabel->getContentSize().width : 0;
    float x = startFor(textWidth + compositionWidth);
    _textLabel->setPosition(x, middle);
    _compositionLabel->setPosition(x + textWidth, middle);
    _placeholderLabel->setPosition(startFor(_placeholderLabel->getContentSize().width), middle);

    float lineHeight = std::max(_compositionLabel->getContentSize().height, static_cast<float>(_fontSize));
    _underline->setContentSize(Size(compositionWidth, kUnderlineHeight));
    _underline->setPosition(x + textWidth, middle - lineHeight / 2);
    float caretHeight = std::min(size.height, _fontSize * 1.2f);
    _caret->setContentSize(Size(kCaretWidth, caretHeight));
    _caret->setColor(Color3B(_fontColor.r, _fontColor.g, _fontColor.b));
    _caret->setPosition(x + textWidth + compositionWidth, middle - caretHeight / 2);
}

void EditBox::draw(Renderer* renderer, const AffineTransform& transform) {
    auto* sdl = dynamic_cast<SdlRenderer*>(renderer);
    if (_background || _visitOpacity == 0 || !sdl) return;
    Size size = getContentSize();
    if (renderer->isCulled(size, transform)) return;
    auto tinted = [this](uint8_t r, uint8_t g, uint8_t b) {
        return Color4B(mul(r, _visitColor.r), mul(g, _visitColor.g), mul(b, _visitColor.b), _visitOpacity);
    };
    float radius = std::min(10.0f, size.height / 4);
    drawRoundedBox(sdl, transform, Rect(0, 0, size.width, size.height), radius, tinted(150, 150, 150));
    drawRoundedBox(sdl, transform, Rect(1.5f, 1.5f, size.width - 3, size.height - 3), radius - 1.5f,
                   tinted(255, 255, 255));
}

// --- editing

void EditBox::openKeyboard() {
    if (_editing) return;
    RefPtr<EditBox> keep(this);
    ui::EditBox* other = TextInput::getFocused();
    if (other && other != this) other->endEditing(EditBoxDelegate::EditBoxEndAction::UNKNOWN);
    TextInput::setFocused(this);
    _editing = true;
    _composition.clear();
    // Compositions longer than SDL's fixed buffer arrive whole.
    SDL_SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
    SDL_StartTextInput();
    placeInputMethodWindow();
    refresh();
    if (_delegate) _delegate->editBoxEditingDidBegin(this);
}

void EditBox::closeKeyboard() { endEditing(EditBoxDelegate::EditBoxEndAction::UNKNOWN); }

void EditBox::endEditing(EditBoxDelegate::EditBoxEndAction action) {
    if (!_editing) return;
    RefPtr<EditBox> keep(this);
    // Text the input method is still composing is the child's too: kept,
    // unless the typing is cancelled.
    if (action != EditBoxDelegate::EditBoxEndAction::CANCEL && !_composition.empty()) insertText(_composition);
    _editing = false;
    _composition.clear();
    if (TextInput::getFocused() == this) {
        TextInput::setFocused(nullptr);
        SDL_StopTextInput();
    }
    refresh();
    if (_delegate) _delegate->editBoxEditingDidEndWithAction(this, action);
    if (_delegate) _delegate->editBoxEditingDidEnd(this);
    if (_delegate) _delegate->editBoxReturn(this);
}

void EditBox::placeInputMethodWindow() {
    GLViewImpl* view = GLViewImpl::getRunning();
    if (!view) return;
    Size size = getContentSize();
    Rect world = getNodeToWorldTransform().applyToRect(Rect(0, 0, size.width, size.height));
    Rect pixels = view->getViewportMapping().toPixelRect(world);
    // SDL wants window coordinates, which differ from pixels on dense screens.
    Size window = view->getWindowSize(), frame = view->getFrameSize();
    float sx = frame.width > 0 ? window.width / frame.width : 1, sy = frame.height > 0 ? window.height / frame.height : 1;
    SDL_Rect rect{static_cast<int>(pixels.origin.x * sx), static_cast<int>(pixels.origin.y * sy),
                  static_cast<int>(pixels.size.width * sx), static_cast<int>(pixels.size.height * sy)};
    SDL_SetTextInputRect(&rect);
}

namespace {
// A Japanese input method commits digits in their full-width forms
// (U+FF10 to U+FF19, the full stop U+FF0E): number boxes take them as the
// ASCII characters they stand for.
std::string withAsciiDigits(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        auto b = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
        if (i + 2 < text.size() && b(i) == 0xEF && b(i + 1) == 0xBC && b(i + 2) >= 0x90 && b(i + 2) <= 0x99) {
            out += static_cast<char>('0' + (b(i + 2) - 0x90));
            i += 2;
        } else if (i + 2 < text.size() && b(i) == 0xEF && b(i + 1) == 0xBC && b(i + 2) == 0x8E) {
            out += '.';
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}
} // namespace

std::string EditBox::filtered(const std::string& typed) const {
    bool numbers = _inputMode == InputMode::NUMERIC || _inputMode == InputMode::DECIMAL ||
                   _inputMode == InputMode::PHONE_NUMBER;
    const std::string text = numbers ? withAsciiDigits(typed) : typed;
    std::string out;
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) continue;  // line breaks come from Return alone
        bool digit = u >= '0' && u <= '9';
        if (_inputMode == InputMode::NUMERIC && !digit) continue;
        if (_inputMode == InputMode::DECIMAL && !digit && c != '.' && c != '-') continue;
        if (_inputMode == InputMode::PHONE_NUMBER && !digit && std::string("+-*#() ").find(c) == std::string::npos)
            continue;
        out += c;
    }
    return out;
}

void EditBox::insertText(const std::string& committed) {
    if (!_editing) return;
    _composition.clear();
    std::string added = filtered(committed);
    if (_maxLength > 0) {
        size_t length = utf8Length(_text);
        size_t room = length < static_cast<size_t>(_maxLength) ? _maxLength - length : 0;
        added = utf8Prefix(added, room);
    }
    _text += added;
    refresh();
    if (!added.empty() && _delegate) _delegate->editBoxTextChanged(this, _text);
}

void EditBox::setComposition(const std::string& composing) {
    if (!_editing) return;
    _composition = composing;
    refresh();
}

void EditBox::handleKeyDown(int keycode, int modifiers) {
    if (!_editing) return;
    // While composing, editing keys belong to the input method.
    if (!_composition.empty() && keycode != SDLK_ESCAPE) return;
    switch (keycode) {
    case SDLK_BACKSPACE:
        if (utf8PopBack(_text)) {
            refresh();
            if (_delegate) _delegate->editBoxTextChanged(this, _text);
        }
        break;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        if (_inputMode == InputMode::ANY) {
            if (_maxLength <= 0 || utf8Length(_text) < static_cast<size_t>(_maxLength)) {
                _text += '\n';
                refresh();
                if (_delegate) _delegate->editBoxTextChanged(this, _text);
            }
        } else {
            endEditing(EditBoxDelegate::EditBoxEndAction::RETURN);
        }
        break;
    case SDLK_ESCAPE:
        endEditing(EditBoxDelegate::EditBoxEndAction::CANCEL);
        break;
    case SDLK_TAB:
        endEditing((modifiers & KMOD_SHIFT) ? EditBoxDelegate::EditBoxEndAction::TAB_TO_PREVIOUS
                                            : EditBoxDelegate::EditBoxEndAction::TAB_TO_NEXT);
        break;
    case SDLK_v:
        if (modifiers & KMOD_CTRL) {
            if (char* clip = SDL_GetClipboardText()) {
                insertText(clip);
                SDL_free(clip);
            }
        }
        break;
    default:
        break;
    }
}

bool EditBox::containsWorldPoint(const Vec2& point) const {
    Vec2 local = convertToNodeSpace(point);
    Size size = getContentSize();
    return Rect(0, 0, size.width, size.height).containsPoint(local);
}

} // namespace engine::ui
