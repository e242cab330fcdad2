#include "store/templates.h"

#include <functional>
#include <random>

#include "store/file_ops.h"
#include "store/version_pair.h"

namespace vkdc {
namespace {

using jet::Status;

bool isMemo(const std::string& table, const std::string& column) {
    return (table == "Table_Site" && column == "Tozihat") ||
           (table == "Table_Contact" && (column == "Address" || column == "Image"));
}

// Creates the database at a temporary name beside `path`, lets `fill` write into it, closes
// it (flush + fsync) and renames it into place. A failure leaves no partial file behind.
Status writeAtomically(const std::string& path, const std::string& version,
                       std::optional<double> date,
                       const std::function<Status(jet::Writer&)>& fill) {
    // The rename below would put the new file in place of a FIFO or a device.
    JET_ASSIGN_OR_RETURN(FileInfo existing, fileInfo(path));
    if (existing.kind == FileKind::kFolder || existing.kind == FileKind::kOther) {
        return Status::ioError(path + ": is " + existing.what + ", not a regular file");
    }
    const std::string tmp = path + ".tmp-" + std::to_string(std::random_device{}() % 1000000);
    jet::CreateOptions options;
    options.password = jet::fromUtf8(passwordOfVersion(version));
    options.creation_date = date;
    auto w = jet::Writer::create(tmp, options);
    if (!w) {
        (void)removeFile(tmp);
        return w.status();
    }
    Status st = fill(**w);
    if (st.isOk())
        st = (*w)->close();
    w->reset();
    if (st.isOk())
        st = renameOver(tmp, path);
    if (!st.isOk())
        (void)removeFile(tmp);
    return st;
}

Status createTables(jet::Writer& w, const std::string& version) {
    JET_ASSIGN_OR_RETURN(std::vector<jet::TableSpec> specs, schemaOf(version));
    for (const auto& layout : specs)
        JET_RETURN_IF_ERROR(w.createTable(layout));
    return Status::ok();
}

// A small deterministic generator, so samples are the same on every machine.
class Rng {
  public:
    explicit Rng(uint32_t seed) : s_(seed * 2654435761u + 1) {}
    uint32_t next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 17;
        s_ ^= s_ << 5;
        return s_;
    }
    template <size_t N>
    const char* pick(const char* const (&a)[N]) {
        return a[next() % N];
    }

  private:
    uint32_t s_;
};

// The most contacts a default sample holds within 2 GB, found by bisection with
// `vkdc-bench-scale limit`. Samples are the same on every machine, so these hold until the
// sample data changes; the writer's own check stops a sample that would not fit all the same.
constexpr uint32_t kMaxContacts10 = 3161879;
constexpr uint32_t kMaxContacts20 = 3102615;

const char* const kFirstNames[] = {"علی",  "زهرا", "محمد", "فاطمه", "رضا",  "مریم", "حسین",
                                   "سارا", "امیر", "نرگس", "Ali",   "Sara", "John", "Maryam"};
const char* const kLastNames[] = {
    "احمدی",  "رضایی",  "محمدی", "کریمی", "حسینی", "نوری", "می‌رزایی",
    "Ahmadi", "Karimi", "Smith"};
const char* const kGroups[] = {"خانواده", "دوستان", "همکاران", "Work", "Friends"};
const char* const kJobs[] = {"مهندس", "پزشک", "معلم", "برنامه‌نویس", "Designer", ""};
const char* const kCities[] = {"تهران", "اصفهان", "شیراز", "مشهد", "تبریز", "Tehran"};
const char* const kSites[] = {"گوگل",   "یاهو",    "ویکی‌پدیا", "دیجی‌کالا",
                              "GitHub", "بانک ملت"};
const char* const kTopics[] = {"ایمیل", "بانک", "خرید", "شبکه اجتماعی", "Work", "خبر"};

std::u16string u(const std::string& s) {
    return jet::fromUtf8(s);
}

std::string phone(Rng& r) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0912%07u", r.next() % 10000000u);
    return buf;
}

// One value for a Text column: mostly realistic, sometimes one of the awkward cases.
jet::Value textOrEdge(Rng& r, const std::string& text) {
    switch (r.next() % 20) {
        case 0:
            return jet::Value(jet::Null{});
        case 1:
            return jet::Value(std::u16string());
        case 2:
            return jet::Value(u("  " + text + " "));
        default:
            return jet::Value(u(text));
    }
}

Status fillSample(jet::Writer& w, const std::string& version, const SampleOptions& o) {
    Rng r(o.seed);
    const uint32_t sites = o.sites ? o.sites : std::max<uint32_t>(5, o.contacts / 4);
    const uint32_t cats = o.categories
                              ? o.categories
                              : std::max<uint32_t>(4, std::min<uint32_t>(200, o.contacts / 10));

    JET_RETURN_IF_ERROR(
        w.append("Table_User", {u("admin"), u("p@ss ۱۲۳"), u("نام اولین معلم؟"), u("خانم رضایی")}));
    JET_RETURN_IF_ERROR(w.append(
        "Table_User", {u("مریم"), u("رمز‌عبور"), jet::Value(jet::Null{}), u("")}));

    const std::vector<std::string> site_cols = columnsOf(version, "Table_Site");
    for (uint32_t i = 0; i < sites; ++i) {
        std::vector<jet::Value> row;
        const std::string name = r.pick(kSites);
        for (const std::string& c : site_cols) {
            if (c == "Onvan") {
                row.push_back(u(name + " " + std::to_string(i + 1)));
            } else if (c == "Address") {
                row.push_back(textOrEdge(r, "https://www.example" + std::to_string(i) + ".ir/"));
            } else if (c == "Mozoo") {
                row.push_back(textOrEdge(r, r.pick(kTopics)));
            } else if (c == "Mobile") {
                row.push_back(textOrEdge(r, phone(r)));
            } else if (c == "Tozihat") {
                std::string note = "یادداشت برای " + name + " 🙂";
                if (i % 7 == 3) {
                    std::string big;
                    while (big.size() < 9000)
                        big += "متن بلند آزمایشی با نیم‌فاصله. ";
                    note = big;
                }
                row.push_back(i % 11 == 5 ? jet::Value(jet::Null{}) : jet::Value(u(note)));
            } else {
                row.push_back(textOrEdge(r, c + "-" + std::to_string(r.next() % 1000)));
            }
        }
        JET_RETURN_IF_ERROR(w.append("Table_Site", row));
    }
    for (uint32_t i = 0; i < cats; ++i) {
        const std::string c = i < 5 ? kGroups[i] : "گروه " + std::to_string(i + 1);
        JET_RETURN_IF_ERROR(w.append("Table_Category", {u(c)}));
    }
    for (uint32_t i = 0; i < o.contacts; ++i) {
        const std::string name = std::string(r.pick(kFirstNames)) + " " + r.pick(kLastNames);
        std::string address = std::string(r.pick(kCities)) + "، خیابان " +
                              std::to_string(r.next() % 200 + 1) + "، پلاک " +
                              std::to_string(r.next() % 90 + 1);
        JET_RETURN_IF_ERROR(
            w.append("Table_Contact",
                     {u(name), textOrEdge(r, r.pick(kGroups)), textOrEdge(r, phone(r)),
                      textOrEdge(r, "021" + std::to_string(20000000 + r.next() % 9999999)),
                      textOrEdge(r, ""), textOrEdge(r, "user" + std::to_string(i) + "@example.com"),
                      textOrEdge(r, "www.example.ir"), textOrEdge(r, r.pick(kJobs)), u(address),
                      i % 3 == 0 ? jet::Value(jet::Null{})
                                 : jet::Value(u("C:\\Pictures\\" + std::to_string(i) + ".jpg"))}));
    }
    return Status::ok();
}

}  // namespace

jet::Result<std::vector<jet::TableSpec>> schemaOf(const std::string& version) {
    if (version != "1.0" && version != "2.0" && version != "3.0") {
        return Status::invalidArgument("unknown file version \"" + version +
                                       "\" (expected 1.0, 2.0 or 3.0)");
    }
    std::vector<jet::TableSpec> specs;
    for (const std::string& table : tableNames()) {
        jet::TableSpec layout{table, {}};
        for (const std::string& col : columnsOf(version, table)) {
            jet::ColumnSpec c;
            c.name = col;
            c.type = isMemo(table, col) ? jet::ColumnType::kMemo : jet::ColumnType::kText;
            c.length = isMemo(table, col) ? 0 : 255;
            c.nullable = true;
            layout.columns.push_back(c);
        }
        specs.push_back(std::move(layout));
    }
    return specs;
}

Status makeTemplate(const std::string& version, const std::string& path,
                    std::optional<double> date) {
    if (version != "2.0" && version != "3.0") {
        return Status::invalidArgument("templates exist for versions 2.0 and 3.0, not \"" +
                                       version + "\"");
    }
    return writeAtomically(path, version, date,
                           [&](jet::Writer& w) { return createTables(w, version); });
}

uint32_t maxSampleContacts(const std::string& version) {
    return version == "1.0" ? kMaxContacts10 : kMaxContacts20;
}

Status makeSample(const std::string& version, const std::string& path, const SampleOptions& o) {
    if (version != "1.0" && version != "2.0") {
        return Status::invalidArgument("sample sources exist for versions 1.0 and 2.0, not \"" +
                                       version + "\"");
    }
    if (o.sites == 0 && o.categories == 0 && o.contacts > maxSampleContacts(version)) {
        return Status::tooLarge("a sample of " + std::to_string(o.contacts) +
                                " contacts would exceed the 2 GB limit of the file format (at "
                                "most " +
                                std::to_string(maxSampleContacts(version)) + " fit)");
    }
    return writeAtomically(path, version, o.date, [&](jet::Writer& w) {
        JET_RETURN_IF_ERROR(createTables(w, version));
        return fillSample(w, version, o);
    });
}

}  // namespace vkdc
