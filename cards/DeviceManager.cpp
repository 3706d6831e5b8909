#include "cards/DeviceManager.h"

#include "cards/CardCatalog.h"
#include "ui/Localization.h"

namespace {

std::string localized(const std::string& path)
{
    return Localization::getInstance()->localizedPath(path);
}

} // namespace

DeviceManager* DeviceManager::getInstance()
{
    static DeviceManager* instance = [] {
        auto* manager = new DeviceManager();
        manager->init();
        return manager;
    }();
    return instance;
}

bool DeviceManager::init()
{
    _dialect = DIALECT_JAM;
    _cardSet = CARD_SET_BASIC;
    _typingPace = TypingPace::Normal;
    return true;
}

void DeviceManager::setDialect(int dialect)
{
    CardCatalog::dialect(dialect);  // throws before anything changes
    _dialect = dialect;
}

void DeviceManager::setCardSet(int set)
{
    CardCatalog::cardCount(set);  // throws before anything changes
    _cardSet = set;
}

int DeviceManager::getCardCount(int set) const
{
    return CardCatalog::cardCount(set);
}

std::string DeviceManager::getCardImage(int index) const
{
    return getCardImage(index, _cardSet);
}

std::string DeviceManager::getCardImage(int index, int set) const
{
    return localized(CardCatalog::picturePath({set, index}));
}

std::string DeviceManager::getCardCodeImage(int index, int set) const
{
    return localized(CardCatalog::codeImagePath({set, index}, _dialect));
}

CardCode DeviceManager::getCardCode(int index, int set) const
{
    return CardCatalog::cardCode({set, index}, _dialect);
}

std::vector<engine::Rect> DeviceManager::getInputRects(int index, int set) const
{
    return CardCatalog::inputRects({set, index}, _dialect);
}

std::vector<CardCode> DeviceManager::getPrelude() const { return CardCatalog::dialect(_dialect).prelude; }
std::vector<CardCode> DeviceManager::getEpilogue() const { return CardCatalog::dialect(_dialect).epilogue; }
CardCode DeviceManager::getBreakCode() const { return CardCatalog::dialect(_dialect).breakCode; }
CardCode DeviceManager::getStopCode() const { return CardCatalog::dialect(_dialect).stopCode; }
int DeviceManager::getCharDelay() const { return CardCatalog::dialect(_dialect).charDelay; }
std::string DeviceManager::getLineEnding() const { return CardCatalog::dialect(_dialect).lineEnding; }
std::string DeviceManager::getSeparator() const { return CardCatalog::dialect(_dialect).separator; }
bool DeviceManager::usesLineNumbers() const { return CardCatalog::dialect(_dialect).numberedLines; }
bool DeviceManager::isInstructionTarget() const { return CardCatalog::dialect(_dialect).instructionTarget; }
std::string DeviceManager::getInputImage() const { return CardCatalog::dialect(_dialect).inputImage; }
int DeviceManager::getImageSize() const { return CardCatalog::dialect(_dialect).imageSize; }
std::uint8_t DeviceManager::getPadByte() const { return CardCatalog::dialect(_dialect).padByte; }
int DeviceManager::syncCount() const { return CardCatalog::dialect(_dialect).syncCount; }
std::uint8_t DeviceManager::syncByte() const { return CardCatalog::dialect(_dialect).syncByte; }

std::string DeviceManager::getCardSetImage(int set) const
{
    return localized(CardCatalog::cardSetImage(set, set == _cardSet));
}

std::string DeviceManager::getDialectImage(int dialect, bool selected) const
{
    const auto& info = CardCatalog::dialect(dialect);
    return selected ? info.buttonImageOn : info.buttonImageOff;
}
