// The databases of each file version: the empty templates the converters fill, and sample
// sources with realistic data for trying the program out and for benchmarks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "jet/status.h"
#include "jet/writer.h"

namespace vkdc {

// The four tables of `version` ("1.0", "2.0", "3.0"): every column nullable, Memo for
// Table_Site.Tozihat, Table_Contact.Address and Table_Contact.Image, Text(255) otherwise.
jet::Result<std::vector<jet::TableSpec>> schemaOf(const std::string& version);

// Writes an empty database of `version` with that version's password to `path`, atomically
// (a temporary file in the same folder, then rename). `date` (OLE) fixes its creation date,
// else now; with it the file's bytes are always the same.
jet::Status makeTemplate(const std::string& version, const std::string& path,
                         std::optional<double> date = {});

struct SampleOptions {
    uint32_t contacts = 40;   // rows of Table_Contact
    uint32_t sites = 0;       // 0: a quarter of the contacts, at least 5
    uint32_t categories = 0;  // 0: min(200, contacts / 10), at least 4
    uint32_t seed = 1;
    std::optional<double> date;  // the creation date (OLE); now when unset
};

// Writes a source database of `version` ("1.0" or "2.0") filled with Persian and English
// rows, including the awkward values: blanks at the ends, empty text against no value,
// zero-width non-joiners, characters outside the BMP and long memos. A sample that would pass
// the 2 GB limit of the file format is kTooLarge, and leaves nothing at `path`.
jet::Status makeSample(const std::string& version, const std::string& path,
                       const SampleOptions& options = {});

// The most contacts a sample of `version` with the default sites and categories holds within
// the 2 GB limit; makeSample refuses more before it writes anything.
uint32_t maxSampleContacts(const std::string& version);

}  // namespace vkdc
