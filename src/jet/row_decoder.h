// Stored rows turned into values, over any pager: the reader's read-only file and the
// writer's working copy alike. Jet 3 and Jet 4 rows, overflow rows and long values (MEMO,
// OLE). Damage never crashes or hangs: a bad length, offset or pointer, or a looping overflow
// pointer or long-value chain, is kCorrupt naming the page and row (and the column).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/format.h"
#include "jet/pager.h"
#include "jet/status.h"
#include "jet/tdef.h"
#include "jet/value.h"

namespace jet {

// One row's bytes as stored.
struct RawRow {
    PageRef page;  // keeps the bytes alive
    uint32_t offset = 0;
    uint32_t length = 0;
    bool deleted = false;  // a deleted slot; the bytes are then empty

    const uint8_t* data() const { return page->data() + offset; }
};

// The value of a fixed-length column of type other than TEXT, from its `p` bytes (as many as
// the type takes).
Result<Value> decodeFixedValue(const ColumnDef& col, const uint8_t* p);

class RowDecoder {
  public:
    // `code_page` decodes Jet 3 text; Jet 4 text is UTF-16, compressed or not. The pager must
    // outlive the decoder.
    RowDecoder(Pager& pager, JetVersion version, uint16_t code_page);

    Pager& pager() { return pager_; }
    const Format& format() const { return format_; }

    // The bytes of the row at `at`; with `follow_overflow`, after following its overflow
    // pointers (a few hops at most).
    Result<RawRow> rowAt(RowPointer at, bool follow_overflow);

    // Decodes `row`, a row of `def` stored at `at`, into `out`: one Value per column of
    // def.columns, in that order. When `wanted` is given, only the columns whose flag is set
    // are decoded and the others are Null; the catalogs use this to leave property blobs
    // unread. When `stored` is given, the TEXT and MEMO columns whose flag is set give their
    // text as stored, undecoded, as a Bytes value (Jet 4 files only: Jet 3 text is always
    // decoded); a writer can carry those bytes as they are (TableAppender).
    Status decode(const TableDef& def, const RawRow& row, RowPointer at, std::vector<Value>& out,
                  const std::vector<bool>* wanted = nullptr,
                  const std::vector<bool>* stored = nullptr);

    // The stored bytes of a long-value column (MEMO, OLE) of a row: the 12-byte header and any
    // inline data. The value itself is not read.
    struct LongValueField {
        size_t column;  // index in def.columns
        const uint8_t* bytes;
        uint32_t length;
    };
    // The indexes in def.columns of the columns longValueFields() looks at: the long-value
    // columns stored in the variable area.
    static std::vector<size_t> longValueColumns(const TableDef& def);
    // The `columns` (longValueColumns(def)) of `row` that hold a value, without following
    // them to their long-value pages (an integrity check counts references instead). The
    // bytes live as long as `row`. Errors as for decode().
    Status longValueFields(const TableDef& def, const std::vector<size_t>& columns,
                           const RawRow& row, RowPointer at, std::vector<LongValueField>& out);

  private:
    struct Site;  // where a value lies, spelled out only for an error message
    // Where the parts of a row lie. The offsets of its variable columns are read in place
    // from a Jet 4 row; a Jet 3 row's are worked out into offsets_.
    struct Layout {
        uint32_t ncols = 0;  // the column count the row itself stores
        const uint8_t* mask = nullptr;
        uint32_t var_limit = 0;    // first byte after the variable data area
        uint32_t var_offsets = 0;  // offsets stored: the variable column count plus one
        const uint8_t* jet4_offsets = nullptr;  // Jet 4: offset i is at jet4_offsets - 2 * i

        bool present(uint32_t colnum) const {
            return colnum < ncols && (mask[colnum / 8] >> (colnum % 8)) & 1;
        }
    };

    Status parseLayout(const TableDef& def, const RawRow& row, RowPointer at, Layout& out);
    // [start, stop) of variable column `col` in the row parseLayout() read last: kAbsent when
    // the row was written before the column existed.
    enum class Extent { kAbsent, kStored, kOutside };
    Extent variableExtent(const Layout& layout, const ColumnDef& col, uint32_t& start,
                          uint32_t& stop) const;
    static Status outsideRow(RowPointer at, const ColumnDef& col, uint32_t start, uint32_t stop);

    Result<Value> decodeFixed(const ColumnDef& col, const uint8_t* p, uint32_t n) const;
    Result<Value> decodeVariable(const ColumnDef& col, const uint8_t* p, uint32_t n,
                                 const Site& site, bool as_stored);
    Result<Bytes> readLongValue(const uint8_t* field, uint32_t n, const Site& site);
    std::u16string decodeText(const uint8_t* p, size_t n) const;

    Pager& pager_;
    const Format& format_;
    uint16_t code_page_;
    std::vector<uint32_t> offsets_;  // variable-column offsets of the Jet 3 row being decoded
};

// Iterates the live rows of one table in storage order: `pages` (normally what the table's
// owned map lists) in the order given, rows in slot order, deleted rows skipped, overflow
// rows followed. A page that is not a data page of the table is kCorrupt.
class RowCursor {
  public:
    // `wanted` as for RowDecoder::decode; empty decodes every column.
    RowCursor(RowDecoder& decoder, TableDef def, std::vector<uint32_t> pages,
              std::vector<bool> wanted = {});

    // From the next row on, the TEXT and MEMO columns flagged in `columns` (parallel to
    // def().columns) give their stored bytes, as RowDecoder::decode's `stored` does.
    void setStoredText(std::vector<bool> columns) { stored_ = std::move(columns); }

    // Fills `row` (one Value per column of def().columns, in that order) and returns true, or
    // returns false at the end. Errors are kCorrupt with the page and row named.
    Result<bool> next(std::vector<Value>& row);
    // Calls `fn` with every remaining row, in order; stops at the first read error.
    Status forEach(const std::function<void(const std::vector<Value>&)>& fn);
    const TableDef& def() const { return def_; }
    // Where the row that next() returned last is stored (its slot, before any overflow).
    RowPointer position() const { return position_; }

  private:
    RowDecoder& decoder_;
    TableDef def_;
    std::vector<uint32_t> pages_;
    std::vector<bool> wanted_;
    std::vector<bool> stored_;
    size_t page_pos_ = 0;
    uint32_t slot_ = 0;
    PageRef current_;
    std::optional<RowOffsets> offsets_;  // of current_
    RowPointer position_;
};

}  // namespace jet
