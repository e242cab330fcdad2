// Which long values (MEMO and OLE values kept out of their rows) a file holds, and which rows
// point to them, gathered while its pages are read in order and matched at the end: every
// pointer must reach a live row of a long-value page, and so must every link of a chain; no
// long value may serve two rows; and where the file keeps long-value maps (Jet 4), the value
// must lie on a page that a map of the pointing row's table lists.
//
// Long values no row points to are no problem: deleting a row leaves its long values behind
// (Jackcess does), and freed long-value pages keep their old rows.
//
// Memory: 16 bytes per live row of a long-value page and per pointer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/bytes.h"

namespace jet {

class LongValueLedger {
  public:
    static constexpr uint32_t kUnlisted = UINT32_MAX;

    // A live row of a long-value page, whose first 4 bytes are `next` (the next link, when it
    // is a link of a chain). `table` is the table whose long-value map lists the page, or
    // kUnlisted. Rows come in ascending order, by page and then row.
    void addValue(RowPointer at, uint32_t next, uint32_t table);

    // Row `from` of `table` points to a long value from its column `column` (an index in the
    // table's columns): to the whole value at `target`, or to the first link of a chain.
    void addPointer(RowPointer target, bool chain, RowPointer from, uint32_t table,
                    uint32_t column);

    struct Problem {
        uint32_t table;
        uint32_t column;
        RowPointer from;
        std::string what;  // "its long value at page 9 row 2 is not there"
    };
    // Matches every pointer; `maps` when the file keeps long-value maps.
    std::vector<Problem> match(bool maps);

  private:
    struct Value {
        uint32_t at;  // RowPointer::encode()
        uint32_t next;
        uint32_t table;
        uint32_t user = 0;  // the row it serves, once matched
        bool used = false;
    };
    struct Pointer {
        uint32_t target;
        uint32_t from;
        uint32_t table;
        uint32_t column : 31;
        uint32_t chain : 1;
    };

    Value* find(uint32_t at);

    std::vector<Value> values_;  // ascending by `at`
    std::vector<Pointer> pointers_;
};

}  // namespace jet
