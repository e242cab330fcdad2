// Checking a caller's value against a column and turning it into the bytes Jet 4 stores.
// Nothing is converted silently: a value of another type is accepted only when it converts
// exactly (an Integer into a Long column, 2.5 into a Single), and is refused otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/status.h"
#include "jet/tdef.h"
#include "jet/value.h"

namespace jet {

// Text encoding for TEXT and MEMO values: Access's one-byte "Unicode compression" (FF FE,
// then one byte per character) when the column allows it, the text has more than 2 and at
// most 1024 characters and all of them are in U+0001..U+00FF; plain UTF-16LE otherwise. A
// text starting with U+FEFF, whose plain bytes would begin with that FF FE, goes as FF FE 00
// and then UTF-16LE: compressed text switched at once to two bytes a character.
std::vector<uint8_t> encodeJet4Text(const std::u16string& text, bool compression_allowed);
// The same into `out`, whose capacity is reused.
void encodeJet4TextInto(const std::u16string& text, bool compression_allowed,
                        std::vector<uint8_t>& out);

// Whether `stored`, `n` bytes of Jet 4 text as some engine stored them, is exactly what
// encodeJet4Text gives for the text they decode to. Then `chars` is that text's length, and
// the bytes can be stored again as they are, undecoded.
bool isEncodedJet4Text(const uint8_t* stored, size_t n, bool compression_allowed, size_t& chars);

struct EncodedValue {
    bool present = false;     // false: NULL (for BOOLEAN: the value false)
    bool long_value = false;  // MEMO/OLE: the bytes are the whole value, still to be stored
    std::vector<uint8_t> bytes;
    // Text given as stored and kept as it is is not copied: the bytes are then those of the
    // caller's value, which must outlive their use.
    bool borrowed = false;
    const uint8_t* borrowed_data = nullptr;
    size_t borrowed_size = 0;

    // The encoded bytes, wherever they are.
    const uint8_t* data() const { return borrowed ? borrowed_data : bytes.data(); }
    size_t size() const { return borrowed ? borrowed_size : bytes.size(); }
};

// Encodes `value` for `col`. `required` refuses NULL. Errors are kInvalidArgument naming the
// column and the reason (type, range, length), or kNotSupported for column types this engine
// does not write. A NULL for a BOOLEAN column stores No: Jet booleans have no NULL.
Result<EncodedValue> encodeValue(const ColumnDef& col, const Value& value, bool required);
// The same into `out`, whose buffer is reused: a row loop allocates nothing once its buffers
// have grown. On error `out` holds no meaningful value. With `stored_text`, a TEXT or MEMO
// column takes a Bytes value as its text as a Jet 4 file stores it (RowDecoder's `stored`
// output): checked like the text it decodes to, and kept as it is when isEncodedJet4Text,
// decoded and encoded again otherwise. `chars`, when given, receives the length in
// characters of a TEXT or MEMO value.
Status encodeValueInto(const ColumnDef& col, const Value& value, bool required, EncodedValue& out,
                       bool stored_text = false, size_t* chars = nullptr);

// Reads an integer-like value (Byte, Integer, Long) as int64; false for other types.
bool integerOf(const Value& value, int64_t& out);

// A short name of the value's type for messages ("Text", "Double", ...).
std::string valueTypeName(const Value& value);

}  // namespace jet
