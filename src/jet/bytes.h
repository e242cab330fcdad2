// Little-endian field access on page buffers. Callers check bounds first; these helpers
// only assemble bytes.
#pragma once

#include <compare>
#include <cstdint>
#include <cstring>

namespace jet {

inline uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint32_t le24(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16);
}
inline uint64_t le64(const uint8_t* p) {
    return static_cast<uint64_t>(le32(p)) | (static_cast<uint64_t>(le32(p + 4)) << 32);
}
inline double leDouble(const uint8_t* p) {
    uint64_t bits = le64(p);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}
inline float leFloat(const uint8_t* p) {
    uint32_t bits = le32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

inline void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void put64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void putDouble(uint8_t* p, double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    put64(p, bits);
}
inline void putFloat(uint8_t* p, float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    put32(p, bits);
}

// A row pointer: (page << 8) | row, as stored in TDEFs, memo headers and overflow rows.
struct RowPointer {
    uint32_t page = 0;
    uint8_t row = 0;

    static RowPointer decode(uint32_t raw) {
        return RowPointer{raw >> 8, static_cast<uint8_t>(raw & 0xFF)};
    }
    uint32_t encode() const { return (page << 8) | row; }
    bool isNull() const { return page == 0 && row == 0; }
    bool operator==(const RowPointer&) const = default;
    auto operator<=>(const RowPointer&) const = default;
};

}  // namespace jet
