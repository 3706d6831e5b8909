#include "engine/core/Plist.h"

#include "engine/core/Base64.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include <pugixml.hpp>

namespace engine::plist {

namespace {

// No comments, no processing instructions; the DOCTYPE is kept only to be
// inspected. Whitespace is kept so that a string of blanks reads back.
constexpr unsigned kParseOptions =
    pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol | pugi::parse_ws_pcdata | pugi::parse_doctype;

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed UTF-8 sequence at text[i] (overlong forms and
// surrogates are not), 0 when there is none.
std::size_t decodeUtf8(std::string_view text, std::size_t i, char32_t& cp) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - i < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        unsigned char b = byte(i + k);
        if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    return length;
}

bool isXmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           c >= 0x10000;
}

bool onlyBlanksFrom(std::string_view text, std::size_t i) {
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
}

// ---- reading ----

std::string textOf(pugi::xml_node node) {
    std::string text;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) text += child.value();
    return sanitizeText(text);
}

bool readInteger(const std::string& text, Value& out) {
    long long n = 0;
    std::size_t used = detail::readInteger(text, n);
    if (used == 0 || !onlyBlanksFrom(text, used)) return false;
    if (n >= INT_MIN && n <= INT_MAX) {
        out = Value(static_cast<int>(n));
    } else {
        // Too large for an int: keep the magnitude rather than wrap.
        double d = 0;
        detail::readDouble(text, d);
        out = Value(d);
    }
    return true;
}

bool readReal(const std::string& text, Value& out) {
    double d = 0;
    std::size_t used = detail::readDouble(text, d);
    if (used == 0 || !onlyBlanksFrom(text, used)) return false;
    out = Value(d);
    return true;
}

class Reader {
public:
    // False when the node is no value, so its entry is skipped. Nesting
    // beyond kMaxDepth sets tooDeep and stops; depth only grows by one per
    // call, so the recursion stays bounded however deep the XML is.
    bool read(pugi::xml_node node, int depth, Value& out) {
        std::string_view name = node.name();
        if (name == "dict" || name == "array") {
            if (depth >= kMaxDepth) {
                tooDeep = true;
                return false;
            }
            return name == "dict" ? readDict(node, depth, out) : readArray(node, depth, out);
        }
        if (name == "string" || name == "date") {
            out = Value(textOf(node));
            return true;
        }
        if (name == "data") {
            std::optional<std::string> bytes = base64::decode(node.text().get());
            if (!bytes) return false;
            out = Value::fromData(std::move(*bytes));
            return true;
        }
        if (name == "integer") return readInteger(textOf(node), out);
        if (name == "real") return readReal(textOf(node), out);
        if (name == "true" || name == "false") {
            out = Value(name == "true");
            return true;
        }
        return false;
    }

    bool tooDeep = false;

private:
    bool readDict(pugi::xml_node node, int depth, Value& out) {
        ValueMap map;
        std::optional<std::string> key;
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_element) continue;
            if (std::string_view(child.name()) == "key") {
                key = textOf(child);
                continue;
            }
            // Whatever follows a key is its value, so a bad one drops only
            // that entry; a value without a key is skipped.
            if (!key) continue;
            Value value;
            if (read(child, depth + 1, value)) map.insert_or_assign(std::move(*key), std::move(value));
            if (tooDeep) return false;
            key.reset();
        }
        out = Value(std::move(map));
        return true;
    }

    bool readArray(pugi::xml_node node, int depth, Value& out) {
        ValueVector vector;
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_element) continue;
            Value value;
            if (read(child, depth + 1, value)) vector.push_back(std::move(value));
            if (tooDeep) return false;
        }
        out = Value(std::move(vector));
        return true;
    }
};

pugi::xml_node firstElement(pugi::xml_node node) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element) return child;
    return {};
}

// ---- writing ----

std::string formatReal(double d) {
    if (std::isnan(d)) return "nan";
    if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, d);
    return std::string(buffer, result.ptr);
}

// A float is read back as a double and rounded to float again: the short
// form serves when that rounding gives the same float.
std::string formatReal(float f) {
    if (!std::isfinite(f)) return formatReal(static_cast<double>(f));
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, f);
    std::string text(buffer, result.ptr);
    double back = 0;
    detail::readDouble(text, back);
    return static_cast<float>(back) == f ? text : formatReal(static_cast<double>(f));
}

class Writer {
public:
    std::string out;

    // False when the value nests deeper than kMaxDepth.
    bool write(const Value& value, int depth) {
        switch (value.getType()) {
        case Value::Type::NONE: return true;
        case Value::Type::BOOLEAN: line(depth, value.asBool() ? "<true/>" : "<false/>"); return true;
        case Value::Type::INTEGER: element(depth, "integer", std::to_string(value.asInt())); return true;
        case Value::Type::FLOAT: element(depth, "real", formatReal(value.asFloat())); return true;
        case Value::Type::DOUBLE: element(depth, "real", formatReal(value.asDouble())); return true;
        case Value::Type::STRING: element(depth, "string", escape(value.asString())); return true;
        case Value::Type::DATA: element(depth, "data", base64::encode(value.asData())); return true;
        case Value::Type::VECTOR: return writeArray(value.asValueVector(), depth);
        case Value::Type::MAP: return writeDict(value.asValueMap(), depth);
        }
        return true;
    }

    bool writeDict(const ValueMap& map, int depth) {
        if (depth >= kMaxDepth) return false;
        std::vector<const ValueMap::value_type*> entries;
        for (const auto& entry : map)
            if (!entry.second.isNull()) entries.push_back(&entry);
        if (entries.empty()) {
            line(depth, "<dict/>");
            return true;
        }
        std::sort(entries.begin(), entries.end(), [](auto a, auto b) { return a->first < b->first; });
        line(depth, "<dict>");
        for (const auto* entry : entries) {
            element(depth + 1, "key", escape(entry->first));
            if (!write(entry->second, depth + 1)) return false;
        }
        line(depth, "</dict>");
        return true;
    }

    bool writeArray(const ValueVector& vector, int depth) {
        if (depth >= kMaxDepth) return false;
        bool empty = std::all_of(vector.begin(), vector.end(), [](const Value& v) { return v.isNull(); });
        if (empty) {
            line(depth, "<array/>");
            return true;
        }
        line(depth, "<array>");
        for (const Value& value : vector)
            if (!write(value, depth + 1)) return false;
        line(depth, "</array>");
        return true;
    }

private:
    void line(int depth, std::string_view text) {
        out.append(static_cast<std::size_t>(depth), '\t');
        out += text;
        out += '\n';
    }

    void element(int depth, std::string_view name, std::string_view text) {
        out.append(static_cast<std::size_t>(depth), '\t');
        out += '<';
        out += name;
        out += '>';
        out += text;
        out += "</";
        out += name;
        out += ">\n";
    }

    // A carriage return is written as a reference, since readers turn a
    // literal one into a line feed.
    static std::string escape(std::string_view raw) {
        std::string text = sanitizeText(raw);
        std::string escaped;
        escaped.reserve(text.size());
        for (char c : text) {
            switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '\r': escaped += "&#13;"; break;
            default: escaped += c;
            }
        }
        return escaped;
    }
};

template <typename Root>
std::optional<std::string> writeDocument(const Root& root) {
    Writer writer;
    writer.out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n";
    bool written;
    if constexpr (std::is_same_v<Root, ValueMap>) written = writer.writeDict(root, 0);
    else if constexpr (std::is_same_v<Root, ValueVector>) written = writer.writeArray(root, 0);
    else written = !root.isNull() && writer.write(root, 0);
    if (!written) return std::nullopt;
    writer.out += "</plist>\n";
    return std::move(writer.out);
}

} // namespace

std::string sanitizeText(std::string_view text) {
    std::string clean;
    clean.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        std::size_t length = decodeUtf8(text, i, cp);
        if (length == 0) {
            clean += kReplacement;
            ++i;
            continue;
        }
        if (isXmlChar(cp)) clean.append(text, i, length);
        i += length;
    }
    return clean;
}

Value parse(std::string_view document) {
    if (document.empty()) return {};
    pugi::xml_document xml;
    if (!xml.load_buffer(document.data(), document.size(), kParseOptions, pugi::encoding_auto)) return {};
    pugi::xml_node root;
    for (pugi::xml_node node = xml.first_child(); node; node = node.next_sibling()) {
        // An internal subset is where entities would be declared; a property
        // list never has one.
        if (node.type() == pugi::node_doctype && std::strchr(node.value(), '[')) return {};
        if (node.type() == pugi::node_element && !root) root = node;
    }
    if (root && std::string_view(root.name()) == "plist") root = firstElement(root);
    Value value;
    Reader reader;
    if (!root || !reader.read(root, 0, value)) return {};
    return value;
}

ValueMap parseMap(std::string_view document) {
    Value root = parse(document);
    return root.getType() == Value::Type::MAP ? std::move(root.asValueMap()) : ValueMap();
}

ValueVector parseVector(std::string_view document) {
    Value root = parse(document);
    return root.getType() == Value::Type::VECTOR ? std::move(root.asValueVector()) : ValueVector();
}

std::optional<std::string> write(const Value& root) { return writeDocument(root); }
std::optional<std::string> write(const ValueMap& root) { return writeDocument(root); }
std::optional<std::string> write(const ValueVector& root) { return writeDocument(root); }

} // namespace engine::plist
