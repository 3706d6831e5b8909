#pragma once
// The current dialect and card set, and the one place through which the
// editor reads the catalogue. Picture paths come back localised.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "cards/CardCode.h"
#include "engine/core/Ref.h"
#include "engine/core/Types.h"

class DeviceManager : public engine::Ref {
public:
    // Created on first use, never released.
    static DeviceManager* getInstance();

    int getDialect() const { return _dialect; }
    int getCardSet() const { return _cardSet; }
    // Both throw std::out_of_range outside 0..2 and keep the old value.
    void setDialect(int dialect);
    void setCardSet(int set);

    int getCardCount(int set) const;

    // The pace programs are typed at: kept while the application runs, not saved.
    TypingPace getTypingPace() const { return _typingPace; }
    void setTypingPace(TypingPace pace) { _typingPace = pace; }

    // Card lookups: "", a default record or an empty list past the end of
    // the set; std::out_of_range for a set outside 0..2.
    std::string getCardImage(int index) const;  // in the current set
    std::string getCardImage(int index, int set) const;
    std::string getCardCodeImage(int index, int set) const;
    CardCode getCardCode(int index, int set) const;
    std::vector<engine::Rect> getInputRects(int index, int set) const;

    // The current dialect's fixed items and constants.
    std::vector<CardCode> getPrelude() const;
    std::vector<CardCode> getEpilogue() const;
    CardCode getBreakCode() const;
    CardCode getStopCode() const;
    int getCharDelay() const;
    std::string getLineEnding() const;
    std::string getSeparator() const;
    bool usesLineNumbers() const;
    bool isInstructionTarget() const;
    std::string getInputImage() const;  // not localised: the digits carry no words
    int getImageSize() const;
    std::uint8_t getPadByte() const;
    int syncCount() const;
    std::uint8_t syncByte() const;

    // The tab image of a card set: selected when it is the current set.
    std::string getCardSetImage(int set) const;
    // The image of a dialect's button, not localised.
    std::string getDialectImage(int dialect, bool selected) const;

protected:
    bool init();

private:
    DeviceManager() = default;

    // Written by the scene, read by the send worker too.
    std::atomic<int> _dialect{DIALECT_JAM};
    std::atomic<int> _cardSet{CARD_SET_BASIC};
    std::atomic<TypingPace> _typingPace{TypingPace::Normal};
};
