// Connection strings in the Jet OLE DB provider's form, built by the converters' fixed rule
// and parsed the way the provider does.
#pragma once

#include <map>
#include <string>

#include "jet/status.h"
#include "store/version_pair.h"

namespace vkdc {

inline constexpr char kProvider[] = "Microsoft.Jet.OLEDB.4.0";

// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source={path};Jet OLEDB:Database Password={pw};"
// The path goes in as given (not trimmed); only a path the provider would misread (one holding
// ";", starting with a quote or with blanks at either end) is quoted, the OLE DB way.
std::string sourceConnectionString(const VersionPair& pair, const std::string& source_path);

// "Provider=...;Data Source={folder}/VKDB23.mdb;;Jet OLEDB:Database Password={pw};" — the file
// name brings its own closing semicolon, so two follow each other.
std::string templateConnectionString(const VersionPair& pair, const std::string& folder);

// Quotes `value` if the provider would otherwise misread it; returns it unchanged if not.
std::string quoteConnectionValue(const std::string& value);

struct ConnectionProperties {
    std::map<std::string, std::string> values;  // keyword in lower case -> value

    std::string get(const std::string& keyword) const;  // case-insensitive, "" when absent
    std::string provider() const { return get("provider"); }
    std::string dataSource() const { return get("data source"); }
    std::string password() const { return get("jet oledb:database password"); }
};

// Keywords are case-insensitive, empty segments are skipped, single- or double-quoted values
// may hold ";" (a doubled quote inside stands for one). A segment without "=" or an unclosed
// quote is kInvalidArgument. A later keyword overrides an earlier one.
jet::Result<ConnectionProperties> parseConnectionString(const std::string& text);

}  // namespace vkdc
