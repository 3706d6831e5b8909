#pragma once
// The number a card carries, as typed or as stored in a saved program: read
// and written one way for the card's code face and for the program sent to
// the board, whatever the process locale.
#include <string>

// The number at the start of `text` as C's atof reads it in the "C" locale:
// leading blanks, one optional sign, decimal digits with an optional point
// and exponent, or a hexadecimal number. Anything else, an underflow,
// "inf" and "nan" read as 0; an overflow reads as an infinity of its sign.
double readNumberText(const std::string& text);

// multiplier x the number, taken to the nearest whole number (halves away
// from zero) and written out whole, never in exponent form, clamped to what
// a long long holds. Empty for an empty text.
std::string convertedNumberText(const std::string& text, float multiplier);
