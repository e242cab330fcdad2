// File helpers for tests: the corpus folder, whole-file reads, temporary folders, special files.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

// The folder of real Jet files and their truth exports: the environment variable
// VKDC_TESTDATA_DIR wins over the CMake setting. Empty when neither names a folder.
inline std::string testdataDir() {
    std::string dir;
    if (const char* env = std::getenv("VKDC_TESTDATA_DIR"); env && *env) {
        dir = env;
    } else {
#ifdef VKDC_TESTDATA_DIR
        dir = VKDC_TESTDATA_DIR;
#endif
    }
    std::error_code ec;
    if (dir.empty() || !std::filesystem::is_directory(dir + "/files", ec))
        return {};
    return dir;
}

inline std::optional<std::string> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A fresh folder under the system temp dir, removed with everything in it on destruction.
class TempDir {
  public:
    TempDir() {
#ifdef _WIN32
        // Paths here are UTF-8, as inside the program; the temp folder's is plain ASCII.
        std::mt19937_64 rng{std::random_device{}()};
        for (int i = 0; i < 16 && path_.empty(); ++i) {
            const auto dir = std::filesystem::temp_directory_path() /
                             ("vkdc-test-" + std::to_string(rng() % 1000000000));
            std::error_code ec;
            if (std::filesystem::create_directory(dir, ec))
                path_ = dir.generic_string();
        }
#else
        std::string tmpl = (std::filesystem::temp_directory_path() / "vkdc-test-XXXXXX").string();
        if (char* made = ::mkdtemp(tmpl.data()))
            path_ = made;
#endif
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const {
        return path_;
    }
    std::string file(const std::string& name) const {
        return path_ + "/" + name;
    }

  private:
    std::string path_;
};

// Holds `path` as a live process of ours, or the contact manager its lock file, would: locked
// with flock() (Linux), or open to others for reading and writing only (Windows).
class HeldFile {
  public:
    explicit HeldFile(const std::string& path) {
#ifdef _WIN32
        h_ = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
        held_ = h_ != INVALID_HANDLE_VALUE;
#else
        fd_ = ::open(path.c_str(), O_RDONLY);
        held_ = fd_ >= 0 && ::flock(fd_, LOCK_EX) == 0;
#endif
    }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    ~HeldFile() {
#ifdef _WIN32
        ::CloseHandle(h_);
#else
        ::close(fd_);
#endif
    }
    bool held() const {
        return held_;
    }

  private:
#ifdef _WIN32
    HANDLE h_;
#else
    int fd_;
#endif
    bool held_ = false;
};

// Files that are not regular files, made in `dir`: a FIFO, a Unix socket and, where this
// process may make one, a null device of its own. Tests never point at /dev/null itself: a
// program that wrongly replaced it would break the whole machine. On Windows: "NUL" in `dir`,
// which names the null device in every folder.
inline std::vector<std::string> specialFiles(const std::string& dir) {
    std::vector<std::string> made;
#ifdef _WIN32
    made.push_back(dir + "/NUL");
    return made;
#else
    const std::string fifo = dir + "/fifo";
    if (::mkfifo(fifo.c_str(), 0600) == 0)
        made.push_back(fifo);
    const std::string sock = dir + "/socket";
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd >= 0 && sock.size() < sizeof addr.sun_path) {
        std::memcpy(addr.sun_path, sock.c_str(), sock.size() + 1);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
            made.push_back(sock);
    }
    if (fd >= 0)
        ::close(fd);
    const std::string device = dir + "/null-device";
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        made.push_back(device);
    return made;
#endif
}

}  // namespace testing_support
