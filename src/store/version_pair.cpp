#include "store/version_pair.h"

namespace vkdc {
namespace {

const char kPassword10[] = "Qe4^wT*9pLr2Zk8";
const char kPassword20[] = "7#%2=91@&^408!3";  // versions 2.0 and 3.0 share it

// Copies with the same box number on both sides: `old` + n feeds `neu` + n.
std::vector<FieldPair> copies(char old, char neu, const std::vector<std::string>& columns) {
    std::vector<FieldPair> out;
    for (size_t i = 0; i < columns.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        out.push_back({std::string(1, neu) + n, columns[i], std::string(1, old) + n, columns[i]});
    }
    return out;
}

const std::vector<std::string> kUserColumns = {"UserName", "Password", "Question", "Answer"};
const std::vector<std::string> kCategoryColumns = {"Category"};
const std::vector<std::string> kContactColumns = {"Name",  "Group", "Mobile", "Home",    "Office",
                                                  "Email", "Site",  "Job",    "Address", "Image"};
const std::vector<std::string> kSite10 = {"Onvan", "Address",  "Mozoo", "Email", "Modir",  "Mobile",
                                          "Yahoo", "Facebook", "User",  "Pass",  "Tozihat"};
const std::vector<std::string> kSite20 = {"Onvan",   "Address", "Mozoo",    "Email",  "Modir",
                                          "Mobile",  "Yahoo",   "Facebook", "User",   "Pass",
                                          "Tozihat", "Gmail",   "Twitter",  "Google", "Rss"};
const std::vector<std::string> kSite30 = {
    "Onvan",    "Address",   "Mozoo",    "Email",   "Modir",    "Mobile", "User",   "Pass",
    "Telegram", "Instagram", "Facebook", "Twitter", "Linkedin", "Rss",    "Tozihat"};

// Table_Site, 1.0 to 2.0: the eleven columns copied, then four new ones left blank.
std::vector<FieldPair> site10to20() {
    std::vector<FieldPair> out = copies('c', 'd', kSite10);
    for (size_t i = kSite10.size(); i < kSite20.size(); ++i) {
        out.push_back({"d" + std::to_string(i + 1), kSite20[i], std::nullopt, std::nullopt});
    }
    return out;
}

// Table_Site, 2.0 to 3.0: by target column; a target that 2.0 lacks is blank. The source box
// keeps the number of its target box, so c9, c10 and c13 do not exist.
std::vector<FieldPair> site20to30() {
    std::vector<FieldPair> out;
    for (size_t i = 0; i < kSite30.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        const std::string& col = kSite30[i];
        bool in20 = false;
        for (const auto& c : kSite20)
            in20 = in20 || c == col;
        if (in20) {
            out.push_back({"d" + n, col, "c" + n, col});
        } else {
            out.push_back({"d" + n, col, std::nullopt, std::nullopt});
        }
    }
    return out;
}

VersionPair make(PairId id) {
    const bool first = id == PairId::k10to20;
    const char* names12[8] = {"Adodc1", "Adodc2", "Adodc3", "Adodc4",
                              "Adodc5", "Adodc6", "Adodc7", "Adodc8"};
    const char* names23[8] = {"User_Old", "User_New", "Site_Old", "Site_New",
                              "Cats_Old", "Cats_New", "Cont_Old", "Cont_New"};
    const char** names = first ? names12 : names23;
    VersionPair p{
        id,
        first ? "1.0-2.0" : "2.0-3.0",
        first ? "VKDC12" : "VKDC23",
        first ? "1.0" : "2.0",
        first ? "2.0" : "3.0",
        first ? kPassword10 : kPassword20,
        kPassword20,
        first ? "VKDB12.mdb" : "VKDB23.mdb",
        {{
            {"Table_User", "Frame1", "Convert_User", names[0], names[1],
             copies('a', 'b', kUserColumns)},
            {"Table_Site", "Frame2", "Convert_Site", names[2], names[3],
             first ? site10to20() : site20to30()},
            {"Table_Category", "Frame3", "Convert_Category", names[4], names[5],
             copies('e', 'f', kCategoryColumns)},
            {"Table_Contact", "Frame4", "Convert_Contact", names[6], names[7],
             copies('g', 'h', kContactColumns)},
        }},
    };
    return p;
}

}  // namespace

std::vector<std::string> VersionPair::controlsInOrder() const {
    std::vector<std::string> out;
    for (const auto& t : tables) {
        out.push_back(t.old_control);
        out.push_back(t.new_control);
    }
    return out;
}

const VersionPair& versionPair(PairId id) {
    static const VersionPair p12 = make(PairId::k10to20);
    static const VersionPair p23 = make(PairId::k20to30);
    return id == PairId::k10to20 ? p12 : p23;
}

const VersionPair* findVersionPair(const std::string& label) {
    for (PairId id : {PairId::k10to20, PairId::k20to30}) {
        if (versionPair(id).label == label)
            return &versionPair(id);
    }
    return nullptr;
}

std::string passwordOfVersion(const std::string& version) {
    if (version == "1.0")
        return kPassword10;
    if (version == "2.0" || version == "3.0")
        return kPassword20;
    return {};
}

const std::array<std::string, 4>& tableNames() {
    static const std::array<std::string, 4> names = {"Table_User", "Table_Site", "Table_Category",
                                                     "Table_Contact"};
    return names;
}

std::vector<std::string> columnsOf(const std::string& version, const std::string& table) {
    if (table == "Table_User")
        return kUserColumns;
    if (table == "Table_Category")
        return kCategoryColumns;
    if (table == "Table_Contact")
        return kContactColumns;
    if (table == "Table_Site") {
        if (version == "1.0")
            return kSite10;
        if (version == "2.0")
            return kSite20;
        if (version == "3.0")
            return kSite30;
    }
    return {};
}

}  // namespace vkdc
