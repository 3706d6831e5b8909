#pragma once
// The one look of every picture: the accent blue of the editor, a dark ink
// for outlines, and one colour per card category.
#include <string>

namespace picgen::style {

inline const std::string kInk = "#2D3B45";         // outlines and dark marks
inline const std::string kWhite = "#FFFFFF";
inline const std::string kAccent = "#69D0EE";      // (105, 208, 238), the editor's accent
inline const std::string kAccentDeep = "#2A9FCB";  // accent shapes that carry white marks
inline const std::string kAccentPale = "#E5F7FC";
inline const std::string kShadow = "#1B4F63";      // drop shadows, drawn half transparent
inline const std::string kGo = "#3CBF5C";
inline const std::string kHalt = "#F0524F";
inline const std::string kGlow = "#FFD21F";        // a lamp that is lit
inline const std::string kUnlit = "#C6CDD3";       // a lamp that is not
inline const std::string kScreen = "#111418";      // the board's screen

inline constexpr float kOutline = 3.0f;   // pictogram outline width, points
inline constexpr float kCardBorder = 4.0f;
inline constexpr float kCardRadius = 14.0f;

// Card categories: the frame colour, a pale fill behind the picture, and a
// deep tone for shapes that carry white digits.
struct Category {
    std::string name;
    std::string colour;
    std::string pale;
    std::string deep;
};

inline const Category kLight{"light", "#F5B700", "#FFF7D9", "#D99A00"};
inline const Category kTime{"time", "#2E9CEB", "#E2F1FD", "#1D7CC4"};
inline const Category kRepeat{"repeat", "#34B04A", "#E3F5E5", "#238A37"};
inline const Category kCar{"car", "#FF8A1E", "#FFEEDC", "#E0690A"};
inline const Category kArm{"arm", "#9A5AD6", "#F1E7FA", "#7B3FB8"};
inline const Category kSound{"sound", "#EE5C9C", "#FDE6F0", "#CC3C7C"};
inline const Category kPins{"pins", "#13A597", "#DCF3F0", "#0C8074"};

} // namespace picgen::style
