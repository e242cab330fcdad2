// The fixed values of the two converters: file versions, passwords, template files, the
// eight data controls with their record sources, and the ordered field pairs of each table.
// Each pair is described once here; all code that converts reads these tables.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace vkdc {

enum class PairId { k10to20, k20to30 };

enum class Side { kOld, kNew };  // old: the source database; new: the template database

// One entry of a table's ordered mapping: the new-side box and its column, fed either by an
// old-side box and column (a copy) or by nothing (a blank, which stores no value).
struct FieldPair {
    std::string new_box;                       // "d12"
    std::string target_column;                 // "Gmail"
    std::optional<std::string> old_box;        // "c7"; empty for a blank
    std::optional<std::string> source_column;  // "Yahoo"; empty for a blank

    bool isBlank() const { return !old_box.has_value(); }
};

struct TablePair {
    std::string table;              // "Table_Site"
    std::string frame;              // "Frame2"
    std::string operation;          // "Convert_Site"
    std::string old_control;        // "Site_Old" / "Adodc3"
    std::string new_control;        // "Site_New" / "Adodc4"
    std::vector<FieldPair> fields;  // in order of application

    std::string recordSource() const { return "SELECT * FROM " + table; }
};

struct VersionPair {
    PairId id;
    std::string label;           // "1.0-2.0"
    std::string window;          // "VKDC12"
    std::string source_version;  // "1.0"
    std::string target_version;  // "2.0"
    std::string source_password;
    std::string target_password;
    std::string template_file;  // "VKDB12.mdb"
    // Tables in conversion order: Table_User, Table_Site, Table_Category, Table_Contact.
    std::array<TablePair, 4> tables;

    // The eight data controls in the order the analysis connects them: per table, old then new.
    std::vector<std::string> controlsInOrder() const;
};

const VersionPair& versionPair(PairId id);
// "1.0-2.0" or "2.0-3.0"; nullptr for anything else.
const VersionPair* findVersionPair(const std::string& label);

// Database passwords by file version ("1.0", "2.0", "3.0"); empty for an unknown version.
std::string passwordOfVersion(const std::string& version);

// The columns each version's tables hold, as the converters use them, in field-pair order.
// Used to build templates and sample sources.
std::vector<std::string> columnsOf(const std::string& version, const std::string& table);
const std::array<std::string, 4>& tableNames();

}  // namespace vkdc
