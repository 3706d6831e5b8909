#pragma once
// Family names such as "Helvetica" or "HiraKakuProN-W6" to installed font
// files, through fontconfig. SDL_ttf draws each string with one font and
// never falls back to another, so a label must get a font that has every
// character it shows: Japanese text is matched with the Japanese language.
#include <string>

namespace engine {

struct FontFace {
    std::string path;  // empty when nothing matched
    int index = 0;     // face within a collection file
    bool valid() const { return !path.empty(); }
    bool operator==(const FontFace& o) const { return path == o.path && index == o.index; }
};

class FontResolver {
public:
    // The font fontconfig picks for `family`; a non-empty `lang` ("ja")
    // asks for one that covers that language. Answers are remembered.
    static FontFace match(const std::string& family, const std::string& lang = {});

    // The font to draw `text` in: the family's own match when it has every
    // character and Japanese is not preferred; else a Japanese font (the
    // family's match for Japanese when it really has kana and kanji, else
    // the machine's Japanese sans-serif); else any installed font that has
    // every character.
    static FontFace matchForText(const std::string& family, const std::string& text, bool preferJapanese);

    // True when the face has every character of the UTF-8 `text`
    // (line breaks and other control characters need no glyph).
    static bool covers(const FontFace& face, const std::string& text);
};

// Code points of UTF-8 text; a malformed byte becomes U+FFFD.
std::u32string utf8ToCodePoints(const std::string& text);

} // namespace engine
