// The system catalog of a Jet 4 database opened for writing: the objects listed in
// MSysObjects, and adding a new table to it together with its index entries and its
// access-control entries (MSysACEs), as the Jet engine does.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "jet/bytes.h"
#include "jet/header.h"
#include "jet/index_leaf.h"
#include "jet/page_allocator.h"
#include "jet/properties.h"
#include "jet/status.h"
#include "jet/table_appender.h"

namespace jet {

struct CatalogObject {
    RowPointer where;
    int32_t id = 0;
    int32_t parent_id = 0;
    std::u16string name;
    int16_t type = 0;
    int32_t flags = 0;
    std::vector<uint8_t> owner;  // stored (masked) security id
};

class Catalog {
  public:
    // Reads MSysObjects (page 2) and MSysACEs. `sid_key` is sidMaskKey() of the header.
    static Result<std::unique_ptr<Catalog>> load(PageAllocator& alloc, const Header& header,
                                                 uint32_t sid_key);

    const std::vector<CatalogObject>& objects() const { return objects_; }
    int32_t tablesContainerId() const { return tables_id_; }

    // The local table (user or system) named `name`: exact match first, then ignoring case.
    const CatalogObject* findTable(const std::u16string& name) const;

    // Checks that a table of this name can be added: no object of the same name (ignoring
    // case) among the tables, and sort codes for every character of the name.
    Status checkNewTableName(const std::u16string& name) const;

    // Everything addTable() checks, without writing: the name, the catalog's indexes and
    // their room for the new entries (a full index page gives kNotSupported).
    Status checkAddTable(const std::u16string& name) const;

    // Records a new table whose TDEF starts at `tdef_page`: its MSysObjects row (owned by
    // the database owner, created and updated at `date`, with `properties` as its LvProp
    // when not empty), the entries in both MSysObjects indexes, and access-control entries
    // inherited from the Tables container. Everything is checked before the first byte is
    // written.
    Status addTable(uint32_t tdef_page, const std::u16string& name, double date,
                    const std::vector<uint8_t>& properties = {});

    // The column rules (Required, AllowZeroLength) stored in the object's LvProp, read from
    // its row when asked for.
    Result<std::map<std::u16string, ColumnRules>> columnRules(const CatalogObject& o);

  private:
    struct Ace {
        std::vector<uint8_t> sid;
        int32_t acm = 0;
    };
    // The rows and index pages of one new table, ready to be written.
    struct Plan {
        std::vector<Value> object_values;
        std::vector<std::vector<uint8_t>> ace_rows;
        std::vector<uint8_t> parent_name_key, id_key, ace_key;
        IndexLeaf parent_name_leaf, id_leaf, ace_leaf;
    };

    Catalog(PageAllocator& alloc, uint32_t sid_key, uint16_t code_page)
        : alloc_(alloc), sid_key_(sid_key), code_page_(code_page) {}
    Status readObjects();
    // Calls `visit(where, row)` for every live row of `def`, with only `columns` decoded.
    Status forEachRow(
        const TableDef& def, const std::vector<const ColumnDef*>& columns,
        const std::function<Status(RowPointer, const std::vector<Value>&)>& visit) const;
    Result<std::vector<Ace>> inheritedAces() const;
    Result<Plan> prepare(uint32_t tdef_page, const std::u16string& name, double date) const;
    const ColumnDef* column(const TableDef& def, const char* name) const;

    PageAllocator& alloc_;
    uint32_t sid_key_;
    uint16_t code_page_;
    std::unique_ptr<TableAppender> msys_objects_;
    std::unique_ptr<TableAppender> msys_aces_;
    std::vector<CatalogObject> objects_;
    int32_t tables_id_ = 0;
    std::vector<uint8_t> database_owner_;
    // Real index numbers in MSysObjects: (ParentId, Name) and (Id); in MSysACEs: (ObjectId).
    int parent_name_index_ = -1;
    int id_index_ = -1;
    int ace_index_ = -1;
    std::string unsupported_index_;  // a catalog index this engine cannot maintain
};

}  // namespace jet
