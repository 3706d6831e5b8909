#pragma once
// The constant tables of cards, pictures, code per dialect and the
// per-dialect constants, as stored: paths here are not localised. The editor
// reads them through DeviceManager; tools that walk every card (picture
// generator, contact sheet, command-line tool) read them here.
//
// Every lookup takes the set first, then the dialect, then the card: a set
// or dialect outside 0..2 throws std::out_of_range, a card index outside its
// set gives the empty result ("", a default record, an empty list).
#include <cstdint>
#include <string>
#include <vector>

#include "cards/CardCode.h"
#include "engine/core/Types.h"

namespace CardCatalog {

// What a card does to the loops around it.
enum class LoopRole { None, CountedStart, CountedEnd, ForeverStart, ForeverEnd };

// What a child calls a card, short; the Japanese in kana, as a child reads.
struct CardName {
    std::string japanese;
    std::string english;
};

// What the generator and the sender need to know of a dialect.
struct DialectInfo {
    std::string name;                 // "jam", "latte", "que"
    int charDelay = 0;                // ms after each character, unless a record says otherwise
    // What charDelay becomes when the user asks for fast typing; 0: the
    // dialect has no faster pace. Pauses other than charDelay never change.
    int fastCharDelay = 0;
    // The fast pace where the board's listing is read back and repaired.
    int checkedFastCharDelay = 0;
    bool numberedLines = false;
    bool instructionTarget = false;   // receives a program image instead of text
    std::string separator;            // between statements of one line
    std::string lineEnding;
    CardCode breakCode;               // interrupts the running program
    CardCode stopCode;                // stops the board's outputs
    std::vector<CardCode> prelude;
    std::vector<CardCode> epilogue;
    std::string buttonImageOn;        // dialect button, selected
    std::string buttonImageOff;       // dialect button, not selected
    std::string inputImage;           // digits on the code face of number cards
    std::string codeImageFolder;      // sub-folder of the code faces ("jam" or "latte")
    int syncCount = 0;                // bytes written for an empty position
    std::uint8_t syncByte = 0;
    int imageSize = 0;                // program image size in bytes
    std::uint8_t padByte = 0;         // fills the program image
    std::string loopVariables;        // the counter of a counted loop at each depth from 1, as the cards name
                                      // the first; empty where no variable counts
    int deepestCountedLoops = 0;      // counted loops one inside another that the board runs
    std::string foreverLabel;         // the label the forever loop cards use; empty where braces nest loops
};

// The dialect's constants; the tables never change, keep a copy if needed.
const DialectInfo& dialect(int dialect);

int cardCount(int set);
// "res/cards/basic/", "res/cards/pap/", "res/cards/full/".
std::string setFolder(int set);
std::string cardSetImage(int set, bool selected);

std::string picturePath(CardKind card);
// Empty texts for a card index outside its set.
CardName cardName(CardKind card);
std::string codeImagePath(CardKind card, int dialect);
CardCode cardCode(CardKind card, int dialect);
std::vector<engine::Rect> inputRects(CardKind card, int dialect);
// None for a card index outside its set.
LoopRole loopRole(CardKind card);

} // namespace CardCatalog
