// Pixels of one image row. Rows of 1, 2 and 4 bits per pixel pack several
// palette indices into a byte, the leftmost pixel in the most significant
// bits; 8-bit rows hold one index per byte; 24-bit rows hold blue, green,
// red, read and written here as 0xRRGGBB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace pixmill {

namespace packed_detail {

template <int Bits> struct Layout {
    static_assert(Bits == 1 || Bits == 2 || Bits == 4, "packed depths only");
    static constexpr int kPerByteLog = Bits == 1 ? 3 : Bits == 2 ? 2 : 1;
    static constexpr uint32_t kMask = (1u << Bits) - 1;
    static constexpr int Byte(int x) { return x >> kPerByteLog; }
    // Bits to shift right to bring pixel x of its byte to the bottom.
    static constexpr int Shift(int x) { return (8 - Bits) - Bits * (x & ((1 << kPerByteLog) - 1)); }
};

} // namespace packed_detail

template <int Bits> inline uint32_t GetPixel(const uint8_t* row, int x) {
    if constexpr (Bits == 24) {
        const uint8_t* p = row + 3 * static_cast<size_t>(x);
        return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
               static_cast<uint32_t>(p[2]) << 16;
    } else if constexpr (Bits == 8) {
        return row[x];
    } else {
        using L = packed_detail::Layout<Bits>;
        return (static_cast<uint32_t>(row[L::Byte(x)]) >> L::Shift(x)) & L::kMask;
    }
}

// Stores a pixel into a row whose pixel x is still 0 (a cleared row): the
// value, which must fit the depth, is ORed into place.
template <int Bits> inline void OrPixel(uint8_t* row, int x, uint32_t value) {
    if constexpr (Bits == 24) {
        uint8_t* p = row + 3 * static_cast<size_t>(x);
        p[0] = static_cast<uint8_t>(value);
        p[1] = static_cast<uint8_t>(value >> 8);
        p[2] = static_cast<uint8_t>(value >> 16);
    } else if constexpr (Bits == 8) {
        row[x] = static_cast<uint8_t>(value);
    } else {
        using L = packed_detail::Layout<Bits>;
        row[L::Byte(x)] = static_cast<uint8_t>(row[L::Byte(x)] | value << L::Shift(x));
    }
}

// Stores a pixel, replacing what it held; the other pixels keep their bits.
template <int Bits> inline void SetPixel(uint8_t* row, int x, uint32_t value) {
    if constexpr (Bits == 24 || Bits == 8) {
        OrPixel<Bits>(row, x, value);
    } else {
        using L = packed_detail::Layout<Bits>;
        uint8_t& byte = row[L::Byte(x)];
        byte = static_cast<uint8_t>((byte & ~(L::kMask << L::Shift(x))) | (value & L::kMask)
                                                                              << L::Shift(x));
    }
}

// Runs f(std::integral_constant<int, Bits>) for a paletted depth known only
// at run time: 1 or 4 bits, anything else whole bytes. Around a loop over
// a row, so that the loop is compiled once per depth.
template <class F> inline auto ForIndexDepth(int bits, F&& f) {
    switch (bits) {
    case 1:
        return f(std::integral_constant<int, 1>{});
    case 4:
        return f(std::integral_constant<int, 4>{});
    default:
        return f(std::integral_constant<int, 8>{});
    }
}

// Single palette indices in rows whose depth is known only at run time.
inline int GetIndex(const uint8_t* row, int x, int bits) {
    return ForIndexDepth(bits, [&](auto depth) {
        return static_cast<int>(GetPixel<decltype(depth)::value>(row, x));
    });
}

inline void OrIndex(uint8_t* row, int x, int bits, int index) {
    ForIndexDepth(bits, [&](auto depth) {
        OrPixel<decltype(depth)::value>(row, x, static_cast<uint32_t>(index));
    });
}

inline void SetIndex(uint8_t* row, int x, int bits, int index) {
    ForIndexDepth(bits, [&](auto depth) {
        SetPixel<decltype(depth)::value>(row, x, static_cast<uint32_t>(index));
    });
}

// Runs body(std::integral_constant<int, Bits>) for the image depths 1, 4
// and 8, and for 24 otherwise: a pixel loop compiled once per depth.
template <class F> void ForDepth(int bitCount, F&& body) {
    switch (bitCount) {
    case 1:
        body(std::integral_constant<int, 1>{});
        break;
    case 4:
        body(std::integral_constant<int, 4>{});
        break;
    case 8:
        body(std::integral_constant<int, 8>{});
        break;
    default:
        body(std::integral_constant<int, 24>{});
        break;
    }
}

} // namespace pixmill
