#include "jet/catalog.h"

#include <algorithm>
#include <cstring>

#include "jet/catalog_builder.h"
#include "jet/format.h"
#include "jet/index_key.h"
#include "jet/index_leaf.h"
#include "jet/names.h"
#include "jet/row_decoder.h"
#include "jet/row_packer.h"
#include "jet/system_tables.h"
#include "jet/text.h"
#include "jet/value_encoder.h"

namespace jet {
namespace {

bool indexOn(const RealIndex& ri, std::initializer_list<uint16_t> columns) {
    if (ri.columns.size() != columns.size())
        return false;
    size_t i = 0;
    for (uint16_t c : columns) {
        if (ri.columns[i].column_number != c || !ri.columns[i].ascending)
            return false;
        ++i;
    }
    return true;
}

// Reads the single leaf page that is the root of `ri`.
Result<IndexLeaf> loadRootLeaf(Pager& pager, const RealIndex& ri, const char* table) {
    JET_ASSIGN_OR_RETURN(PageRef p, pager.read(ri.root_page));
    if (p->data()[0] != kPageIndexLeaf && p->data()[0] != kPageIndexNode) {
        return Status::corrupt(std::string("the root of an index of ") + table + " (page " +
                               std::to_string(ri.root_page) + ") is not an index page");
    }
    if (p->data()[0] != kPageIndexLeaf) {
        return Status::notSupported(std::string("an index of ") + table +
                                    " spans more than one page; adding tables to such a "
                                    "catalog is not supported");
    }
    JET_ASSIGN_OR_RETURN(IndexLeaf leaf, parseIndexLeaf(p->data(), pager.pageSize(), ri.root_page));
    if (leaf.prev != 0 || leaf.next != 0) {
        return Status::notSupported(std::string("an index of ") + table +
                                    " spans more than one page; adding tables to such a "
                                    "catalog is not supported");
    }
    return leaf;
}

Status storeLeaf(Pager& pager, uint32_t page, const IndexLeaf& leaf) {
    JET_ASSIGN_OR_RETURN(MutablePageRef p, pager.write(page));
    return writeIndexLeaf(leaf, p->data(), pager.pageSize(), page);
}

// Whether `leaf` still fits one page with `extra` entries added.
Status checkLeafRoom(const IndexLeaf& leaf, const std::vector<std::vector<uint8_t>>& extra,
                     uint32_t page_size, uint32_t page) {
    IndexLeaf trial = leaf;
    for (const auto& e : extra)
        insertIndexEntry(trial, e, false);
    std::vector<uint8_t> scratch(page_size);
    return writeIndexLeaf(trial, scratch.data(), page_size, page);
}

Result<std::vector<uint8_t>> packValues(const TableDef& def, const std::vector<Value>& values) {
    std::vector<PackedCell> cells(def.columns.size());
    for (size_t i = 0; i < def.columns.size(); ++i) {
        JET_ASSIGN_OR_RETURN(EncodedValue ev, encodeValue(def.columns[i], values[i], false));
        if (ev.long_value)
            return Status::corrupt("catalog rows carry no long values here");
        cells[i] = PackedCell{ev.present, std::move(ev.bytes)};
    }
    return packJet4Row(def, cells, jet4Format().max_row_size);
}

// A page number for trial entries and trial rows: any value gives the same lengths.
constexpr uint32_t kTrialPage = 0xFFFFFF;

std::vector<uint8_t> withRowId(std::vector<uint8_t> key, RowPointer at) {
    appendEntryRowId(key, at.page, at.row);
    return key;
}

// Long and Integer values; 0 for NULL.
int32_t intOf(const Value& v) {
    if (auto* i = std::get_if<int32_t>(&v))
        return *i;
    if (auto* i = std::get_if<int16_t>(&v))
        return *i;
    return 0;
}

// The value of column `c` of `def` in a decoded row.
const Value& cell(const TableDef& def, const std::vector<Value>& row, const ColumnDef* c) {
    return row[static_cast<size_t>(c - def.columns.data())];
}

Bytes bytesOf(const Value& v) {
    auto* b = std::get_if<Bytes>(&v);
    return b ? *b : Bytes{};
}

}  // namespace

const ColumnDef* Catalog::column(const TableDef& def, const char* name) const {
    for (const auto& c : def.columns)
        if (c.name == name)
            return &c;
    return nullptr;
}

Result<std::unique_ptr<Catalog>> Catalog::load(PageAllocator& alloc, const Header& header,
                                               uint32_t sid_key) {
    std::unique_ptr<Catalog> cat(new Catalog(alloc, sid_key, header.code_page));
    Pager& pager = alloc.pager();
    JET_ASSIGN_OR_RETURN(
        TableDef objs, readTableDef(pager, JetVersion::kJet4, header.code_page, kMSysObjectsPage));
    cat->msys_objects_ =
        std::make_unique<TableAppender>(alloc, std::move(objs), std::vector<ColumnRules>{});
    JET_RETURN_IF_ERROR(cat->readObjects());
    return cat;
}

Status Catalog::forEachRow(
    const TableDef& def, const std::vector<const ColumnDef*>& columns,
    const std::function<Status(RowPointer, const std::vector<Value>&)>& visit) const {
    Pager& pager = alloc_.pager();
    JET_ASSIGN_OR_RETURN(std::vector<uint32_t> pages,
                         alloc_.maps().listed(def.owned_map, pager.pageCount()));
    std::vector<bool> wanted(def.columns.size(), false);
    for (const ColumnDef* c : columns)
        wanted[static_cast<size_t>(c - def.columns.data())] = true;
    RowDecoder decoder(pager, JetVersion::kJet4, code_page_);
    RowCursor cursor(decoder, def, std::move(pages), std::move(wanted));
    std::vector<Value> row;
    while (true) {
        JET_ASSIGN_OR_RETURN(bool more, cursor.next(row));
        if (!more)
            return Status::ok();
        JET_RETURN_IF_ERROR(visit(cursor.position(), row));
    }
}

Status Catalog::readObjects() {
    Pager& pager = alloc_.pager();
    const TableDef& def = msys_objects_->def();
    const ColumnDef* c_id = column(def, "Id");
    const ColumnDef* c_parent = column(def, "ParentId");
    const ColumnDef* c_name = column(def, "Name");
    const ColumnDef* c_type = column(def, "Type");
    const ColumnDef* c_flags = column(def, "Flags");
    const ColumnDef* c_owner = column(def, "Owner");
    if (!c_id || !c_parent || !c_name || !c_type || !c_flags || !c_owner) {
        return Status::corrupt(
            "MSysObjects lacks one of the columns Id, ParentId, Name, Type, "
            "Flags, Owner");
    }
    auto add = [&](RowPointer at, const std::vector<Value>& row) {
        CatalogObject o;
        o.where = at;
        o.id = intOf(cell(def, row, c_id));
        o.parent_id = intOf(cell(def, row, c_parent));
        if (auto* name = std::get_if<std::u16string>(&cell(def, row, c_name)))
            o.name = *name;
        o.type = static_cast<int16_t>(intOf(cell(def, row, c_type)));
        o.flags = intOf(cell(def, row, c_flags));
        o.owner = bytesOf(cell(def, row, c_owner));
        objects_.push_back(std::move(o));
        return Status::ok();
    };
    JET_RETURN_IF_ERROR(forEachRow(def, {c_id, c_parent, c_name, c_type, c_flags, c_owner}, add));

    int32_t databases_id = 0;
    for (const auto& o : objects_) {
        if (o.parent_id == kDatabaseParentId && o.name == u"Tables")
            tables_id_ = o.id;
        if (o.parent_id == kDatabaseParentId && o.name == u"Databases")
            databases_id = o.id;
    }
    if (tables_id_ == 0)
        return Status::corrupt("MSysObjects has no Tables container");
    for (const auto& o : objects_) {
        if (databases_id != 0 && o.parent_id == databases_id && o.name == u"MSysDb") {
            database_owner_ = o.owner;
        }
    }
    if (database_owner_.empty())
        database_owner_ = maskSid(sid_key_, kSidAdmin, 2);

    const CatalogObject* aces = findTable(u"MSysACEs");
    if (!aces || aces->id <= 0)
        return Status::corrupt("MSysObjects does not list MSysACEs");
    JET_ASSIGN_OR_RETURN(
        TableDef acl, readTableDef(pager, JetVersion::kJet4, 0, static_cast<uint32_t>(aces->id)));
    for (size_t i = 0; i < def.real_indexes.size(); ++i) {
        const RealIndex& ri = def.real_indexes[i];
        if (indexOn(ri, {c_parent->number, c_name->number})) {
            parent_name_index_ = static_cast<int>(i);
        } else if (indexOn(ri, {c_id->number})) {
            id_index_ = static_cast<int>(i);
        } else {
            unsupported_index_ = "MSysObjects has an index this engine cannot maintain";
        }
    }
    const ColumnDef* c_object = column(acl, "ObjectId");
    for (size_t i = 0; i < acl.real_indexes.size(); ++i) {
        if (c_object && indexOn(acl.real_indexes[i], {c_object->number})) {
            ace_index_ = static_cast<int>(i);
        } else {
            unsupported_index_ = "MSysACEs has an index this engine cannot maintain";
        }
    }
    if (parent_name_index_ < 0 || id_index_ < 0 || ace_index_ < 0) {
        unsupported_index_ = "the catalog lacks one of its standard indexes";
    }
    msys_aces_ =
        std::make_unique<TableAppender>(alloc_, std::move(acl), std::vector<ColumnRules>{});
    return Status::ok();
}

const CatalogObject* Catalog::findTable(const std::u16string& name) const {
    const CatalogObject* folded = nullptr;
    for (const auto& o : objects_) {
        if (o.parent_id != tables_id_ || o.type != kObjectTypeTable)
            continue;
        if (o.name == name)
            return &o;
        if (!folded && sameObjectName(o.name, name))
            folded = &o;
    }
    return folded;
}

Status Catalog::checkNewTableName(const std::u16string& name) const {
    for (const auto& o : objects_) {
        if (o.parent_id == tables_id_ && sameObjectName(o.name, name)) {
            return Status::invalidArgument("a table named \"" + toUtf8(o.name) +
                                           "\" already exists");
        }
    }
    std::vector<uint8_t> key;
    Status st = appendGeneralLegacyTextKey(key, name);
    if (!st.isOk()) {
        return Status::notSupported("the table name \"" + toUtf8(name) +
                                    "\" cannot be indexed in the catalog: " + st.message());
    }
    return Status::ok();
}

Result<std::vector<Catalog::Ace>> Catalog::inheritedAces() const {
    const TableDef& def = msys_aces_->def();
    const ColumnDef* c_object = column(def, "ObjectId");
    const ColumnDef* c_sid = column(def, "SID");
    const ColumnDef* c_acm = column(def, "ACM");
    const ColumnDef* c_inherit = column(def, "FInheritable");
    if (!c_object || !c_sid || !c_acm || !c_inherit) {
        return Status::corrupt(
            "MSysACEs lacks one of the columns ObjectId, SID, ACM, "
            "FInheritable");
    }
    const auto creator = maskSid(sid_key_, kSidCreator, 2);
    std::vector<Ace> out;
    auto add = [&](RowPointer, const std::vector<Value>& row) {
        const bool* inheritable = std::get_if<bool>(&cell(def, row, c_inherit));
        if (intOf(cell(def, row, c_object)) != tables_id_ || !inheritable || !*inheritable)
            return Status::ok();
        std::vector<uint8_t> sid = bytesOf(cell(def, row, c_sid));
        // "Creator" stands for whoever creates the object: the database owner here.
        if (sid == creator)
            sid = database_owner_;
        const int32_t acm = intOf(cell(def, row, c_acm));
        auto it = std::find_if(out.begin(), out.end(), [&](const Ace& a) { return a.sid == sid; });
        if (it == out.end()) {
            out.push_back({std::move(sid), acm});
        } else {
            it->acm |= acm;
        }
        return Status::ok();
    };
    JET_RETURN_IF_ERROR(forEachRow(def, {c_object, c_sid, c_acm, c_inherit}, add));
    if (out.empty())
        out.push_back({database_owner_, kFullAccessAcm});
    return out;
}

Result<Catalog::Plan> Catalog::prepare(uint32_t tdef_page, const std::u16string& name,
                                       double date) const {
    if (!unsupported_index_.empty())
        return Status::notSupported(unsupported_index_);
    JET_RETURN_IF_ERROR(checkNewTableName(name));
    Pager& pager = alloc_.pager();
    const TableDef& objs = msys_objects_->def();
    const TableDef& acl = msys_aces_->def();
    Plan plan;

    std::vector<Value> values(objs.columns.size(), Null{});
    auto setValue = [&](const char* col, Value v) {
        for (size_t i = 0; i < objs.columns.size(); ++i)
            if (objs.columns[i].name == col)
                values[i] = std::move(v);
    };
    setValue("Id", static_cast<int32_t>(tdef_page));
    setValue("ParentId", tables_id_);
    setValue("Name", name);
    setValue("Type", kObjectTypeTable);
    setValue("DateCreate", DateTime{date});
    setValue("DateUpdate", DateTime{date});
    setValue("Owner", Bytes(database_owner_));
    setValue("Flags", int32_t{0});
    JET_RETURN_IF_ERROR(packValues(objs, values).status());
    plan.object_values = std::move(values);

    JET_ASSIGN_OR_RETURN(std::vector<Ace> aces, inheritedAces());
    for (const Ace& a : aces) {
        std::vector<Value> v(acl.columns.size(), Null{});
        for (size_t i = 0; i < acl.columns.size(); ++i) {
            const std::string& n = acl.columns[i].name;
            if (n == "ObjectId")
                v[i] = static_cast<int32_t>(tdef_page);
            if (n == "SID")
                v[i] = Bytes(a.sid);
            if (n == "ACM")
                v[i] = a.acm;
            if (n == "FInheritable")
                v[i] = false;
        }
        JET_ASSIGN_OR_RETURN(std::vector<uint8_t> row, packValues(acl, v));
        plan.ace_rows.push_back(std::move(row));
    }

    appendLongKey(plan.parent_name_key, tables_id_);
    JET_RETURN_IF_ERROR(appendGeneralLegacyTextKey(plan.parent_name_key, name));
    appendLongKey(plan.id_key, static_cast<int32_t>(tdef_page));
    appendLongKey(plan.ace_key, static_cast<int32_t>(tdef_page));
    const RealIndex& pn_index = objs.real_indexes[parent_name_index_];
    const RealIndex& id_index = objs.real_indexes[id_index_];
    const RealIndex& ace_index = acl.real_indexes[ace_index_];
    JET_ASSIGN_OR_RETURN(plan.parent_name_leaf, loadRootLeaf(pager, pn_index, "MSysObjects"));
    JET_ASSIGN_OR_RETURN(plan.id_leaf, loadRootLeaf(pager, id_index, "MSysObjects"));
    JET_ASSIGN_OR_RETURN(plan.ace_leaf, loadRootLeaf(pager, ace_index, "MSysACEs"));

    // Trial inserts with the largest row id, so the real entries can only be as long.
    const RowPointer trial{kTrialPage, 0xFF};
    {
        IndexLeaf probe = plan.parent_name_leaf;
        if (!insertIndexEntry(probe, withRowId(plan.parent_name_key, trial), true)) {
            return Status::invalidArgument("a table named \"" + toUtf8(name) +
                                           "\" already exists in the catalog index");
        }
    }
    JET_RETURN_IF_ERROR(checkLeafRoom(plan.parent_name_leaf,
                                      {withRowId(plan.parent_name_key, trial)}, pager.pageSize(),
                                      pn_index.root_page));
    JET_RETURN_IF_ERROR(checkLeafRoom(plan.id_leaf, {withRowId(plan.id_key, trial)},
                                      pager.pageSize(), id_index.root_page));
    JET_RETURN_IF_ERROR(checkLeafRoom(
        plan.ace_leaf,
        std::vector<std::vector<uint8_t>>(plan.ace_rows.size(), withRowId(plan.ace_key, trial)),
        pager.pageSize(), ace_index.root_page));
    return plan;
}

Status Catalog::checkAddTable(const std::u16string& name) const {
    return prepare(kTrialPage, name, 0).status();
}

Status Catalog::addTable(uint32_t tdef_page, const std::u16string& name, double date,
                         const std::vector<uint8_t>& properties) {
    JET_ASSIGN_OR_RETURN(Plan plan, prepare(tdef_page, name, date));
    if (!properties.empty() && !column(msys_objects_->def(), "LvProp")) {
        return Status::notSupported("MSysObjects has no LvProp column for column properties");
    }
    if (!properties.empty()) {
        const auto& cols = msys_objects_->def().columns;
        for (size_t i = 0; i < cols.size(); ++i)
            if (cols[i].name == "LvProp")
                plan.object_values[i] = Bytes(properties);
    }
    Pager& pager = alloc_.pager();
    const uint32_t pn_root = msys_objects_->def().real_indexes[parent_name_index_].root_page;
    const uint32_t id_root = msys_objects_->def().real_indexes[id_index_].root_page;
    const uint32_t ace_root = msys_aces_->def().real_indexes[ace_index_].root_page;

    // The object row and its index entries, then the ACE rows and theirs.
    JET_ASSIGN_OR_RETURN(RowPointer at, msys_objects_->appendRow(plan.object_values));
    JET_RETURN_IF_ERROR(msys_objects_->writeCounters());
    insertIndexEntry(plan.parent_name_leaf, withRowId(plan.parent_name_key, at), false);
    insertIndexEntry(plan.id_leaf, withRowId(plan.id_key, at), false);
    JET_RETURN_IF_ERROR(storeLeaf(pager, pn_root, plan.parent_name_leaf));
    JET_RETURN_IF_ERROR(storeLeaf(pager, id_root, plan.id_leaf));
    for (int index : {parent_name_index_, id_index_}) {
        const uint32_t count = msys_objects_->def().real_indexes[index].unique_count;
        JET_RETURN_IF_ERROR(msys_objects_->setUniqueCount(index, count + 1));
    }

    for (const auto& row : plan.ace_rows) {
        JET_ASSIGN_OR_RETURN(RowPointer ace_at, msys_aces_->insertRow(row));
        insertIndexEntry(plan.ace_leaf, withRowId(plan.ace_key, ace_at), false);
    }
    JET_RETURN_IF_ERROR(storeLeaf(pager, ace_root, plan.ace_leaf));
    JET_RETURN_IF_ERROR(msys_aces_->addRows(static_cast<uint32_t>(plan.ace_rows.size())));
    const uint32_t ace_count = msys_aces_->def().real_indexes[ace_index_].unique_count;
    JET_RETURN_IF_ERROR(msys_aces_->setUniqueCount(ace_index_, ace_count + 1));

    CatalogObject o;
    o.where = at;
    o.id = static_cast<int32_t>(tdef_page);
    o.parent_id = tables_id_;
    o.name = name;
    o.type = kObjectTypeTable;
    o.owner = database_owner_;
    objects_.push_back(std::move(o));
    return Status::ok();
}

Result<std::map<std::u16string, ColumnRules>> Catalog::columnRules(const CatalogObject& o) {
    const TableDef& def = msys_objects_->def();
    const ColumnDef* c_props = column(def, "LvProp");
    if (!c_props)
        return std::map<std::u16string, ColumnRules>{};
    RowDecoder decoder(alloc_.pager(), JetVersion::kJet4, code_page_);
    JET_ASSIGN_OR_RETURN(RawRow raw, decoder.rowAt(o.where, true));
    if (raw.deleted)
        return Status::corrupt("the catalog row of table \"" + toUtf8(o.name) + "\" is deleted");
    std::vector<bool> wanted(def.columns.size(), false);
    const size_t props = static_cast<size_t>(c_props - def.columns.data());
    wanted[props] = true;
    std::vector<Value> row;
    JET_RETURN_IF_ERROR(decoder.decode(def, raw, o.where, row, &wanted));
    if (isNull(row[props]))
        return std::map<std::u16string, ColumnRules>{};
    return parseColumnRules(bytesOf(row[props]));
}

}  // namespace jet
