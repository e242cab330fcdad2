// vkdc-bench-start: how long the launcher takes to appear, measured from outside on an X display.
//
//   vkdc-bench-start [--runs N] [--program PATH]
//
// Starts `vkdc` (beside this program by default) N times (default 10) on the display in
// DISPLAY, an Xvfb without a window manager for instance, and times each start from the spawn
// until the launcher's window is mapped and until it is painted (the pixel at its centre is no
// longer what the screen showed there before), then ends it. The first run gets a font cache of its
// own that is empty, as on a fresh machine: a copy of the system's fontconfig setup whose cache
// folder is new. The later runs reuse that cache. Prints the first run and the median of the later
// ones. The file system cache is left as it is, so the program's own files are read from memory in
// every run.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_util.h"

extern char** environ;

namespace {

constexpr const char* kTitle = "Velkor Database Convert";

struct Timing {
    double mapped = -1;  // seconds from the spawn
    double painted = -1;
};

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t a = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

std::string windowName(xcb_connection_t* c, xcb_window_t w, xcb_atom_t name_atom) {
    xcb_get_property_reply_t* r = xcb_get_property_reply(
        c, xcb_get_property(c, 0, w, name_atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 256), nullptr);
    std::string name;
    if (r)
        name.assign(static_cast<const char*>(xcb_get_property_value(r)),
                    xcb_get_property_value_length(r));
    std::free(r);
    return name;
}

// The pixel of the root window at (x, y), or nothing when it cannot be read.
std::optional<uint32_t> pixelAt(xcb_connection_t* c, xcb_window_t root, int x, int y) {
    xcb_get_image_reply_t* r = xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, root, static_cast<int16_t>(x),
                      static_cast<int16_t>(y), 1, 1, ~0u),
        nullptr);
    if (!r)
        return std::nullopt;
    uint32_t value = 0;
    std::memcpy(&value, xcb_get_image_data(r),
                std::min<size_t>(sizeof value, xcb_get_image_data_length(r)));
    std::free(r);
    return value;
}

// A fontconfig setup that reads the system's fonts but keeps its cache in `folder` alone.
std::string freshFontConfig(const std::filesystem::path& folder) {
    std::ifstream in("/etc/fonts/fonts.conf");
    std::stringstream text;
    text << in.rdbuf();
    std::string conf = text.str();
    // Drop the system's <cachedir ...>...</cachedir> elements (std::regex would do, but
    // GCC 12 warns inside its own regex code under the sanitizer build).
    for (size_t at = conf.find("<cachedir"); at != std::string::npos;
         at = conf.find("<cachedir", at)) {
        const size_t close = conf.find("</cachedir>", at);
        if (close == std::string::npos)
            break;
        conf.erase(at, close + std::strlen("</cachedir>") - at);
    }
    const std::string cache = "<cachedir>" + (folder / "cache").string() + "</cachedir>";
    const size_t end = conf.rfind("</fontconfig>");
    if (end == std::string::npos)
        return {};
    conf.insert(end, cache + "\n");
    const std::filesystem::path file = folder / "fonts.conf";
    std::ofstream(file) << conf;
    return file.string();
}

Timing startOnce(const std::string& program, const std::vector<std::string>& extra_env) {
    Timing timing;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return timing;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t root = screen->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t net_wm_name = atom(c, "_NET_WM_NAME");
    xcb_flush(c);

    std::vector<std::string> env_text;
    for (char** e = environ; *e; ++e)
        env_text.emplace_back(*e);
    env_text.insert(env_text.end(), extra_env.begin(), extra_env.end());
    std::vector<char*> envp;
    for (std::string& e : env_text)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string arg0 = program;
    char* argv[] = {arg0.data(), nullptr};
    // What the screen shows where the launcher will be, centred, before it is there.
    const std::optional<uint32_t> before =
        pixelAt(c, root, screen->width_in_pixels / 2, screen->height_in_pixels / 2);

    const auto start = bench::Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0) {
        xcb_disconnect(c);
        return timing;
    }
    // Wait for the launcher's window to be mapped, then for its centre to be painted.
    xcb_window_t window = XCB_WINDOW_NONE;
    int cx = 0, cy = 0;
    while (bench::secondsSince(start) < 30) {
        if (window == XCB_WINDOW_NONE) {
            xcb_generic_event_t* event = xcb_poll_for_event(c);
            if (!event) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                if (windowName(c, map->window, net_wm_name) == kTitle) {
                    timing.mapped = bench::secondsSince(start);
                    window = map->window;
                    xcb_get_geometry_reply_t* g =
                        xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
                    if (g) {
                        cx = g->x + g->width / 2;
                        cy = g->y + g->height / 2;
                    }
                    std::free(g);
                }
            }
            std::free(event);
            continue;
        }
        const std::optional<uint32_t> now = pixelAt(c, root, cx, cy);
        if (now && before && *now != *before) {
            timing.painted = bench::secondsSince(start);
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    xcb_disconnect(c);
    return timing;
}

double median(std::vector<double> values) {
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 10;
    std::string program = (std::filesystem::path(argv[0]).parent_path() / "vkdc").string();
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(2, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--program") == 0)
            program = argv[i + 1];
    }
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "vkdc-bench-start: needs an X display in DISPLAY (an Xvfb will do)\n");
        return 2;
    }
    // An X server started without -noreset resets when its last client leaves, and a client
    // connecting during the reset is refused. Stay connected between runs so that never happens.
    xcb_connection_t* keep_server = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(keep_server)) {
        std::fprintf(stderr, "vkdc-bench-start: cannot connect to the display in DISPLAY\n");
        xcb_disconnect(keep_server);
        return 1;
    }
    char folder_template[] = "/tmp/vkdc-bench-start.XXXXXX";
    if (!mkdtemp(folder_template)) {
        std::perror("vkdc-bench-start: mkdtemp");
        return 1;
    }
    const std::filesystem::path folder(folder_template);
    const std::string fonts_conf = freshFontConfig(folder);
    if (fonts_conf.empty()) {
        std::fprintf(stderr, "vkdc-bench-start: cannot read /etc/fonts/fonts.conf\n");
        return 1;
    }
    std::filesystem::create_directories(folder / "runtime");
    std::filesystem::permissions(folder / "runtime", std::filesystem::perms::owner_all);
    const std::vector<std::string> env = {
        "FONTCONFIG_FILE=" + fonts_conf, "XDG_CACHE_HOME=" + (folder / "xdg-cache").string(),
        "XDG_RUNTIME_DIR=" + (folder / "runtime").string(), "QT_QPA_PLATFORM=xcb"};

    std::vector<Timing> timings;
    for (int i = 0; i < runs; ++i) {
        timings.push_back(startOnce(program, env));
        if (timings.back().painted < 0) {
            std::fprintf(stderr, "vkdc-bench-start: run %d: the launcher did not appear\n", i + 1);
            std::filesystem::remove_all(folder);
            xcb_disconnect(keep_server);
            return 1;
        }
    }
    std::vector<double> mapped, painted;
    for (size_t i = 1; i < timings.size(); ++i) {
        mapped.push_back(timings[i].mapped);
        painted.push_back(timings[i].painted);
    }
    std::printf("program:                    %s\n", program.c_str());
    std::printf("first start, empty font cache: mapped %6.0f ms, painted %6.0f ms\n",
                timings[0].mapped * 1000, timings[0].painted * 1000);
    std::printf("later starts (median of %zu):  mapped %6.0f ms, painted %6.0f ms\n",
                painted.size(), median(mapped) * 1000, median(painted) * 1000);
    std::printf("later starts, slowest:         painted %6.0f ms\n",
                *std::max_element(painted.begin(), painted.end()) * 1000);
    std::filesystem::remove_all(folder);
    xcb_disconnect(keep_server);
    return 0;
}
