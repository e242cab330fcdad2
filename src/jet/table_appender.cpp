#include "jet/table_appender.h"

#include <algorithm>
#include <limits>

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/format.h"
#include "jet/row_packer.h"
#include "jet/tdef_writer.h"
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

std::vector<uint8_t> longValueHeader(uint32_t length_and_kind, RowPointer first) {
    std::vector<uint8_t> h(kLongValueHeader, 0);
    put32(h.data(), length_and_kind);
    put32(h.data() + 4, first.encode());
    return h;
}

}  // namespace

TableAppender::TableAppender(PageAllocator& alloc, TableDef def, std::vector<ColumnRules> rules)
    : alloc_(alloc), pager_(alloc.pager()), def_(std::move(def)), rules_(std::move(rules)) {
    rules_.resize(def_.columns.size());
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

Result<RowPointer> TableAppender::appendRow(const std::vector<Value>& values) {
    const auto& cols = def_.columns;
    if (values.size() != cols.size()) {
        return Status::invalidArgument("the table has " + std::to_string(cols.size()) +
                                       " columns, got " + std::to_string(values.size()) +
                                       " values");
    }
    const uint32_t max_row = jet4Format().max_row_size;

    // 1. Check and encode every value; nothing is written until all of them are good.
    uint32_t autonumber = def_.autonumber;
    std::vector<EncodedValue> enc(cols.size());
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
        JET_ASSIGN_OR_RETURN(enc[i], encodeValue(col, *v, rules_[i].required));
        const auto* text = std::get_if<std::u16string>(v);
        if (text && text->empty() && !rules_[i].allow_zero_length) {
            return Status::invalidArgument("column \"" + col.name +
                                           "\": an empty text is not allowed (the column's "
                                           "AllowZeroLength property is off)");
        }
    }

    // 2. Decide which long values stay inside the row: small ones, as long as the row fits.
    // Sizes are worked out without packing; the row is packed once, at the end.
    std::vector<PackedCell> cells(cols.size());
    std::vector<bool> inline_lv(cols.size(), false);
    for (size_t i = 0; i < cols.size(); ++i) {
        cells[i].present = enc[i].present;
        if (!enc[i].long_value) {
            cells[i].bytes = std::move(enc[i].bytes);
        } else if (enc[i].present) {
            cells[i].bytes.assign(kLongValueHeader, 0);
            inline_lv[i] = enc[i].bytes.size() <= kMaxInlineLongValue;
        }
    }
    JET_RETURN_IF_ERROR(jet4RowSize(def_, cells, max_row).status());
    std::vector<size_t> inline_bytes(cols.size(), 0);
    while (true) {
        for (size_t i = 0; i < cols.size(); ++i)
            inline_bytes[i] = inline_lv[i] ? enc[i].bytes.size() : 0;
        Status st = jet4RowSize(def_, cells, max_row, &inline_bytes).status();
        if (st.isOk())
            break;
        size_t largest = cols.size();
        for (size_t i = 0; i < cols.size(); ++i) {
            if (inline_lv[i] &&
                (largest == cols.size() || enc[i].bytes.size() > enc[largest].bytes.size())) {
                largest = i;
            }
        }
        if (largest == cols.size())
            return st;
        inline_lv[largest] = false;
    }
    for (size_t i = 0; i < cols.size(); ++i) {
        if (enc[i].long_value && enc[i].present && !inline_lv[i] &&
            !long_values_.count(cols[i].number)) {
            return Status::notSupported("column \"" + cols[i].name +
                                        "\" has no long-value maps in its table definition");
        }
    }

    // A row that could carry the file past its size limit is refused before anything is
    // written: at most a new data page, and a page per long value or chunk of one.
    uint64_t fresh_pages = 1;
    uint32_t maps = 2;
    for (size_t i = 0; i < cols.size(); ++i) {
        if (!enc[i].long_value || !enc[i].present || inline_lv[i])
            continue;
        const size_t chunk = jet4Format().max_lval_row - kChainPointer;
        fresh_pages += (enc[i].bytes.size() + chunk - 1) / chunk;
        maps += 2;
    }
    JET_RETURN_IF_ERROR(alloc_.checkRoom(fresh_pages, maps));

    // 3. Store long values, then the row, then the counters.
    for (size_t i = 0; i < cols.size(); ++i) {
        if (!enc[i].long_value || !enc[i].present)
            continue;
        const uint32_t len = static_cast<uint32_t>(enc[i].bytes.size());
        if (inline_lv[i]) {
            cells[i].bytes.resize(kLongValueHeader + len);
            put32(cells[i].bytes.data(), len | kInlineFlag);
            std::copy(enc[i].bytes.begin(), enc[i].bytes.end(),
                      cells[i].bytes.begin() + kLongValueHeader);
        } else {
            JET_ASSIGN_OR_RETURN(cells[i].bytes, storeLongValue(cols[i], enc[i].bytes));
        }
    }
    JET_ASSIGN_OR_RETURN(std::vector<uint8_t> row, packJet4Row(def_, cells, max_row));
    JET_ASSIGN_OR_RETURN(RowPointer at, insertRow(row));
    JET_RETURN_IF_ERROR(addRows(1));
    if (autonumber != def_.autonumber) {
        JET_RETURN_IF_ERROR(
            patchTdef32(pager_, def_.tdef_pages, kTdefAutonumberOffset, autonumber));
        def_.autonumber = autonumber;
    }
    return at;
}

Result<std::vector<uint8_t>> TableAppender::storeLongValue(const ColumnDef& col,
                                                           const std::vector<uint8_t>& value) {
    PageChain& chain = long_values_.at(col.number);
    const uint32_t len = static_cast<uint32_t>(value.size());
    const uint32_t max_lval = jet4Format().max_lval_row;
    if (value.size() <= max_lval) {
        JET_ASSIGN_OR_RETURN(RowPointer at, insertInto(chain, value));
        return longValueHeader(len | kSingleRowFlag, at);
    }
    // A chain: each row is the pointer to the next chunk and the chunk. Written last chunk
    // first, so that every row can carry the address of its successor.
    const size_t chunk = max_lval - kChainPointer;
    const size_t count = (value.size() + chunk - 1) / chunk;
    RowPointer next{};
    for (size_t k = count; k-- > 0;) {
        const size_t begin = k * chunk;
        const size_t end = std::min(value.size(), begin + chunk);
        std::vector<uint8_t> row(kChainPointer);
        put32(row.data(), next.encode());
        row.insert(row.end(), value.begin() + begin, value.begin() + end);
        JET_ASSIGN_OR_RETURN(next, insertInto(chain, row));
    }
    return longValueHeader(len, next);
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

Result<RowPointer> TableAppender::insertInto(PageChain& chain, const std::vector<uint8_t>& row) {
    JET_RETURN_IF_ERROR(locate(chain));
    const uint32_t ps = pager_.pageSize();
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (chain.last_page != 0) {
            const uint32_t n = chain.last_page;
            const bool fits = DataPageView::roomFor(chain.free, chain.rows, row.size());
            uint8_t slot = 0;
            if (fits) {
                JET_ASSIGN_OR_RETURN(MutablePageRef p, pager_.write(n));
                DataPageView view{p->data(), ps, n};
                JET_ASSIGN_OR_RETURN(slot, view.appendRow(row.data(), row.size(), chain.free));
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
            DataPageView{p->data(), ps, fresh}.init(chain.owner);
            JET_RETURN_IF_ERROR(useLastPage(chain, fresh, p->data()));
        }
        JET_RETURN_IF_ERROR(alloc_.maps().set(chain.owned, fresh, true));
        JET_RETURN_IF_ERROR(alloc_.maps().set(chain.free_map, fresh, true));
    }
    return Status::invalidArgument("a row of " + std::to_string(row.size()) +
                                   " bytes does not fit on an empty page");
}

Result<RowPointer> TableAppender::insertRow(const std::vector<uint8_t>& row) {
    return insertInto(rows_, row);
}

Status TableAppender::addRows(uint32_t n) {
    JET_RETURN_IF_ERROR(
        patchTdef32(pager_, def_.tdef_pages, kTdefNumRowsOffset, def_.num_rows + n));
    def_.num_rows += n;
    return Status::ok();
}

Status TableAppender::setUniqueCount(uint32_t i, uint32_t count) {
    JET_RETURN_IF_ERROR(patchTdef32(pager_, def_.tdef_pages, tdefUniqueCountOffset(i), count));
    def_.real_indexes.at(i).unique_count = count;
    return Status::ok();
}

}  // namespace jet
