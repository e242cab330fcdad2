#include "store/data_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace vkdc {

std::string executableFolder() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string path(buf, static_cast<size_t>(n));
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

std::vector<std::string> dataFolders() {
    const std::string exe = executableFolder();
    return {exe, exe + "/../share/vkdc"};
}

std::string dataFolderOf(const std::string& file_name) {
    const auto folders = dataFolders();
    for (const auto& f : folders) {
        struct stat st;
        if (::stat((f + "/" + file_name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) return f;
    }
    return folders.front();
}

}  // namespace vkdc
