// The catalogue read as the board would read it: what each card's que bytes
// do must be what its jam and latte texts say.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "cards/CardCatalog.h"

namespace {

struct Instruction {
    int opcode, a, b, c;
    bool operator==(const Instruction&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Instruction& i)
{
    return out << "{" << i.opcode << ", " << i.a << ", " << i.b << ", " << i.c << "}";
}

std::vector<Instruction> decode(const std::vector<std::uint8_t>& bytes)
{
    EXPECT_EQ(bytes.size() % 8, 0u);
    auto word = [&](size_t at) { return bytes[at] | bytes[at + 1] << 8; };
    std::vector<Instruction> instructions;
    for (size_t at = 0; at + 8 <= bytes.size(); at += 8)
        instructions.push_back({word(at), word(at + 2), word(at + 4), word(at + 6)});
    return instructions;
}

std::vector<CardKind> allCards()
{
    std::vector<CardKind> cards;
    for (int set = 0; set < kCardSetCount; ++set)
        for (int index = 0; index < CardCatalog::cardCount(set); ++index)
            cards.push_back({set, index});
    return cards;
}

std::string describe(CardKind card)
{
    return "set " + std::to_string(card.set) + " card " + std::to_string(card.index);
}

bool hasPatch(const CardCode& code, const std::string& key, int position)
{
    auto it = code.patches.find(key);
    return it != code.patches.end() && it->second.at("position") == position && it->second.at("size") == 2;
}

// The limit a que loop end compares the box with.
int loopLimit(const CardCode& end)
{
    return decode(end.bytes).back().c;
}

} // namespace

TEST(CardCatalog, QueBytesDoWhatJamAndLatteSay)
{
    std::smatch m;
    for (CardKind card : allCards()) {
        SCOPED_TRACE(describe(card));
        const CardCode jam = CardCatalog::cardCode(card, DIALECT_JAM);
        const CardCode latte = CardCatalog::cardCode(card, DIALECT_LATTE);
        const CardCode que = CardCatalog::cardCode(card, DIALECT_QUE);
        const std::vector<Instruction> code = decode(que.bytes);

        for (const CardCode* text : {&jam, &latte})
            EXPECT_TRUE(text->isText && text->bytes.empty() && text->patches.empty() && text->pairIndex == -1);
        EXPECT_FALSE(que.isText || que.bytes.empty());

        if (std::regex_match(jam.text, m, std::regex("LED ([01])"))) {
            const int on = std::stoi(m[1]);
            EXPECT_EQ(latte.text, "led(" + m[1].str() + ");");
            EXPECT_EQ(code, (std::vector<Instruction>{{1, on, 0, 0}}));
            EXPECT_NE(que.text.find(on ? "つける" : "けす"), std::string::npos) << que.text;
        } else if (std::regex_match(jam.text, m, std::regex("WAIT ([0-9]+)"))) {
            // jam and que count sixtieths of a second, latte milliseconds.
            const int ticks = std::stoi(m[1]);
            EXPECT_EQ(ticks * 1000 % 60, 0);
            EXPECT_EQ(latte.text, "sleep(" + std::to_string(ticks * 1000 / 60) + ");");
            EXPECT_EQ(code, (std::vector<Instruction>{{4, ticks, 1, 0}}));
            EXPECT_EQ(que.text, m[1].str() + "かい まつ");
        } else if (jam.text == "WAIT @") {
            EXPECT_EQ(latte.text, "sleep(@);");
            EXPECT_EQ(code, (std::vector<Instruction>{{4, 0, 1, 0}}));
            EXPECT_TRUE(hasPatch(que, "input", 2));  // operand A
            EXPECT_TRUE(jam.kind == 1 && latte.kind == 1 && que.kind == 1);
            // Typed seconds become sixtieths in jam and que, ms in latte.
            EXPECT_EQ(jam.multiplier, 60.0f);
            EXPECT_EQ(que.multiplier, 60.0f);
            EXPECT_EQ(latte.multiplier, 1000.0f);
        } else if (std::regex_match(jam.text, m, std::regex("OUT ([0-9]+)"))) {
            const int port = std::stoi(m[1]);
            EXPECT_EQ(latte.text, "out(" + m[1].str() + ");");
            EXPECT_EQ(code, (std::vector<Instruction>{{2, 0, port, 0}}));
            EXPECT_EQ(que.text, "OUT " + m[1].str() + " にする");
        } else if (std::regex_match(jam.text, m, std::regex("OUT ([1-6]), ([01])"))) {
            const int pin = std::stoi(m[1]);
            const bool on = m[2] == "1";
            const std::string bit = std::to_string(1 << (pin - 1));
            EXPECT_EQ(latte.text, on ? "out(o=o|" + bit + ");" : "out(o=o&~" + bit + ");");
            EXPECT_EQ(code, (std::vector<Instruction>{{2, pin, on ? 1 : 0, 0}}));
            EXPECT_EQ(que.text, "OUT" + m[1].str() + "を " + (on ? "ON" : "OFF") + "する");
        } else if (std::regex_match(jam.text, m, std::regex("PWM ([34]), ([0-9]+)"))) {
            const int pin = std::stoi(m[1]), value = std::stoi(m[2]);
            EXPECT_EQ(latte.text, "pwm(" + m[1].str() + ", " + std::to_string(value * 10) + ");");
            EXPECT_EQ(code, (std::vector<Instruction>{{3, pin, value, 0}}));
            EXPECT_EQ(que.text, "PWM" + m[1].str() + "を " + m[2].str() + "にする");
        } else if (jam.text == "BEEP") {
            EXPECT_EQ(latte.text, "beep();");
            EXPECT_EQ(code, (std::vector<Instruction>{{23, 440, 6, 0}}));
        } else if (jam.text == "@LOOP") {
            EXPECT_EQ(latte.text, "while(uart()==-1){");
            EXPECT_EQ(code, (std::vector<Instruction>{{0, 0, 0, 0}}));
            EXPECT_EQ(CardCatalog::cardCode({que.pairSet, que.pairIndex}, DIALECT_JAM).text, "GOTO @LOOP");
        } else if (jam.text == "GOTO @LOOP") {
            EXPECT_EQ(latte.text, "}");
            EXPECT_EQ(code, (std::vector<Instruction>{{5, 0, 0, 0}}));
            EXPECT_TRUE(hasPatch(que, "line", 2));  // operand A
        } else if (std::regex_match(jam.text, m, std::regex("FOR I = 1 TO ([0-9]+|@)"))) {
            EXPECT_EQ(latte.text, "i=0;\nwhile(i<" + m[1].str() + "){");
            EXPECT_EQ(code, (std::vector<Instruction>{{9, 0, 0, 0}, {0, 0, 0, 0}}));
            const CardKind end{que.pairSet, que.pairIndex};
            EXPECT_EQ(CardCatalog::cardCode(end, DIALECT_JAM).text, "NEXT");
            if (m[1] != "@") {
                EXPECT_EQ(loopLimit(CardCatalog::cardCode(end, DIALECT_QUE)), std::stoi(m[1]));
            }
        } else if (jam.text == "NEXT") {
            EXPECT_EQ(latte.text, "i=i+1;\n}");
            const int limit = loopLimit(que);
            EXPECT_EQ(code, (std::vector<Instruction>{{10, 0, 1, 1}, {16, 0, 2, limit}}));
            EXPECT_TRUE(hasPatch(que, "line", 10));  // operand A of the jump
            EXPECT_NE(que.text.find("#<" + std::to_string(limit) + " @"), std::string::npos) << que.text;
        } else {
            ADD_FAILURE() << "no known card says " << jam.text;
        }
    }
}

TEST(CardCatalog, EveryLoopEndIsClosedByExactlyOneStart)
{
    std::map<std::pair<int, int>, int> startsPerEnd;
    for (CardKind card : allCards()) {
        const CardCode que = CardCatalog::cardCode(card, DIALECT_QUE);
        if (que.patches.count("line"))
            startsPerEnd[{card.set, card.index}] += 0;
        if (que.pairIndex < 0 && que.pairSet < 0)
            continue;
        SCOPED_TRACE(describe(card));
        ASSERT_EQ(que.pairSet, card.set);
        ASSERT_LT(que.pairIndex, CardCatalog::cardCount(que.pairSet));
        EXPECT_TRUE(CardCatalog::cardCode({que.pairSet, que.pairIndex}, DIALECT_QUE).patches.count("line"));
        startsPerEnd[{que.pairSet, que.pairIndex}] += 1;
    }
    EXPECT_EQ(startsPerEnd.size(), 4u);
    for (auto [end, starts] : startsPerEnd)
        EXPECT_EQ(starts, 1) << "set " << end.first << " card " << end.second;
    // The any-times loop closes with its own end card.
    EXPECT_EQ(CardCatalog::cardCode({CARD_SET_FULL, 8}, DIALECT_QUE).pairIndex, 9);
}

TEST(CardCatalog, NumbersGoWhereTheCardsExpectThem)
{
    for (CardKind card : allCards()) {
        for (int dialect = 0; dialect < kDialectCount; ++dialect) {
            SCOPED_TRACE(describe(card) + " dialect " + std::to_string(dialect));
            const CardCode code = CardCatalog::cardCode(card, dialect);
            const auto rects = CardCatalog::inputRects(card, dialect);
            if (!code.placeholder.empty()) {
                EXPECT_NE(code.text.find(code.placeholder), std::string::npos);
            }
            // A number card shows its digits in three places.
            if (code.kind == 1) {
                EXPECT_FALSE(code.placeholder.empty());
                EXPECT_EQ(rects.size(), 3u);
            }
            EXPECT_TRUE(rects.empty() || rects.size() == 3u);
            EXPECT_EQ(code.patches.count("input") == 1, dialect == DIALECT_QUE && code.kind == 1);
            for (const auto& [key, patch] : code.patches) {
                EXPECT_TRUE(key == "line" || key == "input") << key;
                EXPECT_EQ(patch.at("size"), 2);
                EXPECT_EQ(patch.at("position") % 2, 0);
                EXPECT_LE(static_cast<size_t>(patch.at("position") + 2), code.bytes.size());
            }
        }
    }

    // In que the any-times loop takes no typed number: its end card's limit holds.
    EXPECT_EQ(CardCatalog::cardCode({CARD_SET_FULL, 8}, DIALECT_QUE).kind, 0);
    EXPECT_EQ(CardCatalog::cardCode({CARD_SET_FULL, 8}, DIALECT_JAM).kind, 1);
    // The "@" of a jam label is part of the text.
    EXPECT_TRUE(CardCatalog::cardCode({CARD_SET_BASIC, 5}, DIALECT_JAM).placeholder.empty());
}

TEST(CardCatalog, PicturesAndCodeFacesAreDistinctFilesInTheirFolders)
{
    std::set<std::string> seen;
    for (CardKind card : allCards()) {
        SCOPED_TRACE(describe(card));
        const std::string folder = CardCatalog::setFolder(card.set);
        const std::string picture = CardCatalog::picturePath(card);
        const std::string jam = CardCatalog::codeImagePath(card, DIALECT_JAM);
        const std::string latte = CardCatalog::codeImagePath(card, DIALECT_LATTE);
        EXPECT_TRUE(picture.starts_with(folder + "r_")) << picture;
        EXPECT_TRUE(jam.starts_with(folder + "jam/r_") && jam.ends_with("_jam.png")) << jam;
        EXPECT_TRUE(latte.starts_with(folder + "latte/r_") && latte.ends_with("_latte.png")) << latte;
        EXPECT_EQ(CardCatalog::codeImagePath(card, DIALECT_QUE), latte);
        for (const auto& path : {picture, jam, latte})
            EXPECT_TRUE(seen.insert(path).second) << "used twice: " << path;
    }
    EXPECT_EQ(CardCatalog::codeImagePath({CARD_SET_BASIC, 0}, DIALECT_JAM), "res/cards/basic/jam/r_led1_jam.png");
}

TEST(CardCatalog, SetThenDialectThenCardIsChecked)
{
    EXPECT_EQ(CardCatalog::cardCode({CARD_SET_PAPRIKA, -1}, DIALECT_QUE).text, "");
    EXPECT_EQ(CardCatalog::picturePath({CARD_SET_FULL, 22}), "");
    EXPECT_THROW(CardCatalog::cardCode({3, 99}, 3), std::out_of_range);
    EXPECT_THROW(CardCatalog::cardCode({CARD_SET_BASIC, 99}, 3), std::out_of_range);
    EXPECT_THROW(CardCatalog::codeImagePath({CARD_SET_BASIC, 0}, -1), std::out_of_range);
    EXPECT_THROW(CardCatalog::inputRects({-1, 0}, DIALECT_JAM), std::out_of_range);
    EXPECT_THROW(CardCatalog::picturePath({3, 0}), std::out_of_range);
}

TEST(CardCatalog, LoopRolesFollowWhatTheCardsSay)
{
    using CardCatalog::LoopRole;
    for (CardKind card : allCards()) {
        SCOPED_TRACE(describe(card));
        const std::string jam = CardCatalog::cardCode(card, DIALECT_JAM).text;
        const LoopRole role = jam == "@LOOP"                 ? LoopRole::ForeverStart
                              : jam == "GOTO @LOOP"          ? LoopRole::ForeverEnd
                              : jam.rfind("FOR I = ", 0) == 0 ? LoopRole::CountedStart
                              : jam == "NEXT"                ? LoopRole::CountedEnd
                                                             : LoopRole::None;
        EXPECT_EQ(CardCatalog::loopRole(card), role);
        // que pairs each start with an end of its own kind.
        const CardCode que = CardCatalog::cardCode(card, DIALECT_QUE);
        if (que.pairIndex >= 0) {
            EXPECT_EQ(CardCatalog::loopRole({que.pairSet, que.pairIndex}),
                      role == LoopRole::ForeverStart ? LoopRole::ForeverEnd : LoopRole::CountedEnd);
        }
    }
    EXPECT_EQ(CardCatalog::loopRole({CARD_SET_FULL, 99}), LoopRole::None);
}

TEST(CardCatalog, EveryCardHasAShortNameInBothLanguagesUniqueInItsSet)
{
    for (int set = 0; set < kCardSetCount; ++set) {
        std::set<std::string> english, japanese;
        for (int index = 0; index < CardCatalog::cardCount(set); ++index) {
            const CardCatalog::CardName name = CardCatalog::cardName(CardKind{set, index});
            SCOPED_TRACE("set " + std::to_string(set) + " card " + std::to_string(index) + ": " + name.english);
            EXPECT_FALSE(name.english.empty());
            EXPECT_LE(name.english.size(), 36u) << "short enough for the label";
            EXPECT_TRUE(english.insert(name.english).second) << "a second card of the set has this name";
            EXPECT_TRUE(japanese.insert(name.japanese).second) << name.japanese;
            // Kana, digits and blanks, as a child reads: every character
            // beyond ASCII from U+3000 to U+30FF (marks, hiragana, katakana),
            // no kanji, no Latin letters.
            ASSERT_FALSE(name.japanese.empty());
            for (size_t i = 0; i < name.japanese.size(); ++i) {
                const auto byte = static_cast<unsigned char>(name.japanese[i]);
                if (byte < 0x80) {
                    EXPECT_TRUE(std::isdigit(byte) || byte == ' ') << name.japanese;
                } else if ((byte & 0xC0) != 0x80) {
                    const auto next = i + 1 < name.japanese.size() ? static_cast<unsigned char>(name.japanese[i + 1]) : 0;
                    EXPECT_TRUE(byte == 0xE3 && next >= 0x80 && next <= 0x83)
                        << name.japanese << " has a character outside kana";
                }
            }
        }
    }
    EXPECT_TRUE(CardCatalog::cardName(CardKind{CARD_SET_BASIC, 99}).english.empty());
}
