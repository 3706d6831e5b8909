#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <clocale>
#include <locale.h>
#include <cmath>
#include <limits>
#include <locale>
#include <ostream>

#include "engine/core/Plist.h"
#include "engine/core/Value.h"

namespace engine {
// Failures show values as the documents they would be written as.
void PrintTo(const Value& value, std::ostream* os) {
    auto document = plist::write(value);
    *os << (value.isNull() ? "Null" : document ? *document : "(too deep)");
}
} // namespace engine

using namespace engine;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

std::string nestedArrays(int depth) {
    std::string xml = "<plist version=\"1.0\">";
    for (int i = 0; i < depth; ++i) xml += "<array>";
    xml += "<string>deepest</string>";
    for (int i = 0; i < depth; ++i) xml += "</array>";
    return xml + "</plist>";
}

Value nestedValue(int depth) {
    Value value("deepest");
    for (int i = 0; i < depth; ++i) value = Value(ValueVector{std::move(value)});
    return value;
}

ValueMap everyType() {
    ValueMap card{{"tab", Value(2)}, {"x", Value(-12)}, {"value", Value("100")}};
    return {
        {"", Value("empty key")},
        {"<k&y>", Value("<&> \"q\" 'a' ]]>")},
        {"blank", Value("")},
        {"spaces", Value("   ")},
        {"lines", Value("tab\tlf\ncr\rcrlf\r\nend")},
        {"unicode", Value("カード ✓ 😀")},
        {"ints", Value(ValueVector{Value(0), Value(-1), Value(INT_MAX), Value(INT_MIN)})},
        {"doubles", Value(ValueVector{Value(0.1), Value(1.0 / 3), Value(-2.5), Value(2.0), Value(1e300),
                                      Value(5e-324), Value(kInf), Value(-kInf), Value(kNaN)})},
        {"bools", Value(ValueVector{Value(true), Value(false)})},
        {"empties", Value(ValueVector{Value(ValueMap{}), Value(ValueVector{}), Value(ValueMap{{"m", Value(ValueMap{})}})})},
        {"cards", Value(ValueVector{Value(card), Value(ValueVector{Value(card)})})},
    };
}

} // namespace

TEST(Value, ConvertsAsTheEngineFamilyDoes) {
    struct Row {
        Value value;
        bool asBool;
        int asInt;
        double asDouble;
        std::string asString;
    };
    const Row rows[] = {
        {Value(), false, 0, 0, ""},
        {Value(true), true, 1, 1, "true"},
        {Value(-7), true, -7, -7, "-7"},
        {Value(-2.75), true, -2, -2.75, "-2.7500000000000000"},
        {Value(1.5f), true, 1, 1.5, "1.5000000"},
        {Value(1e20), true, INT_MAX, 1e20, "100000000000000000000.0000000000000000"},
        {Value(-1e20f), true, INT_MIN, static_cast<double>(-1e20f), "-100000002004087734272.0000000"},
        {Value("  42abc"), true, 42, 42, "  42abc"},
        {Value("+3.5e2"), true, 3, 350, "+3.5e2"},
        {Value("-0.5"), true, 0, -0.5, "-0.5"},
        {Value("0"), false, 0, 0, "0"},
        {Value("false"), false, 0, 0, "false"},
        {Value(""), true, 0, 0, ""},
        {Value("abc"), true, 0, 0, "abc"},
        {Value("99999999999"), true, INT_MAX, 99999999999.0, "99999999999"},
        {Value("-99999999999999999999999"), true, INT_MIN, -1e23, "-99999999999999999999999"},
        {Value("1e999"), true, 1, kInf, "1e999"},
        {Value("-0.0000000001e-999"), true, 0, 0, "-0.0000000001e-999"},
        {Value(ValueVector{Value(1)}), false, 0, 0, ""},
        {Value(ValueMap{{"a", Value(1)}}), false, 0, 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.asString);
        EXPECT_EQ(row.value.asBool(), row.asBool);
        EXPECT_EQ(row.value.asInt(), row.asInt);
        EXPECT_EQ(row.value.asDouble(), row.asDouble);
        EXPECT_EQ(row.value.asFloat(), static_cast<float>(row.asDouble));
        EXPECT_EQ(row.value.asString(), row.asString);
    }
    EXPECT_EQ(Value(kNaN).asInt(), 0);
    EXPECT_EQ(Value(static_cast<float>(kNaN)).asInt(), 0);
}

namespace {
// What must hold whatever the desktop's conventions for numbers are.
void expectLocaleFreeNumbers() {
    EXPECT_EQ(Value(1.5).asString(), "1.5000000000000000");
    EXPECT_EQ(Value(1.5f).asString(), "1.5000000");
    EXPECT_EQ(Value("1.5").asDouble(), 1.5);
    EXPECT_EQ(Value("2,5").asDouble(), 2.0);
    EXPECT_EQ(Value(1234567).asString(), "1234567");
    ValueMap map{{"r", Value(1.5)}, {"i", Value(1234567)}};
    auto document = plist::write(map);
    ASSERT_TRUE(document);
    EXPECT_NE(document->find("<real>1.5</real>"), std::string::npos);
    EXPECT_NE(document->find("<integer>1234567</integer>"), std::string::npos);
    EXPECT_EQ(plist::parseMap(*document), map);
}

struct CommaDecimals : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};
} // namespace

TEST(Value, NumbersIgnoreTheStreamsGlobalLocale) {
    std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimals));
    expectLocaleFreeNumbers();
    std::locale::global(previous);
}

TEST(Value, NumbersIgnoreAGermanDesktop) {
    // The C library's locale, for this thread only, as a German desktop sets it.
    locale_t german = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"})
        if (!german) german = newlocale(LC_ALL_MASK, name, nullptr);
    if (!german) GTEST_SKIP() << "no German locale is installed";
    locale_t previous = uselocale(german);
    expectLocaleFreeNumbers();
    uselocale(previous);
    freelocale(german);
}

TEST(Value, EqualityCopiesAndAccessors) {
    // Same number, different types: all unequal.
    const Value kinds[] = {Value(1), Value(1.0), Value(1.0f), Value("1"), Value(true), Value()};
    for (const Value& a : kinds)
        for (const Value& b : kinds) EXPECT_EQ(&a == &b, a == b);
    EXPECT_EQ(Value(), Value::Null);
    EXPECT_EQ(Value(kNaN), Value(kNaN));

    // Copies are deep; a moved-from value is null.
    Value original(everyType());
    Value copy = original;
    copy.asValueMap()["cards"].asValueVector()[0].asValueMap()["x"] = Value(99);
    EXPECT_NE(copy, original);
    EXPECT_EQ(original.asValueMap().at("cards").asValueVector()[0].asValueMap().at("x"), Value(-12));
    Value moved = std::move(copy);
    EXPECT_TRUE(copy.isNull());
    EXPECT_EQ(moved.asValueMap().size(), original.asValueMap().size());

    // Assigning a value its own child, by copy and by move.
    Value parent(ValueVector{Value(ValueVector{Value("child")})});
    parent = parent.asValueVector()[0];
    EXPECT_EQ(parent, Value(ValueVector{Value("child")}));
    parent = std::move(parent.asValueVector()[0]);
    EXPECT_EQ(parent, Value("child"));

    // Containers of another type are empty, and filling one changes nothing.
    Value number(3);
    EXPECT_TRUE(std::as_const(number).asValueMap().empty());
    number.asValueVector().push_back(Value(1));
    EXPECT_TRUE(number.asValueVector().empty());
    EXPECT_EQ(number, Value(3));

    // A missing entry filled through the accessor keeps what was added.
    ValueMap document;
    document["datas"].asValueVector().push_back(Value(7));
    document["meta"].asValueMap()["title"] = Value("a");
    EXPECT_EQ(document["datas"], Value(ValueVector{Value(7)}));
    EXPECT_EQ(document["meta"].asValueMap().at("title"), Value("a"));
}

TEST(Plist, RoundTripsEveryTypeNested) {
    const ValueMap map = everyType();
    auto document = plist::write(map);
    ASSERT_TRUE(document);
    EXPECT_EQ(plist::parseMap(*document), map);
    EXPECT_EQ(plist::write(plist::parseMap(*document)), document) << "writing is not deterministic";

    const ValueVector vector{Value(map), Value("second"), Value(3)};
    auto vectorDocument = plist::write(vector);
    ASSERT_TRUE(vectorDocument);
    EXPECT_EQ(plist::parseVector(*vectorDocument), vector);
    EXPECT_EQ(plist::parse(*vectorDocument), Value(vector));

    // Null entries are left out; a Null root writes nothing.
    auto withNulls = plist::write(ValueMap{{"a", Value()}, {"b", Value(ValueVector{Value(), Value(1)})}});
    ASSERT_TRUE(withNulls);
    EXPECT_EQ(plist::parseMap(*withNulls), (ValueMap{{"b", Value(ValueVector{Value(1)})}}));
    EXPECT_FALSE(plist::write(Value()));
}

TEST(Plist, FloatsReadBackAsTheSameFloat) {
    const float floats[] = {0.1f, 1.0f / 3, -2.5e-40f, FLT_MIN, FLT_MAX, 16777217.0f, 3.4028234e38f};
    for (float f : floats) {
        auto document = plist::write(ValueVector{Value(f)});
        ASSERT_TRUE(document);
        ValueVector back = plist::parseVector(*document);
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0].getType(), Value::Type::DOUBLE);
        EXPECT_EQ(back[0].asFloat(), f) << *document;
    }
}

TEST(Plist, TextIsKeptAsXmlCanHoldIt) {
    const std::string replacement = "\xEF\xBF\xBD";
    // NUL and control characters are dropped, invalid UTF-8 is replaced, on
    // writing as on reading, so what is written reads back.
    ValueMap dirty{{std::string("k\0ey\x01", 5), Value(std::string("a\0b\x1f" "c\xff\xed\xa0\x80", 9))}};
    auto document = plist::write(dirty);
    ASSERT_TRUE(document);
    ValueMap clean{{"key", Value("abc" + replacement + replacement + replacement + replacement)}};
    EXPECT_EQ(plist::parseMap(*document), clean);

    std::string raw = "<plist><array><string>x\xc3(&#1;&#x41;&#0;after</string><string>\xf0\x9f\x98</string></array></plist>";
    EXPECT_EQ(plist::parseVector(raw), (ValueVector{Value("x" + replacement + "(A"), Value(replacement + replacement + replacement)}));
}

TEST(Plist, NestingIsLimited) {
    const int limit = plist::kMaxDepth;
    Value deepest = nestedValue(limit);
    auto document = plist::write(deepest);
    ASSERT_TRUE(document);
    EXPECT_EQ(plist::parse(*document), deepest);
    EXPECT_EQ(plist::parse(nestedArrays(limit)), deepest);

    EXPECT_FALSE(plist::write(nestedValue(limit + 1)));
    EXPECT_FALSE(plist::write(ValueMap{{"a", nestedValue(limit)}}));
    EXPECT_TRUE(plist::parse(nestedArrays(limit + 1)).isNull());
}

TEST(Plist, BadDocumentsGiveEmptyResults) {
    const std::string valid = *plist::write(everyType());
    struct Case {
        const char* name;
        std::string document;
    };
    const Case cases[] = {
        {"empty", ""},
        {"blank", "  \n"},
        {"truncated", valid.substr(0, valid.size() / 2)},
        {"truncated at the end", valid.substr(0, valid.size() - 9)},
        {"not XML", "lastid = 3\ndatas = ()"},
        {"binary", std::string("\x00\x01\xff\xfe<\x00", 6)},
        {"raw NUL", std::string("<plist><dict><key>a</key><string>x\0y</string></dict></plist>", 60)},
        {"no value", "<plist version=\"1.0\"/>"},
        {"other XML", "<html><body><dict/></body></html>"},
        {"too deep", nestedArrays(plist::kMaxDepth + 1)},
        {"far too deep", nestedArrays(100000)},
        {"external entity",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [<!ENTITY host SYSTEM \"/etc/hostname\">]>\n"
         "<plist version=\"1.0\"><dict><key>a</key><string>&host;</string></dict></plist>"},
        {"internal entity",
         "<!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;\">]>"
         "<plist><array><string>&b;&b;&b;</string></array></plist>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(plist::parse(c.document).isNull());
        EXPECT_TRUE(plist::parseMap(c.document).empty());
        EXPECT_TRUE(plist::parseVector(c.document).empty());
    }
    // A root of the other kind.
    EXPECT_TRUE(plist::parseVector(valid).empty());
    EXPECT_TRUE(plist::parseMap(*plist::write(ValueVector{Value(1)})).empty());
}

TEST(Plist, KeepsEveryValidEntryAndSkipsBadOnes) {
    const std::string digits400(400, '9');
    const std::string document = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict>
  <key>lastid</key><integer> 3 </integer>
  <key>stringForInt</key><string>7</string>
  <key>unknown</key><set><integer>1</integer></set>
  <key>badInt</key><integer>12abc</integer>
  <key>emptyInt</key><integer/>
  <key>badReal</key><real>1,5</real>
  <key>big</key><integer>99999999999</integer>
  <key>huge</key><integer>-)" + digits400 + R"(</integer>
  <key>date</key><date>2017-03-05T09:07:03Z</date>
  <key>data</key><data>aGk=</data>
  <key>baddata</key><data>a@G=k</data>
  <key>noValue</key>
  <key>after</key><true/>
  <string>no key</string>
  <key>mixed</key><string>a<![CDATA[<b>]]><!-- note -->c</string>
  <key>references</key><string>&amp;&#x41;&undeclared;</string>
  <key>datas</key><array><dict><key>identifer</key><integer>1</integer></dict><integer>x</integer><key>k</key><false/></array>
</dict></plist>)";
    const ValueMap expected{
        {"lastid", Value(3)},
        {"stringForInt", Value("7")},
        {"big", Value(99999999999.0)},
        {"huge", Value(-kInf)},
        {"date", Value("2017-03-05T09:07:03Z")},
        {"data", Value::fromData("hi")},
        {"after", Value(true)},
        {"mixed", Value("a<b>c")},
        {"references", Value("&A&undeclared;")},
        {"datas", Value(ValueVector{Value(ValueMap{{"identifer", Value(1)}}), Value(false)})},
    };
    EXPECT_EQ(plist::parseMap(document), expected);
}
