#include "jet/catalog_builder.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "jet/data_page.h"
#include "jet/index_key.h"
#include "jet/index_leaf.h"
#include "jet/rc4.h"
#include "jet/row_packer.h"
#include "jet/system_tables.h"
#include "jet/tdef_writer.h"
#include "jet/usage_map.h"
#include "jet/value_encoder.h"

namespace jet {
namespace {

constexpr uint32_t kCatalogPages = 16;
constexpr size_t kMapRowSize = 69;
constexpr uint32_t kMSysObjectsDataPage = 14;
constexpr uint32_t kMSysAcesDataPage = 15;

// An inline map starting at page 0 that lists `pages`.
std::vector<uint8_t> mapListing(std::initializer_list<uint32_t> pages) {
    std::vector<uint8_t> row(kMapRowSize, 0);
    for (uint32_t p : pages)
        row[5 + p / 8] |= static_cast<uint8_t>(1u << (p % 8));
    return row;
}

struct CatalogObject {
    int32_t id;
    int32_t parent;
    const char16_t* name;
    int16_t type;
    const uint8_t* owner;
};

struct Ace {
    int32_t object;
    const uint8_t* sid;
    int32_t acm;
    bool inheritable;
};

// Packs a row from one value per column of `def` and appends it to `page`.
Result<uint8_t> appendValues(const TableDef& def, const std::vector<Value>& values,
                             DataPageView& page) {
    std::vector<PackedCell> cells(def.columns.size());
    for (size_t i = 0; i < def.columns.size(); ++i) {
        JET_ASSIGN_OR_RETURN(EncodedValue ev, encodeValue(def.columns[i], values[i], false));
        cells[i] = PackedCell{ev.present, std::move(ev.bytes)};
    }
    JET_ASSIGN_OR_RETURN(std::vector<uint8_t> row, packJet4Row(def, cells, 4060));
    return page.appendRow(row.data(), row.size());
}

Status writeLeaf(Pager& pager, uint32_t page, uint32_t owner,
                 std::vector<std::vector<uint8_t>> entries) {
    IndexLeaf leaf;
    leaf.owner = owner;
    std::sort(entries.begin(), entries.end());
    leaf.entries = std::move(entries);
    JET_ASSIGN_OR_RETURN(MutablePageRef p, pager.write(page));
    return writeIndexLeaf(leaf, p->data(), pager.pageSize(), page);
}

}  // namespace

std::vector<uint8_t> maskSid(uint32_t sid_key, const uint8_t* plain, size_t n) {
    std::vector<uint8_t> out(plain, plain + n);
    rc4Apply(sid_key, out.data(), out.size());
    return out;
}

Status buildEmptyCatalog(Pager& pager, double date, uint16_t sort, uint32_t sid_key) {
    if (pager.pageCount() != 1) {
        return Status::invalidArgument("the catalog goes into a file holding only its header");
    }
    const uint32_t ps = pager.pageSize();
    for (uint32_t n = 1; n < kCatalogPages; ++n)
        JET_RETURN_IF_ERROR(pager.allocate().status());

    // Page 1: the global map (pages 0..15 used, the rest of its window free) and the
    // all-zero map every file carries as row 1.
    {
        JET_ASSIGN_OR_RETURN(MutablePageRef p, pager.write(kGlobalMapPage));
        DataPageView v{p->data(), ps, kGlobalMapPage};
        v.init(1);
        std::vector<uint8_t> global(kMapRowSize, 0xFF);
        std::memset(global.data(), 0, 5);
        global[5] = global[6] = 0;  // pages 0..15
        JET_RETURN_IF_ERROR(v.appendRow(global.data(), global.size()).status());
        const auto zero = emptyInlineMap(kMapRowSize);
        JET_RETURN_IF_ERROR(v.appendRow(zero.data(), zero.size()).status());
    }

    // Page 6: every map row of the four tables, in the engine's order.
    {
        JET_ASSIGN_OR_RETURN(MutablePageRef p, pager.write(kSystemMapsPage));
        DataPageView v{p->data(), ps, kSystemMapsPage};
        v.init(0);
        std::vector<std::vector<uint8_t>> rows(31, mapListing({}));
        rows[0] = rows[1] = mapListing({kMSysObjectsDataPage});
        rows[16] = mapListing({7});
        rows[17] = mapListing({8});
        rows[18] = rows[19] = mapListing({kMSysAcesDataPage});
        rows[20] = mapListing({9});
        rows[25] = mapListing({10});
        rows[28] = mapListing({11});
        rows[29] = mapListing({12});
        rows[30] = mapListing({13});
        for (const auto& r : rows)
            JET_RETURN_IF_ERROR(v.appendRow(r.data(), r.size()).status());
    }

    const auto admin = maskSid(sid_key, kSidAdmin, 2);
    const auto users = maskSid(sid_key, kSidUsers, 2);
    const auto engine = maskSid(sid_key, kSidEngine, 2);
    const auto creator = maskSid(sid_key, kSidCreator, 2);

    const CatalogObject objects[] = {
        {kTablesContainerId, kDatabaseParentId, u"Tables", kObjectTypeContainer, engine.data()},
        {kDatabasesContainerId, kDatabaseParentId, u"Databases", kObjectTypeContainer,
         engine.data()},
        {kRelationshipsContainerId, kDatabaseParentId, u"Relationships", kObjectTypeContainer,
         engine.data()},
        {kMSysDbId, kDatabasesContainerId, u"MSysDb", kObjectTypeDatabase, admin.data()},
        {kMSysObjectsPage, kTablesContainerId, u"MSysObjects", kObjectTypeTable, engine.data()},
        {kMSysAcesPage, kTablesContainerId, u"MSysACEs", kObjectTypeTable, engine.data()},
        {kMSysQueriesPage, kTablesContainerId, u"MSysQueries", kObjectTypeTable, engine.data()},
        {kMSysRelationshipsPage, kTablesContainerId, u"MSysRelationships", kObjectTypeTable,
         engine.data()},
    };
    const Ace aces[] = {
        {kMSysObjectsPage, admin.data(), 0x60000, false},
        {kMSysAcesPage, admin.data(), 0x60000, false},
        {kMSysQueriesPage, admin.data(), 0x60000, false},
        {kMSysRelationshipsPage, admin.data(), 0xE0000, false},
        {kTablesContainerId, creator.data(), 0xF00FE, true},
        {kTablesContainerId, admin.data(), 0x60001, false},
        {kRelationshipsContainerId, creator.data(), 0xF00FE, true},
        {kRelationshipsContainerId, admin.data(), 0x60001, false},
        {kDatabasesContainerId, admin.data(), 0x60000, false},
        {kMSysDbId, admin.data(), 0x6000E, false},
        {kMSysDbId, users.data(), 0xE, false},
        {kMSysQueriesPage, users.data(), 0x14, false},
        {kMSysRelationshipsPage, users.data(), 0x14, false},
        {kMSysObjectsPage, users.data(), 0x14, false},
        {kTablesContainerId, users.data(), 0xFFEFF, true},
        {kRelationshipsContainerId, users.data(), 0xFFFFF, true},
    };

    TableDef objs = msysObjectsDef(sort);
    TableDef acl = msysAcesDef(sort);
    std::vector<std::vector<uint8_t>> by_parent_name, by_id, by_object;
    {
        JET_ASSIGN_OR_RETURN(MutablePageRef p, pager.write(kMSysObjectsDataPage));
        DataPageView v{p->data(), ps, kMSysObjectsDataPage};
        v.init(kMSysObjectsPage);
        for (const auto& o : objects) {
            std::vector<Value> values(objs.columns.size(), Null{});
            values[0] = o.id;
            values[1] = o.parent;
            values[2] = std::u16string(o.name);
            values[3] = o.type;
            values[4] = values[5] = DateTime{date};
            values[6] = Bytes(o.owner, o.owner + 2);
            values[7] = kSystemObjectFlag;
            JET_ASSIGN_OR_RETURN(uint8_t row, appendValues(objs, values, v));
            std::vector<uint8_t> e1, e2;
            appendLongKey(e1, o.parent);
            JET_RETURN_IF_ERROR(appendGeneralLegacyTextKey(e1, o.name));
            appendEntryRowId(e1, kMSysObjectsDataPage, row);
            appendLongKey(e2, o.id);
            appendEntryRowId(e2, kMSysObjectsDataPage, row);
            by_parent_name.push_back(std::move(e1));
            by_id.push_back(std::move(e2));
        }
    }
    {
        JET_ASSIGN_OR_RETURN(MutablePageRef p, pager.write(kMSysAcesDataPage));
        DataPageView v{p->data(), ps, kMSysAcesDataPage};
        v.init(kMSysAcesPage);
        for (const auto& a : aces) {
            const std::vector<Value> values = {a.object, Bytes(a.sid, a.sid + 2), a.acm,
                                               a.inheritable};
            JET_ASSIGN_OR_RETURN(uint8_t row, appendValues(acl, values, v));
            std::vector<uint8_t> e;
            appendLongKey(e, a.object);
            appendEntryRowId(e, kMSysAcesDataPage, row);
            by_object.push_back(std::move(e));
        }
    }

    objs.num_rows = std::size(objects);
    objs.real_indexes[0].unique_count = objs.real_indexes[1].unique_count = objs.num_rows;
    acl.num_rows = std::size(aces);
    std::vector<int32_t> distinct;
    for (const auto& a : aces)
        distinct.push_back(a.object);
    std::sort(distinct.begin(), distinct.end());
    acl.real_indexes[0].unique_count =
        static_cast<uint32_t>(std::unique(distinct.begin(), distinct.end()) - distinct.begin());
    const TdefStyle style{true, 0};
    for (const TableDef* d : {&objs, &acl}) {
        JET_RETURN_IF_ERROR(writeTdefPages(pager, d->tdef_pages, buildJet4Tdef(*d, style)));
    }
    for (const TableDef& d : {msysQueriesDef(sort), msysRelationshipsDef(sort)}) {
        JET_RETURN_IF_ERROR(writeTdefPages(pager, d.tdef_pages, buildJet4Tdef(d, style)));
    }

    JET_RETURN_IF_ERROR(writeLeaf(pager, 7, kMSysObjectsPage, std::move(by_parent_name)));
    JET_RETURN_IF_ERROR(writeLeaf(pager, 8, kMSysObjectsPage, std::move(by_id)));
    JET_RETURN_IF_ERROR(writeLeaf(pager, 9, kMSysAcesPage, std::move(by_object)));
    JET_RETURN_IF_ERROR(writeLeaf(pager, 10, kMSysQueriesPage, {}));
    for (uint32_t page : {11u, 12u, 13u}) {
        JET_RETURN_IF_ERROR(writeLeaf(pager, page, kMSysRelationshipsPage, {}));
    }
    return Status::ok();
}

}  // namespace jet
