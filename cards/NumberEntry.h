#pragma once
// Whether a number typed into a number card can go on the card: the edit
// box, saved programs and the command line all pass through here.
#include <string>

#include "cards/CardCode.h"

// Why a typed number cannot go on the card.
enum class NumberRefusal { None, NotANumber, TooLarge, BelowOne };

struct NumberEntryResult {
    bool accepted = false;
    std::string text;  // the number as the card carries it; empty when refused
    NumberRefusal refusal = NumberRefusal::None;
};

// At most 8 characters of ASCII or full-width digits with at most one point
// and at least one digit; a leading point gets a "0" in front. Refused too
// when the number x multiplier, as the board receives it, does not fit the
// dialect's numbers (jam 0..32767, latte up to 2147483647, que 0..65535),
// or, for a loop count, when it is below 1 as the board receives it.
NumberEntryResult checkNumberEntry(const std::string& typed, int dialect, float multiplier, bool loopCount = false);

// The largest number a card with this multiplier takes in `dialect`, as
// typed on the card (at most one decimal, at most 8 characters); empty for
// a dialect outside 0..2.
std::string largestNumber(int dialect, float multiplier);

// Whether the number text x multiplier, converted as the board receives it,
// fits the dialect's numbers (jam -32768..32767, latte the 32-bit int range,
// que 0..65535). An empty text is 0. False for a dialect outside 0..2.
bool numberFitsBoard(const std::string& numberText, int dialect, float multiplier);

// Whether the number `card` carries in `dialect` is the count of a loop,
// which the board stops on below 1. False outside the catalogue.
bool takesLoopCount(CardKind card, int dialect);

// Whether the number text x multiplier, converted as the board receives it,
// is at least 1. An empty text is 0.
bool countAtLeastOne(const std::string& numberText, float multiplier);
