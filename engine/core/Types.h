#pragma once
// Plain value types of the engine: points, sizes, rectangles and colours.
#include <cmath>
#include <cstdint>

namespace engine {

struct Vec2 {
    float x = 0, y = 0;
    constexpr Vec2() = default;
    constexpr Vec2(float x_, float y_) : x(x_), y(y_) {}
    static const Vec2 ZERO;
    static const Vec2 ANCHOR_MIDDLE;
    Vec2 operator+(const Vec2& o) const { return {x + o.x, y + o.y}; }
    Vec2 operator-(const Vec2& o) const { return {x - o.x, y - o.y}; }
    Vec2 operator*(float s) const { return {x * s, y * s}; }
    Vec2 operator/(float s) const { return {x / s, y / s}; }
    Vec2& operator+=(const Vec2& o) { x += o.x; y += o.y; return *this; }
    Vec2& operator-=(const Vec2& o) { x -= o.x; y -= o.y; return *this; }
    bool operator==(const Vec2& o) const { return x == o.x && y == o.y; }
    bool operator!=(const Vec2& o) const { return !(*this == o); }
    float length() const { return std::sqrt(x * x + y * y); }
    float distance(const Vec2& o) const { return (*this - o).length(); }
    bool equals(const Vec2& o) const { return std::fabs(x - o.x) < 1e-4f && std::fabs(y - o.y) < 1e-4f; }
};
inline constexpr Vec2 Vec2::ZERO{0, 0};
inline constexpr Vec2 Vec2::ANCHOR_MIDDLE{0.5f, 0.5f};

struct Vec3 {
    float x = 0, y = 0, z = 0;
    constexpr Vec3() = default;
    constexpr Vec3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
    bool operator==(const Vec3& o) const { return x == o.x && y == o.y && z == o.z; }
};

struct Size {
    float width = 0, height = 0;
    constexpr Size() = default;
    constexpr Size(float w, float h) : width(w), height(h) {}
    static const Size ZERO;
    bool operator==(const Size& o) const { return width == o.width && height == o.height; }
    bool operator!=(const Size& o) const { return !(*this == o); }
    Size operator*(float s) const { return {width * s, height * s}; }
};
inline constexpr Size Size::ZERO{0, 0};

struct Rect {
    Vec2 origin;
    Size size;
    constexpr Rect() = default;
    constexpr Rect(float x, float y, float w, float h) : origin(x, y), size(w, h) {}
    constexpr Rect(Vec2 o, Size s) : origin(o), size(s) {}
    static const Rect ZERO;
    float getMinX() const { return origin.x; }
    float getMaxX() const { return origin.x + size.width; }
    float getMidX() const { return origin.x + size.width * 0.5f; }
    float getMinY() const { return origin.y; }
    float getMaxY() const { return origin.y + size.height; }
    float getMidY() const { return origin.y + size.height * 0.5f; }
    bool containsPoint(const Vec2& p) const {
        return p.x >= getMinX() && p.x <= getMaxX() && p.y >= getMinY() && p.y <= getMaxY();
    }
    bool intersectsRect(const Rect& r) const {
        return !(getMaxX() < r.getMinX() || r.getMaxX() < getMinX() || getMaxY() < r.getMinY() ||
                 r.getMaxY() < getMinY());
    }
    bool operator==(const Rect& o) const { return origin == o.origin && size == o.size; }
};
inline constexpr Rect Rect::ZERO{0, 0, 0, 0};

struct Color3B {
    uint8_t r = 255, g = 255, b = 255;
    constexpr Color3B() = default;
    constexpr Color3B(uint8_t r_, uint8_t g_, uint8_t b_) : r(r_), g(g_), b(b_) {}
    static const Color3B WHITE, BLACK, RED, GREEN, BLUE;
    bool operator==(const Color3B& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Color3B& o) const { return !(*this == o); }
};
inline constexpr Color3B Color3B::WHITE{255, 255, 255};
inline constexpr Color3B Color3B::BLACK{0, 0, 0};
inline constexpr Color3B Color3B::RED{255, 0, 0};
inline constexpr Color3B Color3B::GREEN{0, 255, 0};
inline constexpr Color3B Color3B::BLUE{0, 0, 255};

struct Color4B {
    uint8_t r = 0, g = 0, b = 0, a = 0;
    constexpr Color4B() = default;
    constexpr Color4B(uint8_t r_, uint8_t g_, uint8_t b_, uint8_t a_) : r(r_), g(g_), b(b_), a(a_) {}
    constexpr Color4B(Color3B c, uint8_t a_) : r(c.r), g(c.g), b(c.b), a(a_) {}
    static const Color4B WHITE, BLACK;
    bool operator==(const Color4B& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};
inline constexpr Color4B Color4B::WHITE{255, 255, 255, 255};
inline constexpr Color4B Color4B::BLACK{0, 0, 0, 255};

struct Color4F {
    float r = 0, g = 0, b = 0, a = 0;
    constexpr Color4F() = default;
    constexpr Color4F(float r_, float g_, float b_, float a_) : r(r_), g(g_), b(b_), a(a_) {}
};

} // namespace engine
