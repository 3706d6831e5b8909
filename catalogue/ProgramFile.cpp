#include "catalogue/ProgramFile.h"

#include "cards/FieldDocument.h"
#include "engine/core/Plist.h"

using engine::Value;
using engine::ValueMap;

namespace {
const char* const kFormat = "corvina-program";
constexpr int kVersion = 1;
constexpr std::size_t kTitleLimit = 200;  // bytes: a title is a line under a card

// One line of reasonable length: a title from elsewhere could hold line
// breaks that a script reading `corvina-cli list` would take for programs.
std::string fittingTitle(const std::string& title) {
    std::string line;
    for (unsigned char c : title) line += c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c);
    if (line.size() > kTitleLimit) {
        std::size_t cut = kTitleLimit;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
        line.resize(cut);
    }
    return line;
}
} // namespace

std::optional<std::string> writeProgramFile(const ProgramFile& program) {
    ValueMap root;
    root["format"] = Value(kFormat);
    root["version"] = Value(kVersion);
    root["title"] = Value(program.title);
    root["cards"] = Value(program.cards);
    if (!program.thumbnail.empty()) root["thumbnail"] = Value::fromData(program.thumbnail);
    std::optional<std::string> text = engine::plist::write(root);
    if (!text || text->size() > kProgramFileLimit) return std::nullopt;
    return text;
}

std::optional<ProgramFile> readProgramFile(std::string_view bytes, const std::string& plainTitle,
                                           ProgramFileError* error) {
    auto refuse = [error](ProgramFileError why) {
        if (error) *error = why;
        return std::nullopt;
    };
    if (error) *error = ProgramFileError::None;
    if (bytes.size() > kProgramFileLimit) return refuse(ProgramFileError::TooLarge);
    const Value root = engine::plist::parse(bytes);
    ProgramFile program;
    if (root.getType() == Value::Type::VECTOR) {
        program.title = plainTitle;
        program.cards = root.asValueVector();
    } else if (root.getType() == Value::Type::MAP) {
        const ValueMap& map = root.asValueMap();
        auto at = [&map](const char* key) -> const Value& {
            auto it = map.find(key);
            return it == map.end() ? Value::Null : it->second;
        };
        if (at("format") != Value(kFormat) || at("cards").getType() != Value::Type::VECTOR ||
            at("title").getType() != Value::Type::STRING)
            return refuse(ProgramFileError::Unreadable);
        program.title = at("title").asString();
        program.cards = at("cards").asValueVector();
        if (isAcceptableThumbnail(at("thumbnail").asData())) program.thumbnail = at("thumbnail").asData();
    } else {
        return refuse(ProgramFileError::Unreadable);
    }
    // Only what the editor itself would write goes on.
    program.cards = documentToValue(documentFromValue(program.cards));
    program.title = fittingTitle(program.title);
    return program;
}

bool isAcceptableThumbnail(std::string_view png) {
    static constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);
    if (png.size() < 33 || png.substr(0, 8) != kSignature || png.substr(12, 4) != "IHDR") return false;
    auto number = [png](std::size_t at) {
        unsigned value = 0;
        for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(png[at + i]);
        return value;
    };
    const unsigned width = number(16), height = number(20);
    return width > 0 && height > 0 && width <= kThumbnailLimit && height <= kThumbnailLimit;
}

std::string safeFileName(const std::string& title) {
    std::string name;
    for (unsigned char c : title) {
        const bool unsafe = c < 0x20 || c == 0x7F || std::string_view("/\\:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos;
        name += unsafe ? '_' : static_cast<char>(c);
    }
    // Dots and blanks at the ends hide a file or vanish on some desktops.
    while (!name.empty() && (name.front() == '.' || name.front() == ' ')) name.erase(name.begin());
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    if (name.size() > 200) {
        // Cut on a character's start, not inside one.
        std::size_t cut = 200;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return name.empty() ? "program" : name;
}
