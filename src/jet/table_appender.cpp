#include "jet/table_appender.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/format.h"
#include "jet/row_decoder.h"
#include "jet/row_packer.h"
#include "jet/tdef_writer.h"
#include "jet/text.h"
#include "jet/value_encoder.h"

namespace jet {
namespace {

constexpr uint32_t kInlineFlag = 0x80000000u;
constexpr uint32_t kSingleRowFlag = 0x40000000u;
constexpr size_t kLongValueHeader = 12;
// Values up to this size stay inside the row, as other Jet writers do and Access accepts;
// longer ones go to LVAL pages.
constexpr size_t kMaxInlineLongValue = 64;
constexpr size_t kChainPointer = 4;
// An LVAL page with less room than this takes no more values.
constexpr uint32_t kMinLvalRow = 16;

void putLongValueHeader(uint8_t* header, uint32_t length_and_kind, RowPointer first) {
    std::fill(header, header + kLongValueHeader, 0);
    put32(header, length_and_kind);
    put32(header + 4, first.encode());
}

}  // namespace

TableAppender::TableAppender(PageAllocator& alloc, TableDef def, std::vector<ColumnRules> rules)
    : alloc_(alloc),
      pager_(alloc.pager()),
      def_(std::move(def)),
      rules_(std::move(rules)),
      layout_(Jet4RowLayout::of(def_)) {
    rules_.resize(def_.columns.size());
    encoded_.resize(def_.columns.size());
    cells_.resize(def_.columns.size());
    long_cells_.resize(def_.columns.size());
    inline_.resize(def_.columns.size());
    const uint32_t v = def_.num_var_cols;
    rows_.owned = def_.owned_map;
    rows_.free_map = def_.free_map;
    rows_.owner = def_.tdef_page;
    rows_.min_row = 2 + jet4FixedAreaSize(def_) + (v ? 4 + 2 * v : 0) + (def_.max_cols + 7) / 8;
    for (const auto& m : def_.long_value_maps) {
        PageChain c;
        c.owned = m.owned;
        c.free_map = m.free;
        c.owner = kLvalOwner;
        c.min_row = kMinLvalRow;
        long_values_[m.column_number] = c;
    }
}

Status TableAppender::prepare(const std::vector<Value>& values,
                              const std::vector<bool>* stored_text, uint32_t& autonumber,
                              size_t& size) {
    const auto& cols = def_.columns;
    if (values.size() != cols.size()) {
        return Status::invalidArgument("the table has " + std::to_string(cols.size()) +
                                       " columns, got " + std::to_string(values.size()) +
                                       " values");
    }
    JET_RETURN_IF_ERROR(layout_.status());
    const uint32_t max_row = jet4Format().max_row_size;

    // 1. Check and encode every value; nothing is written until all of them are good.
    autonumber = def_.autonumber;
    for (size_t i = 0; i < cols.size(); ++i) {
        const ColumnDef& col = cols[i];
        const Value* v = &values[i];
        Value numbered;
        if (col.isAutoNumber() && col.type == ColumnType::kLong) {
            int64_t given = 0;
            if (isNull(*v)) {
                if (autonumber >= static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
                    return Status::invalidArgument("column \"" + col.name +
                                                   "\": the AutoNumber has no numbers left");
                }
                numbered = static_cast<int32_t>(++autonumber);
                v = &numbered;
            } else if (integerOf(*v, given) && given > 0 && given > int64_t{autonumber}) {
                autonumber = static_cast<uint32_t>(given);
            }
        }
        size_t chars = SIZE_MAX;  // stays so for values that are not text
        const bool stored = stored_text && i < stored_text->size() && (*stored_text)[i];
        JET_RETURN_IF_ERROR(
            encodeValueInto(col, *v, rules_[i].required, encoded_[i], stored, &chars));
        if (chars == 0 && !rules_[i].allow_zero_length) {
            return Status::invalidArgument("column \"" + col.name +
                                           "\": an empty text is not allowed (the column's "
                                           "AllowZeroLength property is off)");
        }
    }

    // 2. Decide which long values stay inside the row: small ones, as long as the row fits.
    // The row is sized once with every long value reduced to its header; keeping a value
    // inline adds its length.
    for (size_t i = 0; i < cols.size(); ++i) {
        const EncodedValue& e = encoded_[i];
        cells_[i] = CellBytes{e.present, e.data(), e.size()};
        inline_[i] = 0;
        if (e.long_value && e.present) {
            cells_[i].size = kLongValueHeader;
            inline_[i] = e.size() <= kMaxInlineLongValue;
        }
    }
    JET_ASSIGN_OR_RETURN(size, layout_->size(cells_.data()));
    if (size > max_row)
        return rowTooLong(size, max_row);
    for (size_t i = 0; i < cols.size(); ++i)
        size += inline_[i] ? encoded_[i].size() : 0;
    while (size > max_row) {
        size_t largest = cols.size();
        for (size_t i = 0; i < cols.size(); ++i) {
            if (inline_[i] &&
                (largest == cols.size() || encoded_[i].size() > encoded_[largest].size())) {
                largest = i;
            }
        }
        inline_[largest] = 0;
        size -= encoded_[largest].size();
    }
    for (size_t i = 0; i < cols.size(); ++i) {
        if (encoded_[i].long_value && encoded_[i].present && !inline_[i] &&
            !long_values_.count(cols[i].number)) {
            return Status::notSupported("column \"" + cols[i].name +
                                        "\" has no long-value maps in its table definition");
        }
    }
    return Status::ok();
}

Result<RowPointer> TableAppender::appendRow(const std::vector<Value>& values,
                                            const std::vector<bool>* stored_text) {
    const auto& cols = def_.columns;
    uint32_t autonumber = 0;
    size_t size = 0;
    JET_RETURN_IF_ERROR(prepare(values, stored_text, autonumber, size));

    // A row that could carry the file past its size limit is refused before anything is
    // written: at most a new data page, and a page per long value or chunk of one.
    uint64_t fresh_pages = 1;
    uint32_t maps = 2;
    for (size_t i = 0; i < cols.size(); ++i) {
        if (!encoded_[i].long_value || !encoded_[i].present || inline_[i])
            continue;
        const size_t chunk = jet4Format().max_lval_row - kChainPointer;
        fresh_pages += (encoded_[i].size() + chunk - 1) / chunk;
        maps += 2;
    }
    JET_RETURN_IF_ERROR(alloc_.checkRoom(fresh_pages, maps));

    // 3. Store long values, then the row; the counters change in def_ only.
    for (size_t i = 0; i < cols.size(); ++i) {
        const EncodedValue& e = encoded_[i];
        if (!e.long_value || !e.present)
            continue;
        const uint32_t len = static_cast<uint32_t>(e.size());
        std::vector<uint8_t>& cell = long_cells_[i];
        cell.resize(kLongValueHeader + (inline_[i] ? len : 0));
        if (inline_[i]) {
            putLongValueHeader(cell.data(), len | kInlineFlag, RowPointer{});
            std::copy(e.data(), e.data() + len, cell.begin() + kLongValueHeader);
        } else {
            JET_RETURN_IF_ERROR(storeLongValue(cols[i], e.data(), len, cell.data()));
        }
        cells_[i] = CellBytes{true, cell.data(), cell.size()};
    }
    layout_->pack(cells_.data(), size, row_);
    JET_ASSIGN_OR_RETURN(RowPointer at, insertInto(rows_, row_.data(), row_.size()));
    ++def_.num_rows;
    def_.autonumber = autonumber;
    counters_changed_ = true;
    return at;
}

Status TableAppender::check(std::vector<Value>& values, const std::vector<bool>* stored_text) {
    uint32_t autonumber = 0;
    size_t size = 0;
    JET_RETURN_IF_ERROR(prepare(values, stored_text, autonumber, size));
    def_.autonumber = autonumber;  // numbered as the stored row would be; never written
    for (size_t i = 0; i < values.size(); ++i) {
        const ColumnDef& col = def_.columns[i];
        const EncodedValue& e = encoded_[i];
        Value& v = values[i];
        if (col.type == ColumnType::kBoolean) {
            v = e.present;
        } else if (!e.present) {
            v = Null{};
        } else if (col.isFixed()) {
            JET_ASSIGN_OR_RETURN(v, decodeFixedValue(col, e.bytes.data()));
        } else if (auto* stored = std::get_if<Bytes>(&v); stored && col.isText()) {
            if (!e.borrowed)
                *stored = e.bytes;  // the form the encoder gave it
        }
    }
    return Status::ok();
}

Status TableAppender::storeLongValue(const ColumnDef& col, const uint8_t* value, size_t n,
                                     uint8_t* header) {
    PageChain& chain = long_values_.at(col.number);
    const uint32_t len = static_cast<uint32_t>(n);
    const uint32_t max_lval = jet4Format().max_lval_row;
    if (n <= max_lval) {
        JET_ASSIGN_OR_RETURN(RowPointer at, insertInto(chain, value, n));
        putLongValueHeader(header, len | kSingleRowFlag, at);
        return Status::ok();
    }
    // A chain: each row is the pointer to the next chunk and the chunk. Written last chunk
    // first, so that every row can carry the address of its successor.
    const size_t chunk = max_lval - kChainPointer;
    const size_t count = (n + chunk - 1) / chunk;
    RowPointer next{};
    for (size_t k = count; k-- > 0;) {
        const size_t begin = k * chunk;
        const size_t end = std::min(n, begin + chunk);
        chunk_.resize(kChainPointer);
        put32(chunk_.data(), next.encode());
        chunk_.insert(chunk_.end(), value + begin, value + end);
        JET_ASSIGN_OR_RETURN(next, insertInto(chain, chunk_.data(), chunk_.size()));
    }
    putLongValueHeader(header, len, next);
    return Status::ok();
}

Status TableAppender::locate(PageChain& chain) {
    if (chain.located)
        return Status::ok();
    JET_ASSIGN_OR_RETURN(std::vector<uint32_t> pages,
                         alloc_.maps().listed(chain.owned, pager_.pageCount()));
    for (auto it = pages.rbegin(); it != pages.rend(); ++it) {
        JET_ASSIGN_OR_RETURN(PageRef p, pager_.read(*it));
        if (p->data()[0] == kPageData && le32(p->data() + kDataPageOwner) == chain.owner) {
            JET_RETURN_IF_ERROR(useLastPage(chain, *it, p->data()));
            break;
        }
    }
    chain.located = true;
    return Status::ok();
}

Status TableAppender::useLastPage(PageChain& chain, uint32_t n, const uint8_t* page) {
    JET_ASSIGN_OR_RETURN(RowOffsets offsets, RowOffsets::read(page, jet4Format(), n));
    JET_ASSIGN_OR_RETURN(uint32_t lowest, offsets.lowestStart());
    chain.last_page = n;
    chain.rows = offsets.count();
    chain.free = lowest - offsets.tableEnd();
    return Status::ok();
}

Result<RowPointer> TableAppender::insertInto(PageChain& chain, const uint8_t* row, size_t len) {
    JET_RETURN_IF_ERROR(locate(chain));
    const uint32_t ps = pager_.pageSize();
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (chain.last_page != 0) {
            const uint32_t n = chain.last_page;
            const bool fits = DataPageView::roomFor(chain.free, chain.rows, len);
            uint8_t slot = 0;
            if (fits) {
                JET_ASSIGN_OR_RETURN(MutablePageRef p, pager_.write(n));
                DataPageView view{p->data(), ps, n};
                JET_ASSIGN_OR_RETURN(slot, view.appendRow(row, len, chain.free));
                ++chain.rows;
            }
            if (!fits || !DataPageView::roomFor(chain.free, chain.rows, chain.min_row))
                JET_RETURN_IF_ERROR(alloc_.maps().set(chain.free_map, n, false));
            if (fits)
                return RowPointer{n, slot};
        }
        JET_ASSIGN_OR_RETURN(uint32_t fresh, alloc_.allocate());
        {
            JET_ASSIGN_OR_RETURN(MutablePageRef p, pager_.write(fresh));
            DataPageView{p->data(), ps, fresh}.initZeroed(chain.owner);
            JET_RETURN_IF_ERROR(useLastPage(chain, fresh, p->data()));
        }
        JET_RETURN_IF_ERROR(alloc_.maps().set(chain.owned, fresh, true));
        JET_RETURN_IF_ERROR(alloc_.maps().set(chain.free_map, fresh, true));
    }
    return Status::invalidArgument("a row of " + std::to_string(len) +
                                   " bytes does not fit on an empty page");
}

Result<RowPointer> TableAppender::insertRow(const std::vector<uint8_t>& row) {
    return insertInto(rows_, row.data(), row.size());
}

Status TableAppender::addRows(uint32_t n) {
    def_.num_rows += n;
    counters_changed_ = true;
    return writeCounters();
}

Status TableAppender::writeCounters() {
    if (!counters_changed_)
        return Status::ok();
    JET_RETURN_IF_ERROR(patchTdef32(pager_, def_.tdef_pages, kTdefNumRowsOffset, def_.num_rows));
    JET_RETURN_IF_ERROR(
        patchTdef32(pager_, def_.tdef_pages, kTdefAutonumberOffset, def_.autonumber));
    counters_changed_ = false;
    return Status::ok();
}

Status TableAppender::setUniqueCount(uint32_t i, uint32_t count) {
    JET_RETURN_IF_ERROR(patchTdef32(pager_, def_.tdef_pages, tdefUniqueCountOffset(i), count));
    def_.real_indexes.at(i).unique_count = count;
    return Status::ok();
}

}  // namespace jet
