#include "engine/platform/FontResolver.h"

#include <fontconfig/fontconfig.h>

#include <map>
#include <mutex>

namespace engine {

std::u32string utf8ToCodePoints(const std::string& text) {
    std::u32string out;
    out.reserve(text.size());
    size_t i = 0, n = text.size();
    while (i < n) {
        auto c = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t cp = c;
        if (c >= 0x80) {
            if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
            else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
            else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
            else extra = -1;
        }
        bool ok = extra >= 0 && i + extra < n;
        for (int k = 1; ok && k <= extra; ++k) {
            auto d = static_cast<unsigned char>(text[i + k]);
            ok = (d & 0xC0) == 0x80;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += extra + 1;
    }
    return out;
}

namespace {

// Caches for the process's life (never destroyed, so nothing is torn down
// while another thread might still ask).
std::mutex& s_mutex = *new std::mutex();
auto& s_matches = *new std::map<std::string, FontFace>();       // "family\nlang" -> face
auto& s_charsets = *new std::map<std::string, FcCharSet*>();    // "path#index" -> coverage (owned)

bool ensureFontconfig() {
    static bool ok = FcInit() == FcTrue;
    return ok;
}

std::string faceKey(const FontFace& face) { return face.path + "#" + std::to_string(face.index); }

FontFace faceOf(FcPattern* font) {
    FontFace face;
    FcChar8* file = nullptr;
    int index = 0;
    if (font && FcPatternGetString(font, FC_FILE, 0, &file) == FcResultMatch && file) {
        face.path = reinterpret_cast<const char*>(file);
        if (FcPatternGetInteger(font, FC_INDEX, 0, &index) == FcResultMatch) face.index = index;
    }
    return face;
}

// Keeps the coverage of a matched font so covers() need not read the file.
void rememberCharset(const FontFace& face, FcPattern* font) {
    FcCharSet* charset = nullptr;
    if (!face.valid() || s_charsets.count(faceKey(face))) return;
    if (FcPatternGetCharSet(font, FC_CHARSET, 0, &charset) == FcResultMatch && charset)
        s_charsets[faceKey(face)] = FcCharSetCopy(charset);
}

bool needsGlyph(char32_t c) { return c >= 0x20 && c != 0x7F && c != 0xFEFF; }

// Caller holds s_mutex.
FontFace matchLocked(const std::string& family, const std::string& lang, FcCharSet* mustCover) {
    FcPattern* pattern = FcPatternCreate();
    if (!family.empty())
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    if (!lang.empty()) {
        FcLangSet* langs = FcLangSetCreate();
        FcLangSetAdd(langs, reinterpret_cast<const FcChar8*>(lang.c_str()));
        FcPatternAddLangSet(pattern, FC_LANG, langs);
        FcLangSetDestroy(langs);
    }
    if (mustCover) FcPatternAddCharSet(pattern, FC_CHARSET, mustCover);
    // SDL_ttf needs an outline font it can scale to any size.
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* font = FcFontMatch(nullptr, pattern, &result);
    FontFace face;
    if (font) {
        face = faceOf(font);
        rememberCharset(face, font);
        FcPatternDestroy(font);
    }
    FcPatternDestroy(pattern);
    return face;
}

FontFace cachedMatchLocked(const std::string& family, const std::string& lang) {
    std::string key = family + "\n" + lang;
    auto it = s_matches.find(key);
    if (it != s_matches.end()) return it->second;
    FontFace face = matchLocked(family, lang, nullptr);
    s_matches[key] = face;
    return face;
}

// Caller holds s_mutex.
const FcCharSet* charsetLocked(const FontFace& face) {
    std::string key = faceKey(face);
    auto it = s_charsets.find(key);
    if (it != s_charsets.end()) return it->second;
    // A font given by file (not matched): ask fontconfig to read it.
    FcCharSet* copy = nullptr;
    int count = 0;
    if (FcPattern* query = FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(face.path.c_str()),
                                           static_cast<unsigned>(face.index), nullptr, &count)) {
        FcCharSet* charset = nullptr;
        if (FcPatternGetCharSet(query, FC_CHARSET, 0, &charset) == FcResultMatch && charset)
            copy = FcCharSetCopy(charset);
        FcPatternDestroy(query);
    }
    s_charsets[key] = copy;
    return copy;
}

bool coversLocked(const FontFace& face, const std::u32string& text) {
    if (!face.valid()) return false;
    const FcCharSet* charset = charsetLocked(face);
    if (!charset) return false;
    for (char32_t c : text)
        if (needsGlyph(c) && !FcCharSetHasChar(charset, c)) return false;
    return true;
}

// Kana, kanji and Japanese punctuation: a font with these writes Japanese.
const std::u32string kJapaneseSample = U"\u3042\u30A2\u6F22\u5B57\u30FC\u3001\u3002";

// A font for Japanese that stays as close to `family` as the machine
// allows. Some configurations bind a family so strongly (Helvetica to a
// Latin font) that asking for the language is not enough; then any
// Japanese sans-serif font does. Caller holds s_mutex.
FontFace japaneseFaceLocked(const std::string& family) {
    FontFace face = cachedMatchLocked(family, "ja");
    if (coversLocked(face, kJapaneseSample)) return face;
    std::string key = family + "\nja!";
    auto it = s_matches.find(key);
    if (it != s_matches.end()) return it->second;
    face = cachedMatchLocked("sans-serif", "ja");
    if (!coversLocked(face, kJapaneseSample)) {
        FcCharSet* wanted = FcCharSetCreate();
        for (char32_t c : kJapaneseSample) FcCharSetAddChar(wanted, c);
        face = matchLocked("", "ja", wanted);
        FcCharSetDestroy(wanted);
    }
    s_matches[key] = face;
    return face;
}

} // namespace

FontFace FontResolver::match(const std::string& family, const std::string& lang) {
    if (!ensureFontconfig()) return {};
    std::lock_guard<std::mutex> lock(s_mutex);
    return cachedMatchLocked(family, lang);
}

FontFace FontResolver::matchForText(const std::string& family, const std::string& text, bool preferJapanese) {
    if (!ensureFontconfig()) return {};
    std::u32string codePoints = utf8ToCodePoints(text);
    std::lock_guard<std::mutex> lock(s_mutex);
    if (!preferJapanese) {
        FontFace own = cachedMatchLocked(family, "");
        if (coversLocked(own, codePoints)) return own;
    }
    FontFace japanese = japaneseFaceLocked(family);
    if (coversLocked(japanese, codePoints)) return japanese;
    // Rare characters: let fontconfig weigh coverage of this very text.
    FcCharSet* wanted = FcCharSetCreate();
    for (char32_t c : codePoints)
        if (needsGlyph(c)) FcCharSetAddChar(wanted, c);
    FontFace any = matchLocked(family, "ja", wanted);
    FcCharSetDestroy(wanted);
    return any.valid() ? any : japanese;
}

bool FontResolver::covers(const FontFace& face, const std::string& text) {
    if (!ensureFontconfig()) return false;
    std::u32string codePoints = utf8ToCodePoints(text);
    std::lock_guard<std::mutex> lock(s_mutex);
    return coversLocked(face, codePoints);
}

} // namespace engine
