// Whole-file operations of a conversion: the private working copy and the atomic save.
#pragma once

#include <string>

#include "jet/status.h"

namespace vkdc {

// Creates a new folder with a unique name in `parent` (mode 0700) and returns its path.
jet::Result<std::string> makePrivateFolder(const std::string& parent, const std::string& prefix);

// Copies `src` to `dest`, which must not exist yet (mode 0600), and fsyncs it.
jet::Status copyFileExclusive(const std::string& src, const std::string& dest);

// Removes `file` and then its folder `dir` if that is empty. Missing ones are fine.
void removeFileAndFolder(const std::string& file, const std::string& dir);

// Writes a copy of `src` at `dest` atomically: a temporary file in dest's folder, fsync,
// rename over `dest`, fsync of the folder. On any failure the temporary file is removed and a
// file already at `dest` is left as it was. Errors are kIoError naming the path and the OS cause.
jet::Status copyFileAtomically(const std::string& src, const std::string& dest);

// The system temporary folder ($TMPDIR or /tmp).
std::string tempDirectory();

}  // namespace vkdc
