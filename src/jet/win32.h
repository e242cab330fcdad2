// Windows helpers shared by the engine and the store (built on Windows only): paths are UTF-8
// inside the program and become UTF-16 at the Windows API, with the "\\?\" prefix once they
// are too long for the API's 260-character limit.
#pragma once

#include <cstdint>
#include <string>

namespace jet::win {

// UTF-8 to UTF-16 and back; invalid sequences become U+FFFD.
std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& utf16);

// `path` (UTF-8, either slash) as the Windows API should be given it: made absolute, and
// prefixed with "\\?\" (or "\\?\UNC\") when the absolute path is long, so paths of any
// length work. A path that already has the prefix is passed on as it is.
std::wstring apiPath(const std::string& path);

// The system's English-or-local text for a Windows error code, without the trailing newline.
std::string errorText(uint32_t code);

}  // namespace jet::win
