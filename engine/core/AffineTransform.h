#pragma once
// 2D affine transform: x' = a*x + c*y + tx, y' = b*x + d*y + ty.
#include <cmath>
#include <limits>

#include "engine/core/Types.h"

namespace engine {

struct AffineTransform {
    float a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static AffineTransform identity() { return {}; }
    static AffineTransform translation(float x, float y) { return {1, 0, 0, 1, x, y}; }
    static AffineTransform scale(float sx, float sy) { return {sx, 0, 0, sy, 0, 0}; }

    Vec2 apply(const Vec2& p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    Vec2 applyVector(const Vec2& v) const { return {a * v.x + c * v.y, b * v.x + d * v.y}; }

    // this * o: o is applied first.
    AffineTransform operator*(const AffineTransform& o) const {
        return {a * o.a + c * o.b,       b * o.a + d * o.b,       a * o.c + c * o.d,
                b * o.c + d * o.d,       a * o.tx + c * o.ty + tx, b * o.tx + d * o.ty + ty};
    }

    float determinant() const { return a * d - b * c; }

    // An edge-on node (turned 90 degrees) has no inverse; every point then
    // maps to NaN, which no hit test contains.
    AffineTransform inverted() const {
        float det = determinant();
        if (std::fabs(det) < 1e-9f) {
            float n = std::numeric_limits<float>::quiet_NaN();
            return {n, n, n, n, n, n};
        }
        float id = 1.0f / det;
        return {d * id, -b * id, -c * id, a * id, (c * ty - d * tx) * id, (b * tx - a * ty) * id};
    }

    // True when the transform keeps rectangles axis-aligned (scale and
    // mirroring only), so pictures can take the plain copy path.
    bool isAxisAligned() const { return std::fabs(b) < 1e-6f && std::fabs(c) < 1e-6f; }

    Rect applyToRect(const Rect& r) const {
        Vec2 p[4] = {apply({r.getMinX(), r.getMinY()}), apply({r.getMaxX(), r.getMinY()}),
                     apply({r.getMinX(), r.getMaxY()}), apply({r.getMaxX(), r.getMaxY()})};
        float minX = p[0].x, maxX = p[0].x, minY = p[0].y, maxY = p[0].y;
        for (const Vec2& q : p) {
            minX = std::fmin(minX, q.x); maxX = std::fmax(maxX, q.x);
            minY = std::fmin(minY, q.y); maxY = std::fmax(maxY, q.y);
        }
        return {minX, minY, maxX - minX, maxY - minY};
    }
};

} // namespace engine
