#include "cards/CardCatalog.h"

#include <array>
#include <initializer_list>
#include <stdexcept>
#include <utility>

namespace CardCatalog {

namespace {

using Bytes = std::vector<std::uint8_t>;
using Rects = std::vector<engine::Rect>;

// One que instruction: an opcode and three operands.
struct Instruction {
    std::uint16_t opcode = 0, a = 0, b = 0, c = 0;
};

// Each instruction as four little-endian 16-bit words.
Bytes encode(std::initializer_list<Instruction> instructions)
{
    Bytes bytes;
    for (const auto& instruction : instructions)
        for (std::uint16_t word : {instruction.opcode, instruction.a, instruction.b, instruction.c}) {
            bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(word >> 8));
        }
    return bytes;
}

// A 16-bit field at `position` that the generator fills in.
CardCode::Patches patch(const char* key, int position)
{
    return {{key, {{"position", position}, {"size", 2}}}};
}

struct CardEntry {
    CardEntry(std::string picture_, CardName name_, std::string codeName_, std::array<CardCode, kDialectCount> code_,
              std::array<Rects, kDialectCount> inputRects_ = {}, LoopRole loop_ = LoopRole::None)
        : picture(std::move(picture_)), name(std::move(name_)), codeName(std::move(codeName_)), code(std::move(code_)),
          inputRects(std::move(inputRects_)), loop(loop_)
    {
    }

    std::string picture;                    // file name in the set's folder
    CardName name;                          // what the child calls it
    std::string codeName;                   // code faces are <folder>/r_<codeName>_<folder>.png
    std::array<CardCode, kDialectCount> code;
    std::array<Rects, kDialectCount> inputRects;  // empty but for number cards
    LoopRole loop;
};

struct CardSetEntry {
    std::string folder;
    std::string imageOn;
    std::string imageOff;
    std::vector<CardEntry> cards;
};

// Opcodes of the que instructions the cards use.
enum : std::uint16_t {
    OP_NOP = 0,
    OP_LED = 1,
    OP_OUT = 2,
    OP_PWM = 3,
    OP_WAIT = 4,
    OP_JUMP = 5,
    OP_BOX_CLEAR = 9,
    OP_BOX_ADD = 10,
    OP_JUMP_BELOW = 16,
    OP_SOUND = 23,
};

CardSetEntry basicSet()
{
    return {"res/cards/basic/", "res/cards/r_basic_on.png", "res/cards/r_basic_off.png", {
        {"r_led1.png", {"あかりを つける", "LED on"}, "led1", {CardCode("LED 1"), CardCode("led(1);"),
            CardCode("LEDを つける", encode({{OP_LED, 1}}))}},
        {"r_led0.png", {"あかりを けす", "LED off"}, "led0", {CardCode("LED 0"), CardCode("led(0);"),
            CardCode("LEDを けす", encode({{OP_LED, 0}}))}},
        {"r_wait1.png", {"1びょう まつ", "wait 1 second"}, "wait1", {CardCode("WAIT 60"), CardCode("sleep(1000);"),
            CardCode("60かい まつ", encode({{OP_WAIT, 60, 1}}))}},
        {"r_wait3.png", {"3びょう まつ", "wait 3 seconds"}, "wait3", {CardCode("WAIT 180"), CardCode("sleep(3000);"),
            CardCode("180かい まつ", encode({{OP_WAIT, 180, 1}}))}},
        // The loop start is an empty step the loop end jumps back to.
        {"r_loop_inf_start.png", {"ずっと くりかえす", "repeat forever"}, "loop_inf_start", {CardCode("@LOOP"), CardCode("while(uart()==-1){"),
            CardCode("", encode({{OP_NOP}}), 5, CARD_SET_BASIC)}, {}, LoopRole::ForeverStart},
        {"r_loop_inf_end.png", {"ずっと くりかえす おわり", "end of repeat forever"}, "loop_inf_end", {CardCode("GOTO @LOOP"), CardCode("}"),
            CardCode("@ へ 行く", encode({{OP_JUMP}}), patch("line", 2), "@", 1.0f)}, {}, LoopRole::ForeverEnd},
    }};
}

CardSetEntry paprikaSet()
{
    // The output port and the servo outputs (PWM 3 and 4) drive the car.
    return {"res/cards/pap/", "res/cards/r_paprika_on.png", "res/cards/r_paprika_off.png", {
        {"r_pap_forward.png", {"まえに すすむ", "car forward"}, "out33", {CardCode("OUT 33"), CardCode("out(33);"),
            CardCode("OUT 33 にする", encode({{OP_OUT, 0, 33}}))}},
        {"r_pap_stop.png", {"とまる", "car stop"}, "out0", {CardCode("OUT 0"), CardCode("out(0);"),
            CardCode("OUT 0 にする", encode({{OP_OUT, 0, 0}}))}},
        {"r_pap_back.png", {"うしろに さがる", "car back"}, "out18", {CardCode("OUT 18"), CardCode("out(18);"),
            CardCode("OUT 18 にする", encode({{OP_OUT, 0, 18}}))}},
        {"r_pap_left1-1.png", {"その ばで ひだりに まわる", "car spin left"}, "out34", {CardCode("OUT 34"), CardCode("out(34);"),
            CardCode("OUT 34 にする", encode({{OP_OUT, 0, 34}}))}},
        {"r_pap_left1-2.png", {"ひだりに まがる", "car turn left"}, "out32", {CardCode("OUT 32"), CardCode("out(32);"),
            CardCode("OUT 32 にする", encode({{OP_OUT, 0, 32}}))}},
        {"r_pap_left1-3.png", {"ひだりに まがって さがる", "car back to the left"}, "out16", {CardCode("OUT 16"), CardCode("out(16);"),
            CardCode("OUT 16 にする", encode({{OP_OUT, 0, 16}}))}},
        {"r_pap_right1-1.png", {"その ばで みぎに まわる", "car spin right"}, "out17", {CardCode("OUT 17"), CardCode("out(17);"),
            CardCode("OUT 17 にする", encode({{OP_OUT, 0, 17}}))}},
        {"r_pap_right1-2.png", {"みぎに まがる", "car turn right"}, "out1", {CardCode("OUT 1"), CardCode("out(1);"),
            CardCode("OUT 1 にする", encode({{OP_OUT, 0, 1}}))}},
        {"r_pap_right1-3.png", {"みぎに まがって さがる", "car back to the right"}, "out2", {CardCode("OUT 2"), CardCode("out(2);"),
            CardCode("OUT 2 にする", encode({{OP_OUT, 0, 2}}))}},
        // latte counts PWM in tenths of what jam and que count.
        {"r_pap_left2-1.png", {"うで3を はしに", "arm 3 to one end"}, "pwm3_60", {CardCode("PWM 3, 60"), CardCode("pwm(3, 600);"),
            CardCode("PWM3を 60にする", encode({{OP_PWM, 3, 60}}))}},
        {"r_pap_left2-2.png", {"うで3を まんなかに", "arm 3 to the middle"}, "pwm3_145", {CardCode("PWM 3, 145"), CardCode("pwm(3, 1450);"),
            CardCode("PWM3を 145にする", encode({{OP_PWM, 3, 145}}))}},
        {"r_pap_left2-3.png", {"うで3を はんたいの はしに", "arm 3 to the other end"}, "pwm3_230", {CardCode("PWM 3, 230"), CardCode("pwm(3, 2300);"),
            CardCode("PWM3を 230にする", encode({{OP_PWM, 3, 230}}))}},
        {"r_pap_right2-1.png", {"うで4を はんたいの はしに", "arm 4 to the other end"}, "pwm4_230", {CardCode("PWM 4, 230"), CardCode("pwm(4, 2300);"),
            CardCode("PWM4を 230にする", encode({{OP_PWM, 4, 230}}))}},
        {"r_pap_right2-2.png", {"うで4を まんなかに", "arm 4 to the middle"}, "pwm4_145", {CardCode("PWM 4, 145"), CardCode("pwm(4, 1450);"),
            CardCode("PWM4を 145にする", encode({{OP_PWM, 4, 145}}))}},
        {"r_pap_right2-3.png", {"うで4を はしに", "arm 4 to one end"}, "pwm4_60", {CardCode("PWM 4, 60"), CardCode("pwm(4, 600);"),
            CardCode("PWM4を 60にする", encode({{OP_PWM, 4, 60}}))}},
    }};
}

CardSetEntry fullSet()
{
    // Counted loops keep their counter in the box: the start clears it and
    // leaves an empty step to jump back to; the end adds one and jumps back
    // while the box is below the limit.
    const Bytes loopStart = encode({{OP_BOX_CLEAR}, {OP_NOP}});
    const CardCode loopEnd3("はこ# + 1\nもし #<3 @ へ", encode({{OP_BOX_ADD, 0, 1, 1}, {OP_JUMP_BELOW, 0, 2, 3}}),
                            patch("line", 10), "@", 1.0f);
    const CardCode loopEnd5("はこ# + 1\nもし #<5 @ へ", encode({{OP_BOX_ADD, 0, 1, 1}, {OP_JUMP_BELOW, 0, 2, 5}}),
                            patch("line", 10), "@", 1.0f);

    // Rectangles of the typed digits: big and small on the picture, the
    // converted value on the code face, which differs per dialect.
    const engine::Rect waitBig(0, -13, 50, 30), waitSmall(-30, -47, 40, 13);
    const engine::Rect loopBig(0, 3, 50, 30), loopSmall(-76, -47, 25, 13);
    const engine::Rect latteCode(-31, 0, 55, 20);

    return {"res/cards/full/", "res/cards/r_full_on.png", "res/cards/r_full_off.png", {
        {"r_wait5.png", {"5びょう まつ", "wait 5 seconds"}, "wait5", {CardCode("WAIT 300"), CardCode("sleep(5000);"),
            CardCode("300かい まつ", encode({{OP_WAIT, 300, 1}}))}},
        {"r_wait10.png", {"10びょう まつ", "wait 10 seconds"}, "wait10", {CardCode("WAIT 600"), CardCode("sleep(10000);"),
            CardCode("600かい まつ", encode({{OP_WAIT, 600, 1}}))}},
        // Seconds are typed; jam and que wait in sixtieths, latte in ms.
        {"r_wait_any.png", {"きめた びょうすう まつ", "wait the seconds you type"}, "waita",
            {CardCode("WAIT @", "@", 60.0f), CardCode("sleep(@);", "@", 1000.0f),
             CardCode("@かい まつ", encode({{OP_WAIT, 0, 1}}), patch("input", 2), "@", 60.0f, 1)},
            {Rects{waitBig, waitSmall, {-47, 0, 60, 20}}, Rects{waitBig, waitSmall, latteCode},
             Rects{waitBig, waitSmall, latteCode}}},
        {"r_beep.png", {"おとを ならす", "beep"}, "beep", {CardCode("BEEP"), CardCode("beep();"),
            CardCode("おとを ならす", encode({{OP_SOUND, 440, 6}}))}},
        {"r_loop_3_start.png", {"3かい くりかえす", "repeat 3 times"}, "loop_3_start", {CardCode("FOR I = 1 TO 3"), CardCode("i=0;\nwhile(i<3){"),
            CardCode("はこ# = 0\n", loopStart, 5, CARD_SET_FULL)}, {}, LoopRole::CountedStart},
        {"r_loop_3_end.png", {"3かい くりかえす おわり", "end of repeat 3 times"}, "loop_3_end", {CardCode("NEXT"), CardCode("i=i+1;\n}"), loopEnd3}, {}, LoopRole::CountedEnd},
        {"r_loop_5_start.png", {"5かい くりかえす", "repeat 5 times"}, "loop_5_start", {CardCode("FOR I = 1 TO 5"), CardCode("i=0;\nwhile(i<5){"),
            CardCode("はこ# = 0\n", loopStart, 7, CARD_SET_FULL)}, {}, LoopRole::CountedStart},
        {"r_loop_5_end.png", {"5かい くりかえす おわり", "end of repeat 5 times"}, "loop_5_end", {CardCode("NEXT"), CardCode("i=i+1;\n}"), loopEnd5}, {}, LoopRole::CountedEnd},
        // que takes no typed number here and always runs its loop five
        // times (the end card's limit). The start pairs with its own end
        // card: paired with card 7 instead, a program of cards 8 and 9 would
        // never close its loop.
        {"r_loop_any_start.png", {"きめた かいすう くりかえす", "repeat the times you type"}, "loop_any_start",
            {CardCode("FOR I = 1 TO @", "@", 1.0f), CardCode("i=0;\nwhile(i<@){", "@", 1.0f),
             CardCode("はこ# = 0\n", loopStart, 9, CARD_SET_FULL)},
            {Rects{loopBig, loopSmall, {-77, 0, 20, 20}}, Rects{loopBig, loopSmall, {-37, -9, 15, 20}},
             Rects{loopBig, loopSmall, latteCode}},
            LoopRole::CountedStart},
        {"r_loop_any_end.png", {"きめた かいすう くりかえす おわり", "end of repeat the times you type"}, "loop_any_end", {CardCode("NEXT"), CardCode("i=i+1;\n}"), loopEnd5}, {},
            LoopRole::CountedEnd},
        // Outputs 1 to 6, on then off; latte keeps the output bits in o.
        {"r_out1_on.png", {"でぐち1を オンに する", "output 1 on"}, "out1_on", {CardCode("OUT 1, 1"), CardCode("out(o=o|1);"),
            CardCode("OUT1を ONする", encode({{OP_OUT, 1, 1}}))}},
        {"r_out1_off.png", {"でぐち1を オフに する", "output 1 off"}, "out1_off", {CardCode("OUT 1, 0"), CardCode("out(o=o&~1);"),
            CardCode("OUT1を OFFする", encode({{OP_OUT, 1, 0}}))}},
        {"r_out2_on.png", {"でぐち2を オンに する", "output 2 on"}, "out2_on", {CardCode("OUT 2, 1"), CardCode("out(o=o|2);"),
            CardCode("OUT2を ONする", encode({{OP_OUT, 2, 1}}))}},
        {"r_out2_off.png", {"でぐち2を オフに する", "output 2 off"}, "out2_off", {CardCode("OUT 2, 0"), CardCode("out(o=o&~2);"),
            CardCode("OUT2を OFFする", encode({{OP_OUT, 2, 0}}))}},
        {"r_out3_on.png", {"でぐち3を オンに する", "output 3 on"}, "out3_on", {CardCode("OUT 3, 1"), CardCode("out(o=o|4);"),
            CardCode("OUT3を ONする", encode({{OP_OUT, 3, 1}}))}},
        {"r_out3_off.png", {"でぐち3を オフに する", "output 3 off"}, "out3_off", {CardCode("OUT 3, 0"), CardCode("out(o=o&~4);"),
            CardCode("OUT3を OFFする", encode({{OP_OUT, 3, 0}}))}},
        {"r_out4_on.png", {"でぐち4を オンに する", "output 4 on"}, "out4_on", {CardCode("OUT 4, 1"), CardCode("out(o=o|8);"),
            CardCode("OUT4を ONする", encode({{OP_OUT, 4, 1}}))}},
        {"r_out4_off.png", {"でぐち4を オフに する", "output 4 off"}, "out4_off", {CardCode("OUT 4, 0"), CardCode("out(o=o&~8);"),
            CardCode("OUT4を OFFする", encode({{OP_OUT, 4, 0}}))}},
        {"r_out5_on.png", {"でぐち5を オンに する", "output 5 on"}, "out5_on", {CardCode("OUT 5, 1"), CardCode("out(o=o|16);"),
            CardCode("OUT5を ONする", encode({{OP_OUT, 5, 1}}))}},
        {"r_out5_off.png", {"でぐち5を オフに する", "output 5 off"}, "out5_off", {CardCode("OUT 5, 0"), CardCode("out(o=o&~16);"),
            CardCode("OUT5を OFFする", encode({{OP_OUT, 5, 0}}))}},
        {"r_out6_on.png", {"でぐち6を オンに する", "output 6 on"}, "out6_on", {CardCode("OUT 6, 1"), CardCode("out(o=o|32);"),
            CardCode("OUT6を ONする", encode({{OP_OUT, 6, 1}}))}},
        {"r_out6_off.png", {"でぐち6を オフに する", "output 6 off"}, "out6_off", {CardCode("OUT 6, 0"), CardCode("out(o=o&~32);"),
            CardCode("OUT6を OFFする", encode({{OP_OUT, 6, 0}}))}},
    }};
}

std::array<DialectInfo, kDialectCount> dialects()
{
    DialectInfo jam;
    jam.name = "jam";
    jam.charDelay = 50;
    // The board's prompt takes a key a video frame (16.7 ms, or 20 ms on a
    // 50 Hz television) and holds 126 waiting: 25 ms keeps a margin over
    // both. Where its listing is checked, 17 ms: no key waits at 60 frames
    // a second, and at 50 the longest program forty cards make fills the
    // 126 to about 111.
    jam.fastCharDelay = 25;
    jam.checkedFastCharDelay = 17;
    jam.numberedLines = true;
    jam.separator = ":";
    jam.lineEnding = "\r\n";
    jam.breakCode = CardCode("\x1b", 500);
    jam.stopCode = CardCode("\nOUT0\n");
    jam.prelude = {CardCode("\n\n\n\n\nNEW")};
    // The pause after the bare line feed lets the board finish saving.
    jam.epilogue = {CardCode("SAVE 0", 60, false, true), CardCode("\n", 1000, false, true), CardCode("RUN")};
    jam.buttonImageOn = "res/r_to_jam_on.png";
    jam.buttonImageOff = "res/r_to_jam.png";
    jam.inputImage = "res/r_input_num_jam_l.png";
    jam.codeImageFolder = "jam";
    // NEXT closes the innermost FOR whatever its variable; the board keeps
    // six FOR loops, and a GOTO finds the first line whose label begins
    // its target.
    jam.loopVariables = "IJKLMN";
    jam.deepestCountedLoops = 6;
    jam.foreverLabel = "@LOOP";

    DialectInfo latte;
    latte.name = "latte";
    latte.charDelay = 5;
    latte.lineEnding = "\n";
    latte.breakCode = CardCode(" ", 20);
    latte.stopCode = CardCode("ms\nout(0)\nexit()\n");
    // The shell copies the typed program into a file until end of
    // transmission (4), then runs it.
    latte.prelude = {CardCode("cat uart > .", 5, true, false), CardCode("var i=0;var o=0;")};
    latte.epilogue = {CardCode("while(uart()!=-1);\n", 5, false, false), CardCode("\x04", 2000, true, false),
                      CardCode("ms .", 5, true, false)};
    latte.buttonImageOn = "res/r_to_latte_on.png";
    latte.buttonImageOff = "res/r_to_latte.png";
    latte.inputImage = "res/r_input_num_latte_l.png";
    latte.codeImageFolder = "latte";
    // o holds the outputs. As deep as jam, so a program runs alike in both.
    latte.loopVariables = "ijklmn";
    latte.deepestCountedLoops = 6;

    // que receives a program image: no texts around the cards, an empty
    // instruction for each empty position, padding to the full image.
    DialectInfo que;
    que.name = "que";
    que.charDelay = 10;
    que.instructionTarget = true;
    que.breakCode = CardCode("");
    que.stopCode = CardCode("");
    que.buttonImageOn = "res/r_to_que_on.png";
    que.buttonImageOff = "res/r_to_que.png";
    que.inputImage = "res/r_input_num_latte_l.png";
    que.codeImageFolder = "latte";  // que shows the latte code faces
    que.syncCount = 8;
    que.syncByte = 0;
    que.imageSize = 512;
    que.padByte = 255;
    que.deepestCountedLoops = 1;  // a single box counts the turns

    return {jam, latte, que};
}

const std::array<CardSetEntry, kCardSetCount>& cardSets()
{
    static const std::array<CardSetEntry, kCardSetCount> sets{basicSet(), paprikaSet(), fullSet()};
    return sets;
}

const CardSetEntry& setAt(int set)
{
    if (set < 0 || set >= kCardSetCount)
        throw std::out_of_range("card set " + std::to_string(set));
    return cardSets()[static_cast<size_t>(set)];
}

// Null past the end of the set.
const CardEntry* findCard(const CardSetEntry& set, int index)
{
    if (index < 0 || static_cast<size_t>(index) >= set.cards.size())
        return nullptr;
    return &set.cards[static_cast<size_t>(index)];
}

// Set first, then dialect, then card.
const CardEntry* cardAt(CardKind card, int dialectIndex)
{
    const CardSetEntry& set = setAt(card.set);
    dialect(dialectIndex);
    return findCard(set, card.index);
}

} // namespace

const DialectInfo& dialect(int dialect)
{
    static const std::array<DialectInfo, kDialectCount> table = dialects();
    if (dialect < 0 || dialect >= kDialectCount)
        throw std::out_of_range("dialect " + std::to_string(dialect));
    return table[static_cast<size_t>(dialect)];
}

int cardCount(int set)
{
    return static_cast<int>(setAt(set).cards.size());
}

std::string setFolder(int set)
{
    return setAt(set).folder;
}

std::string cardSetImage(int set, bool selected)
{
    const CardSetEntry& entry = setAt(set);
    return selected ? entry.imageOn : entry.imageOff;
}

std::string picturePath(CardKind card)
{
    const CardSetEntry& set = setAt(card.set);
    const CardEntry* entry = findCard(set, card.index);
    return entry ? set.folder + entry->picture : std::string();
}

std::string codeImagePath(CardKind card, int dialectIndex)
{
    const CardEntry* entry = cardAt(card, dialectIndex);
    if (!entry)
        return {};
    const std::string& folder = dialect(dialectIndex).codeImageFolder;
    return setAt(card.set).folder + folder + "/r_" + entry->codeName + "_" + folder + ".png";
}

CardCode cardCode(CardKind card, int dialectIndex)
{
    const CardEntry* entry = cardAt(card, dialectIndex);
    return entry ? entry->code[static_cast<size_t>(dialectIndex)] : CardCode();
}

std::vector<engine::Rect> inputRects(CardKind card, int dialectIndex)
{
    const CardEntry* entry = cardAt(card, dialectIndex);
    return entry ? entry->inputRects[static_cast<size_t>(dialectIndex)] : Rects();
}

CardName cardName(CardKind card)
{
    const CardEntry* entry = findCard(setAt(card.set), card.index);
    return entry ? entry->name : CardName();
}

LoopRole loopRole(CardKind card)
{
    const CardEntry* entry = findCard(setAt(card.set), card.index);
    return entry ? entry->loop : LoopRole::None;
}

} // namespace CardCatalog
