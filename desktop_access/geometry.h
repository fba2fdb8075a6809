// Points and rectangles in list-view client coordinates: 32-bit signed pixels, laid out like
// the platform's POINT and RECT so the Windows layer can pass them through unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

namespace desktop_access {

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// 32-bit signed arithmetic that wraps instead of overflowing (the result modulo 2^32, as the
// platform's own 32-bit coordinates would): hostile or absurd list-view values must not be
// undefined behaviour.
inline std::int32_t wrap32(std::int64_t value) {
    return static_cast<std::int32_t>(value);
}
inline std::int32_t add32(std::int32_t a, std::int32_t b) {
    return wrap32(std::int64_t{a} + b);
}
inline std::int32_t sub32(std::int32_t a, std::int32_t b) {
    return wrap32(std::int64_t{a} - b);
}
inline std::int32_t mul32(std::int32_t a, std::int32_t b) {
    return wrap32(std::int64_t{a} * b);
}

// Whether the work areas together cover the whole rectangle (an empty rectangle is covered; a
// rectangle is never covered by no areas at all). Coordinates are taken as they are, 64-bit.
struct Box64 {
    std::int64_t left, top, right, bottom;
};
bool coveredBy(const Box64& box, const Rect* areas, std::size_t count);

// A double truncated toward zero into 32 bits; values outside the range are clamped and NaN
// gives 0, where a plain cast would be undefined.
std::int32_t truncToInt32(double value);

} // namespace desktop_access
