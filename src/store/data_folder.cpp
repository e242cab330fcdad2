#include "store/data_folder.h"

#ifdef _WIN32
#include <windows.h>

#include "jet/win32.h"
#else
#include <unistd.h>

#include <climits>
#endif

#include "store/file_ops.h"

namespace vkdc {

std::string executableFolder() {
#ifdef _WIN32
    std::wstring buf(MAX_PATH, L'\0');
    DWORD n = 0;
    while ((n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()))) ==
               buf.size() &&
           buf.size() < 32768) {
        buf.resize(buf.size() * 2);
    }
    if (n == 0)
        return ".";
    const std::string path = jet::win::narrow(buf.substr(0, n));
#else
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    const std::string path(buf, static_cast<size_t>(n));
#endif
    return folderOf(path);
}

std::vector<std::string> dataFolders() {
    const std::string exe = executableFolder();
    return {exe, exe + "/../share/vkdc"};
}

std::string dataFolderOf(const std::string& file_name) {
    const auto folders = dataFolders();
    for (const auto& f : folders) {
        auto info = fileInfo(f + "/" + file_name);
        if (info && info->kind == FileKind::kRegular)
            return f;
    }
    return folders.front();
}

}  // namespace vkdc
