#include "convert/dialog_start.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include "jet/win32.h"
#endif

namespace vkdc {
namespace {

namespace fs = std::filesystem;

fs::path pathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool isFolder(const std::string& utf8) {
    if (utf8.empty())
        return false;
    std::error_code error;
    return fs::is_directory(pathOf(utf8), error);
}

}  // namespace

DialogStart dialogStart(const std::string& initial_path, const std::string& folder,
                        const std::string& home) {
    DialogStart start{folder, initial_path};
    const fs::path initial = pathOf(initial_path);
    if (!initial_path.empty() && initial.is_absolute()) {
        start.folder = utf8Of(initial.parent_path());
        start.fileName = utf8Of(initial.filename());
    }
    if (!isFolder(start.folder))
        start.folder = home;
    return start;
}

std::string homeFolder() {
#ifdef _WIN32
    const wchar_t* home = _wgetenv(L"USERPROFILE");
    return home && *home ? jet::win::narrow(home) : std::string("C:\\");
#else
    const char* home = std::getenv("HOME");
    return home && *home ? std::string(home) : std::string("/");
#endif
}

}  // namespace vkdc
