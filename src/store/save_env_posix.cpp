#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

#include "store/save_env.h"

namespace vkdc {

int SaveEnv::write(int fd, uint64_t offset, const uint8_t* data, size_t n) {
    for (size_t done = 0; done < n;) {
        const ssize_t w = ::pwrite(fd, data + done, n - done, static_cast<off_t>(offset + done));
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += static_cast<size_t>(w);
    }
    return 0;
}

int SaveEnv::sync(int fd) {
    return ::fsync(fd) == 0 ? 0 : errno;
}

int SaveEnv::link(int from_dir, const std::string& from, int to_dir, const std::string& to,
                  int flags) {
    return ::linkat(from_dir, from.c_str(), to_dir, to.c_str(), flags) == 0 ? 0 : errno;
}

int SaveEnv::rename(int from_dir, const std::string& from, int to_dir, const std::string& to) {
    return ::renameat(from_dir, from.c_str(), to_dir, to.c_str()) == 0 ? 0 : errno;
}

SaveEnv& systemSaveEnv() {
    static SaveEnv env;
    return env;
}

}  // namespace vkdc
