#include "jet/value_encoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "jet/bytes.h"
#include "jet/text.h"

namespace jet {
namespace {

constexpr size_t kMaxCompressedChars = 1024;
// A long value's length field has 30 bits.
constexpr size_t kMaxLongValueBytes = (size_t{1} << 30) - 1;

Status refuse(const ColumnDef& col, const std::string& why) {
    return Status::invalidArgument("column \"" + col.name + "\": " + why);
}

Status wrongType(const ColumnDef& col, const Value& v) {
    return refuse(
        col, "a " + typeName(col.type) + " column cannot take a " + valueTypeName(v) + " value");
}

Status present(EncodedValue& out, uint64_t v, size_t n) {
    out.present = true;
    out.long_value = false;
    out.bytes.resize(n);
    for (size_t i = 0; i < n; ++i)
        out.bytes[i] = static_cast<uint8_t>(v >> (8 * i));
    return Status::ok();
}

// 10^p as a 128-bit value in two 64-bit halves (p <= 38).
void powerOfTen(int p, uint64_t& hi, uint64_t& lo) {
    hi = 0;
    lo = 1;
    for (int i = 0; i < p; ++i) {
        const unsigned __int128 x = ((static_cast<unsigned __int128>(hi) << 64) | lo) * 10;
        hi = static_cast<uint64_t>(x >> 64);
        lo = static_cast<uint64_t>(x);
    }
}

Status encodeNumeric(const ColumnDef& col, const Value& value, EncodedValue& out) {
    const auto* d = std::get_if<Decimal>(&value);
    if (!d)
        return wrongType(col, value);
    if (d->scale != col.scale) {
        return refuse(col, "the value has " + std::to_string(d->scale) +
                               " decimals but the column stores " + std::to_string(col.scale));
    }
    const uint64_t hi = (uint64_t{d->words[0]} << 32) | d->words[1];
    const uint64_t lo = (uint64_t{d->words[2]} << 32) | d->words[3];
    uint64_t lim_hi, lim_lo;
    powerOfTen(std::min<int>(col.precision, 38), lim_hi, lim_lo);
    if (hi > lim_hi || (hi == lim_hi && lo >= lim_lo)) {
        return refuse(col, "the value has more than " + std::to_string(col.precision) + " digits");
    }
    out.present = true;
    out.long_value = false;
    out.bytes.resize(17);
    out.bytes[0] = d->negative ? 0x80 : 0x00;
    for (int w = 0; w < 4; ++w)
        put32(out.bytes.data() + 1 + 4 * w, d->words[w]);
    return Status::ok();
}

// A TEXT or MEMO value given as stored (see encodeValue): checked as its text would be,
// carried as it is when the encoder would write those very bytes.
Status encodeStoredText(const ColumnDef& col, const Bytes& stored, EncodedValue& out,
                        size_t* chars) {
    const bool compression = col.ext_flags & ColumnDef::kExtCompressedUnicode;
    size_t n = 0;
    if (isEncodedJet4Text(stored.data(), stored.size(), compression, n)) {
        out.borrowed = true;
        out.borrowed_data = stored.data();
        out.borrowed_size = stored.size();
    } else {
        const std::u16string text = decodeJet4Text(stored.data(), stored.size());
        n = text.size();
        encodeJet4TextInto(text, compression, out.bytes);
    }
    if (chars)
        *chars = n;
    out.present = true;
    out.long_value = col.type == ColumnType::kMemo;
    if (col.type == ColumnType::kText) {
        if (col.isFixed()) {
            return Status::notSupported("column \"" + col.name +
                                        "\" is a fixed-length Text column, which this "
                                        "engine does not write");
        }
        if (n > col.length / 2u) {
            return refuse(col, "the text has " + std::to_string(n) +
                                   " characters; the column holds at most " +
                                   std::to_string(col.length / 2u));
        }
    } else if (out.size() > kMaxLongValueBytes) {
        return refuse(col, "the text is too long");
    }
    return Status::ok();
}

}  // namespace

std::vector<uint8_t> encodeJet4Text(const std::u16string& text, bool compression_allowed) {
    std::vector<uint8_t> out;
    encodeJet4TextInto(text, compression_allowed, out);
    return out;
}

void encodeJet4TextInto(const std::u16string& text, bool compression_allowed,
                        std::vector<uint8_t>& out) {
    bool compress = compression_allowed && text.size() > 2 && text.size() <= kMaxCompressedChars;
    for (size_t i = 0; compress && i < text.size(); ++i) {
        if (text[i] == 0 || text[i] > 0xFF)
            compress = false;
    }
    if (compress) {
        out.resize(text.size() + 2);
        out[0] = 0xFF;
        out[1] = 0xFE;
        std::transform(text.begin(), text.end(), out.begin() + 2,
                       [](char16_t c) { return static_cast<uint8_t>(c); });
        return;
    }
    // Plain text starting with U+FEFF would begin with FF FE, the mark of compressed text, and
    // every reader would decode it as such. It goes as compressed text that switches to two
    // bytes a character at once (a 00 byte), which every reader decodes to the same text.
    const size_t head = !text.empty() && text[0] == u'\uFEFF' ? 3 : 0;
    out.resize(head + text.size() * 2);
    if (out.empty())
        return;  // out.data() may be null, which memcpy must never get
    if (head != 0) {
        out[0] = 0xFF;
        out[1] = 0xFE;
        out[2] = 0x00;
    }
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out.data() + head, text.data(), text.size() * 2);
    } else {
        uint8_t* p = out.data() + head;
        for (char16_t c : text) {
            *p++ = static_cast<uint8_t>(c);
            *p++ = static_cast<uint8_t>(c >> 8);
        }
    }
}

bool isEncodedJet4Text(const uint8_t* stored, size_t n, bool compression_allowed, size_t& chars) {
    if (n >= 2 && stored[0] == 0xFF && stored[1] == 0xFE) {
        // Compressed: ours has no mode switches (00 bytes) and 3 to 1024 characters.
        chars = n - 2;
        return compression_allowed && chars > 2 && chars <= kMaxCompressedChars &&
               std::memchr(stored + 2, 0, chars) == nullptr;
    }
    if (n % 2 != 0)
        return false;  // the decoder drops an odd last byte
    chars = n / 2;
    if (!compression_allowed || chars <= 2 || chars > kMaxCompressedChars)
        return true;
    // Plain text that the encoder would have compressed is not ours.
    for (size_t i = 0; i < chars; ++i) {
        const uint16_t c = static_cast<uint16_t>(stored[2 * i] | (stored[2 * i + 1] << 8));
        if (c == 0 || c > 0xFF)
            return true;
    }
    return false;
}

bool integerOf(const Value& value, int64_t& out) {
    if (auto* b = std::get_if<uint8_t>(&value)) {
        out = *b;
    } else if (auto* s = std::get_if<int16_t>(&value)) {
        out = *s;
    } else if (auto* l = std::get_if<int32_t>(&value)) {
        out = *l;
    } else {
        return false;
    }
    return true;
}

std::string valueTypeName(const Value& value) {
    static const char* const kNames[] = {"Null",     "Boolean", "Byte",   "Integer",   "Long",
                                         "Currency", "Single",  "Double", "Date/Time", "GUID",
                                         "Decimal",  "Text",    "binary"};
    return kNames[value.index()];
}

Result<EncodedValue> encodeValue(const ColumnDef& col, const Value& value, bool required) {
    EncodedValue out;
    JET_RETURN_IF_ERROR(encodeValueInto(col, value, required, out));
    return out;
}

Status encodeValueInto(const ColumnDef& col, const Value& value, bool required, EncodedValue& out,
                       bool stored_text, size_t* chars) {
    // out.bytes keeps its size until a value sets it: resizing from there zeroes the fewest
    // bytes, all of them written over at once.
    out.long_value = false;
    out.borrowed = false;
    if (col.type == ColumnType::kBoolean) {
        out.bytes.clear();
        if (auto* b = std::get_if<bool>(&value)) {
            out.present = *b;
            return Status::ok();
        }
        out.present = false;
        return isNull(value) ? Status::ok() : wrongType(col, value);
    }
    if (isNull(value)) {
        out.present = false;
        out.bytes.clear();
        if (required)
            return refuse(col, "a value is required (the column does not allow NULL)");
        return Status::ok();
    }
    if (auto* b = std::get_if<Bytes>(&value); b && stored_text && col.isText())
        return encodeStoredText(col, *b, out, chars);
    int64_t i = 0;
    const bool is_int = integerOf(value, i);
    auto range = [&](int64_t lo, int64_t hi) -> Status {
        if (i < lo || i > hi) {
            return refuse(col, std::to_string(i) + " is out of range for a " + typeName(col.type) +
                                   " column (" + std::to_string(lo) + " to " + std::to_string(hi) +
                                   ")");
        }
        return Status::ok();
    };
    switch (col.type) {
        case ColumnType::kByte:
            if (!is_int)
                return wrongType(col, value);
            JET_RETURN_IF_ERROR(range(0, 255));
            return present(out, static_cast<uint64_t>(i), 1);
        case ColumnType::kInt:
            if (!is_int)
                return wrongType(col, value);
            JET_RETURN_IF_ERROR(range(-32768, 32767));
            return present(out, static_cast<uint64_t>(i), 2);
        case ColumnType::kLong:
            if (!is_int)
                return wrongType(col, value);
            return present(out, static_cast<uint64_t>(i), 4);
        case ColumnType::kMoney: {
            int64_t scaled;
            if (auto* m = std::get_if<Money>(&value)) {
                scaled = m->scaled;
            } else if (is_int) {
                scaled = i * 10000;
            } else {
                return wrongType(col, value);
            }
            return present(out, static_cast<uint64_t>(scaled), 8);
        }
        case ColumnType::kFloat: {
            float f;
            if (auto* pf = std::get_if<float>(&value)) {
                f = *pf;
            } else if (auto* pd = std::get_if<double>(&value)) {
                f = static_cast<float>(*pd);
                if (std::isfinite(*pd) && static_cast<double>(f) != *pd) {
                    return refuse(col, "the Double value does not fit a Single exactly");
                }
            } else if (is_int) {
                f = static_cast<float>(i);
                if (static_cast<int64_t>(f) != i) {
                    return refuse(col, std::to_string(i) + " does not fit a Single exactly");
                }
            } else {
                return wrongType(col, value);
            }
            uint32_t bits;
            std::memcpy(&bits, &f, sizeof bits);
            return present(out, bits, 4);
        }
        case ColumnType::kDouble: {
            double d;
            if (auto* pd = std::get_if<double>(&value)) {
                d = *pd;
            } else if (auto* pf = std::get_if<float>(&value)) {
                d = *pf;
            } else if (is_int) {
                d = static_cast<double>(i);
            } else {
                return wrongType(col, value);
            }
            uint64_t bits;
            std::memcpy(&bits, &d, sizeof bits);
            return present(out, bits, 8);
        }
        case ColumnType::kDateTime: {
            auto* dt = std::get_if<DateTime>(&value);
            if (!dt)
                return wrongType(col, value);
            uint64_t bits;
            std::memcpy(&bits, &dt->ole, sizeof bits);
            return present(out, bits, 8);
        }
        case ColumnType::kGuid: {
            auto* g = std::get_if<Guid>(&value);
            if (!g)
                return wrongType(col, value);
            out.present = true;
            out.bytes.assign(g->bytes.begin(), g->bytes.end());
            return Status::ok();
        }
        case ColumnType::kNumeric:
            return encodeNumeric(col, value, out);
        case ColumnType::kText: {
            auto* s = std::get_if<std::u16string>(&value);
            if (!s)
                return wrongType(col, value);
            if (chars)
                *chars = s->size();
            if (col.isFixed()) {
                return Status::notSupported("column \"" + col.name +
                                            "\" is a fixed-length Text column, which this "
                                            "engine does not write");
            }
            const size_t max_chars = col.length / 2u;
            if (s->size() > max_chars) {
                return refuse(col, "the text has " + std::to_string(s->size()) +
                                       " characters; the column holds at most " +
                                       std::to_string(max_chars));
            }
            out.present = true;
            encodeJet4TextInto(*s, col.ext_flags & ColumnDef::kExtCompressedUnicode, out.bytes);
            return Status::ok();
        }
        case ColumnType::kMemo: {
            auto* s = std::get_if<std::u16string>(&value);
            if (!s)
                return wrongType(col, value);
            if (chars)
                *chars = s->size();
            out.present = true;
            out.long_value = true;
            encodeJet4TextInto(*s, col.ext_flags & ColumnDef::kExtCompressedUnicode, out.bytes);
            if (out.bytes.size() > kMaxLongValueBytes)
                return refuse(col, "the text is too long");
            return Status::ok();
        }
        case ColumnType::kOle: {
            auto* b = std::get_if<Bytes>(&value);
            if (!b)
                return wrongType(col, value);
            if (b->size() > kMaxLongValueBytes)
                return refuse(col, "the value is too long");
            out.present = true;
            out.long_value = true;
            out.bytes.assign(b->begin(), b->end());
            return Status::ok();
        }
        case ColumnType::kBinary: {
            auto* b = std::get_if<Bytes>(&value);
            if (!b)
                return wrongType(col, value);
            if (col.isFixed()) {
                return Status::notSupported("column \"" + col.name +
                                            "\" is a fixed-length Binary column, which this "
                                            "engine does not write");
            }
            if (b->size() > col.length) {
                return refuse(col, "the value has " + std::to_string(b->size()) +
                                       " bytes; the column holds at most " +
                                       std::to_string(col.length));
            }
            out.present = true;
            out.bytes.assign(b->begin(), b->end());
            return Status::ok();
        }
        default:
            return Status::notSupported("column \"" + col.name + "\" has type " +
                                        typeName(col.type) + ", which this engine does not write");
    }
}

}  // namespace jet
