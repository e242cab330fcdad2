#include "jet/writer.h"

#include <chrono>
#include <cstring>
#include <ctime>
#include <set>

#include "jet/catalog_builder.h"
#include "jet/data_page.h"
#include "jet/names.h"
#include "jet/properties.h"
#include "jet/system_tables.h"
#include "jet/tdef_writer.h"
#include "jet/usage_map.h"

namespace jet {
namespace {

constexpr uint32_t kJet4PageSize = 4096;
constexpr uint16_t kGeneralSortOrder = 1033;
constexpr size_t kMaxColumns = 255;
constexpr uint16_t kMaxTextChars = 255;
constexpr size_t kMapRowSize = 69;
constexpr double kUnixEpochAsOle = 25569.0;

// Column flags Access gives user columns.
constexpr uint8_t kUserFixed = ColumnDef::kFlagFixed | ColumnDef::kFlagNullable;
constexpr uint8_t kUserVariable = ColumnDef::kFlagNullable;

struct TypeInfo {
    bool allowed;
    bool fixed;
    uint16_t length;
};

TypeInfo typeInfo(ColumnType t) {
    switch (t) {
        case ColumnType::kBoolean:
            return {true, true, 1};
        case ColumnType::kByte:
            return {true, true, 1};
        case ColumnType::kInt:
            return {true, true, 2};
        case ColumnType::kLong:
            return {true, true, 4};
        case ColumnType::kMoney:
            return {true, true, 8};
        case ColumnType::kFloat:
            return {true, true, 4};
        case ColumnType::kDouble:
            return {true, true, 8};
        case ColumnType::kDateTime:
            return {true, true, 8};
        case ColumnType::kGuid:
            return {true, true, 16};
        case ColumnType::kText:
            return {true, false, 0};
        case ColumnType::kMemo:
            return {true, false, 0};
        case ColumnType::kOle:
            return {true, false, 0};
        default:
            return {false, false, 0};
    }
}

bool isLongValue(ColumnType t) {
    return t == ColumnType::kMemo || t == ColumnType::kOle;
}

}  // namespace

namespace {

// Seconds east of UTC of the local time zone at `t`.
long localOffsetSeconds(std::time_t t) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
    // The local fields read as if they were UTC, less the instant itself.
    return static_cast<long>(_mkgmtime(&local) - t);
#else
    localtime_r(&t, &local);
    return local.tm_gmtoff;
#endif
}

}  // namespace

double oleNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    const double ms =
        static_cast<double>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    const double local_seconds =
        static_cast<double>(t) + static_cast<double>(localOffsetSeconds(t));
    return kUnixEpochAsOle + (local_seconds + ms / 1000.0) / 86400.0;
}

Writer::Writer(Header header, std::unique_ptr<Pager> pager, uint32_t sid_key)
    : header_(header), pager_(std::move(pager)), sid_key_(sid_key) {
    alloc_ = std::make_unique<PageAllocator>(*pager_);
}

Writer::~Writer() {
    if (!closed_ && failure_.isOk())
        (void)(sync_on_close_ ? flush() : writeOut());
}

Result<std::unique_ptr<Writer>> Writer::create(const std::string& path,
                                               const CreateOptions& options) {
    JET_ASSIGN_OR_RETURN(std::unique_ptr<File> file, createFile(path));
    return create(std::move(file), options);
}

Result<std::unique_ptr<Writer>> Writer::create(std::unique_ptr<File> file,
                                               const CreateOptions& options) {
    if (options.sort_order != kGeneralSortOrder) {
        return Status::invalidArgument("only the General sort order (1033) can be created, not " +
                                       std::to_string(options.sort_order));
    }
    JET_ASSIGN_OR_RETURN(uint64_t size, file->size());
    if (size != 0)
        return Status::invalidArgument(file->name() + ": the file is not empty");
    const double date = options.creation_date ? *options.creation_date : oleNow();
    JET_ASSIGN_OR_RETURN(
        std::vector<uint8_t> page0,
        buildJet4Header(options.code_page, options.sort_order, date, options.password));
    JET_ASSIGN_OR_RETURN(Header header, parseHeader(page0.data(), page0.size()));
    std::vector<uint8_t> plain = page0;
    toggleHeaderMask(JetVersion::kJet4, plain.data());
    const uint32_t sid_key = sidMaskKey(plain.data());

    auto pager = std::make_unique<Pager>(std::move(file), kJet4PageSize, 0, options.cache_pages);
    {
        JET_ASSIGN_OR_RETURN(MutablePageRef p, pager->allocate());
        std::memcpy(p->data(), page0.data(), kJet4PageSize);
    }
    JET_RETURN_IF_ERROR(buildEmptyCatalog(*pager, date, options.sort_order, sid_key));
    JET_ASSIGN_OR_RETURN(std::unique_ptr<Writer> w, finishOpen(header, std::move(pager)));
    w->creation_date_ = options.creation_date;
    return w;
}

Result<std::unique_ptr<Writer>> Writer::open(const std::string& path,
                                             const WriterOpenOptions& options) {
    JET_ASSIGN_OR_RETURN(std::unique_ptr<File> file, openFileReadWrite(path));
    return open(std::move(file), options);
}

Result<std::unique_ptr<Writer>> Writer::open(std::unique_ptr<File> file,
                                             const WriterOpenOptions& options) {
    JET_ASSIGN_OR_RETURN(uint64_t size, file->size());
    std::vector<uint8_t> page0(static_cast<size_t>(std::min<uint64_t>(size, kJet4PageSize)));
    JET_RETURN_IF_ERROR(file->readAt(0, page0.size(), page0.data()));
    JET_ASSIGN_OR_RETURN(Header header, parseHeader(page0.data(), page0.size()));
    if (header.version != JetVersion::kJet4) {
        return Status::notSupported(file->name() +
                                    ": Jet 3 (Access 97) databases can be read but not written");
    }
    if (page0.size() < kJet4PageSize)
        return Status::corrupt(file->name() + ": header is truncated");
    if (!header.passwordMatches(options.password)) {
        return Status::wrongPassword(file->name() + ": the database password does not match");
    }
    auto pager =
        std::make_unique<Pager>(std::move(file), kJet4PageSize, header.db_key, options.cache_pages);
    JET_ASSIGN_OR_RETURN(std::unique_ptr<Writer> w, finishOpen(header, std::move(pager)));
    w->sync_on_close_ = options.sync_on_close;
    return w;
}

Result<std::unique_ptr<Writer>> Writer::finishOpen(Header header, std::unique_ptr<Pager> pager) {
    std::vector<uint8_t> plain;
    {
        JET_ASSIGN_OR_RETURN(PageRef p0, pager->read(0));
        plain = p0->bytes;
    }
    toggleHeaderMask(JetVersion::kJet4, plain.data());
    std::unique_ptr<Writer> w(new Writer(header, std::move(pager), sidMaskKey(plain.data())));
    JET_ASSIGN_OR_RETURN(w->catalog_, Catalog::load(*w->alloc_, header, w->sid_key_));
    return w;
}

Status Writer::usable() const {
    if (closed_)
        return Status::invalidArgument("the database has been closed");
    if (!failure_.isOk())
        return failure_.withContext("an earlier write failed");
    return Status::ok();
}

Status Writer::track(Status st) {
    if (failure_.isOk() &&
        (st.code() == Status::Code::kIoError || st.code() == Status::Code::kCorrupt)) {
        failure_ = st;
    }
    return st;
}

Status Writer::createTable(const TableSpec& request) {
    JET_RETURN_IF_ERROR(usable());
    return track(doCreateTable(request).withContext("table \"" + request.name + "\""));
}

Status Writer::doCreateTable(const TableSpec& request) {
    JET_RETURN_IF_ERROR(checkObjectName(request.name, "table name"));
    if (header_.sort_order != kGeneralSortOrder || header_.sort_version != 0) {
        return Status::notSupported(
            "the database's sort order (" + std::to_string(header_.sort_order) + ", version " +
            std::to_string(header_.sort_version) + ") has no catalog index codes here");
    }
    if (request.columns.empty() || request.columns.size() > kMaxColumns) {
        return Status::invalidArgument("a table has 1 to 255 columns, not " +
                                       std::to_string(request.columns.size()));
    }
    const std::u16string name = fromUtf8(request.name);
    JET_RETURN_IF_ERROR(catalog_->checkAddTable(name));

    // Column layout as Access makes it: numbers in order, fixed columns packed in order,
    // variable columns (MEMO/OLE included) in order.
    TableDef def;
    def.table_type = 'N';
    std::vector<ColumnRules> rules;
    std::vector<std::u16string> required;
    std::vector<std::u16string> seen;
    uint16_t fixed_offset = 0;
    uint16_t var_index = 0;
    for (size_t i = 0; i < request.columns.size(); ++i) {
        const ColumnSpec& cs = request.columns[i];
        JET_RETURN_IF_ERROR(checkObjectName(cs.name, "column name"));
        const std::u16string cname = fromUtf8(cs.name);
        for (const auto& s : seen) {
            if (sameObjectName(s, cname)) {
                return Status::invalidArgument("two columns are named \"" + cs.name + "\"");
            }
        }
        seen.push_back(cname);
        const TypeInfo info = typeInfo(cs.type);
        if (!info.allowed) {
            return Status::invalidArgument("column \"" + cs.name + "\": type " + typeName(cs.type) +
                                           " cannot be created here");
        }
        if (cs.autonumber && cs.type != ColumnType::kLong) {
            return Status::invalidArgument("column \"" + cs.name +
                                           "\": only a Long column can be an AutoNumber");
        }
        ColumnDef c;
        c.name = cs.name;
        c.type = cs.type;
        c.type_code = static_cast<uint8_t>(cs.type);
        c.number = static_cast<uint16_t>(i);
        c.sort_order = header_.sort_order;
        if (info.fixed) {
            c.flags = kUserFixed | (cs.autonumber ? ColumnDef::kFlagAutoLong : 0);
            c.length = info.length;
            if (cs.type != ColumnType::kBoolean) {
                c.fixed_offset = fixed_offset;
                fixed_offset = static_cast<uint16_t>(fixed_offset + info.length);
            }
        } else {
            c.flags = kUserVariable;
            if (cs.type == ColumnType::kText) {
                if (cs.length < 1 || cs.length > kMaxTextChars) {
                    return Status::invalidArgument("column \"" + cs.name +
                                                   "\": a Text column holds 1 to 255 "
                                                   "characters, not " +
                                                   std::to_string(cs.length));
                }
                c.length = static_cast<uint16_t>(cs.length * 2);
            }
            if (cs.type == ColumnType::kText || cs.type == ColumnType::kMemo) {
                c.ext_flags = ColumnDef::kExtCompressedUnicode;
            }
        }
        def.columns.push_back(c);
        ColumnRules r;
        r.required = !cs.nullable && !cs.autonumber && cs.type != ColumnType::kBoolean;
        if (r.required)
            required.push_back(cname);
        rules.push_back(r);
    }
    for (auto& c : def.columns)
        if (!c.isFixed())
            c.var_index = var_index++;
    assignVarSlotsOfFixedColumns(def);
    def.max_cols = static_cast<uint16_t>(def.columns.size());
    def.num_var_cols = var_index;

    size_t long_columns = 0;
    for (const auto& c : def.columns)
        long_columns += isLongValue(c.type) ? 1 : 0;
    const size_t map_rows = 2 + 2 * long_columns;
    const size_t rows_per_page =
        (kJet4PageSize - 14) / (kMapRowSize + 2);  // usage-map rows per data page
    const size_t map_pages = (map_rows + rows_per_page - 1) / rows_per_page;

    // The TDEF's size does not depend on the page numbers, so size it before allocating.
    def.long_value_maps.resize(long_columns);
    const uint32_t tdef_pages =
        tdefPageCount(buildJet4Tdef(def, TdefStyle{}).size(), kJet4PageSize);

    // Nothing has been written so far. From here on pages are allocated: the TDEF and map
    // pages, and a few for the catalog's rows (MSysObjects with its property blob, MSysACEs).
    constexpr uint32_t kCatalogPages = 8, kCatalogMaps = 12;
    JET_RETURN_IF_ERROR(alloc_->checkRoom(tdef_pages + map_pages + kCatalogPages,
                                          static_cast<uint32_t>(map_rows) + kCatalogMaps));
    for (uint32_t i = 0; i < tdef_pages; ++i) {
        JET_ASSIGN_OR_RETURN(uint32_t p, alloc_->allocate());
        def.tdef_pages.push_back(p);
    }
    def.tdef_page = def.tdef_pages.front();
    std::vector<RowPointer> maps;
    for (size_t pi = 0; pi < map_pages; ++pi) {
        JET_ASSIGN_OR_RETURN(uint32_t mp, alloc_->allocate());
        JET_ASSIGN_OR_RETURN(MutablePageRef page, pager_->write(mp));
        DataPageView view{page->data(), kJet4PageSize, mp};
        view.init(0);
        const auto empty = emptyInlineMap(kMapRowSize);
        for (size_t r = 0; r < rows_per_page && maps.size() < map_rows; ++r) {
            JET_ASSIGN_OR_RETURN(uint8_t slot, view.appendRow(empty.data(), empty.size()));
            maps.push_back(RowPointer{mp, slot});
        }
    }
    def.owned_map = maps[0];
    def.free_map = maps[1];
    size_t next_map = 2;
    def.long_value_maps.clear();
    for (const auto& c : def.columns) {
        if (!isLongValue(c.type))
            continue;
        def.long_value_maps.push_back({c.number, maps[next_map], maps[next_map + 1]});
        next_map += 2;
    }
    JET_RETURN_IF_ERROR(writeTdefPages(*pager_, def.tdef_pages, buildJet4Tdef(def, TdefStyle{})));
    JET_RETURN_IF_ERROR(catalog_->addTable(def.tdef_page, name, creation_date_.value_or(oleNow()),
                                           buildRequiredProperties(required)));
    const uint32_t page = def.tdef_page;
    tables_[page] = std::make_unique<TableAppender>(*alloc_, std::move(def), std::move(rules));
    last_table_.clear();  // names may resolve otherwise now
    return Status::ok();
}

Result<TableAppender*> Writer::appenderFor(const std::string& table) {
    // Rows come table by table: the last table looked up is usually the next one.
    if (last_appender_ && !last_table_.empty() && table == last_table_)
        return last_appender_;
    JET_ASSIGN_OR_RETURN(TableAppender * a, findAppender(table));
    last_table_ = table;
    last_appender_ = a;
    return a;
}

Result<TableAppender*> Writer::findAppender(const std::string& table) {
    const CatalogObject* o = catalog_->findTable(fromUtf8(table));
    if (!o)
        return Status::notFound("there is no table named \"" + table + "\"");
    if (o->flags & (kSystemObjectFlag | kAltSystemObjectFlag)) {
        return Status::invalidArgument("\"" + table + "\" is a system table");
    }
    if (o->id <= 0 || static_cast<uint32_t>(o->id) >= pager_->pageCount()) {
        return Status::corrupt("table \"" + table + "\" points at page " + std::to_string(o->id) +
                               ", which is not in the file");
    }
    const uint32_t page = static_cast<uint32_t>(o->id);
    auto it = tables_.find(page);
    if (it != tables_.end())
        return it->second.get();
    JET_ASSIGN_OR_RETURN(TableDef def,
                         readTableDef(*pager_, JetVersion::kJet4, header_.code_page, page));
    if (!def.indexes.empty() || !def.real_indexes.empty()) {
        const std::string index = def.indexes.empty() ? "(unnamed)" : def.indexes.front().name;
        refusals_[page] =
            "it has the index \"" + index + "\"; appending to tables with indexes is not supported";
    }
    // Required / AllowZeroLength live in the table's property blob.
    JET_ASSIGN_OR_RETURN(auto by_name, catalog_->columnRules(*o));
    std::vector<ColumnRules> rules;
    for (const auto& c : def.columns) {
        auto it = by_name.find(fromUtf8(c.name));
        rules.push_back(it == by_name.end() ? ColumnRules{} : it->second);
    }
    auto appender = std::make_unique<TableAppender>(*alloc_, std::move(def), std::move(rules));
    TableAppender* raw = appender.get();
    tables_[page] = std::move(appender);
    return raw;
}

Result<TableDef> Writer::tableDef(const std::string& table) {
    JET_RETURN_IF_ERROR(usable());
    auto a = appenderFor(table);
    if (!a.isOk())
        return track(a.status());
    return (*a)->def();
}

Status Writer::append(const std::string& table, const std::vector<Value>& values) {
    return append(table, values, nullptr);
}

Status Writer::append(const std::string& table, const std::vector<Value>& values,
                      const std::vector<bool>* stored_text) {
    JET_RETURN_IF_ERROR(usable());
    Status st = doAppend(table, values, stored_text);
    if (st.isOk())
        return st;  // the context is spelled out only for errors: appends come by the million
    return track(st.withContext("table \"" + table + "\""));
}

Status Writer::doAppend(const std::string& table, const std::vector<Value>& values,
                        const std::vector<bool>* stored_text) {
    JET_ASSIGN_OR_RETURN(TableAppender * a, appenderFor(table));
    auto refused = refusals_.find(a->def().tdef_page);
    if (refused != refusals_.end())
        return Status::notSupported(refused->second);
    return a->appendRow(values, stored_text).status();
}

Status Writer::check(const std::string& table, std::vector<Value>& values,
                     const std::vector<bool>* stored_text) {
    JET_RETURN_IF_ERROR(usable());
    Status st = [&]() -> Status {
        JET_ASSIGN_OR_RETURN(TableAppender * a, appenderFor(table));
        auto refused = refusals_.find(a->def().tdef_page);
        if (refused != refusals_.end())
            return Status::notSupported(refused->second);
        return a->check(values, stored_text);
    }();
    if (st.isOk())
        return st;
    return track(st.withContext("table \"" + table + "\""));
}

Status Writer::flush() {
    JET_RETURN_IF_ERROR(writeOut());
    return track(pager_->flush());
}

Status Writer::writeOut() {
    JET_RETURN_IF_ERROR(usable());
    for (auto& [page, appender] : tables_)
        JET_RETURN_IF_ERROR(track(appender->writeCounters()));
    return track(pager_->writeOut());
}

Status Writer::close() {
    Status st = flush();
    closed_ = true;
    return st;
}

}  // namespace jet
