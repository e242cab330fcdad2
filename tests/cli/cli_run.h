// Runs the built vkdc-cli as a user would, in a child process: its exit status and what it
// wrote to stdout and stderr (through files, so large output cannot block it).
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/files.h"

namespace cli_test {

struct CliRun {
    int status = -1;  // the exit status, or 128 + the signal that ended it
    std::string out;
    std::string err;
};

struct CliEnv {
    std::string tmpdir;  // TMPDIR for the child when not empty
    std::string cwd;     // its working folder when not empty
    int timeout_s = 60;  // a child still running then is killed (status 128 + SIGKILL)
};

// Starts vkdc-cli with `args`, its output going to `out_path` and `err_path`.
inline pid_t startCli(const std::vector<std::string>& args, const std::string& out_path,
                      const std::string& err_path, const CliEnv& env = {}) {
    std::vector<std::string> argv_s{VKDC_CLI_PATH};
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_s)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = ::open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0)
            ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (!env.tmpdir.empty())
            ::setenv("TMPDIR", env.tmpdir.c_str(), 1);
        if (!env.cwd.empty() && ::chdir(env.cwd.c_str()) != 0)
            ::_exit(127);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// Waits for `pid`, killing it once `timeout_s` has passed; the exit status or 128 + signal.
inline int waitCli(pid_t pid, int timeout_s) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
    int ws = 0;
    while (true) {
        const pid_t r = ::waitpid(pid, &ws, WNOHANG);
        if (r == pid)
            break;
        if (r < 0 && errno != EINTR)
            return -1;
        if (std::chrono::steady_clock::now() > deadline)
            ::kill(pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return WIFEXITED(ws) ? WEXITSTATUS(ws) : 128 + WTERMSIG(ws);
}

inline CliRun runCli(const std::vector<std::string>& args, const CliEnv& env = {}) {
    testing_support::TempDir tmp;
    const std::string out_path = tmp.file("out"), err_path = tmp.file("err");
    CliRun r;
    const pid_t pid = startCli(args, out_path, err_path, env);
    if (pid < 0)
        return r;
    r.status = waitCli(pid, env.timeout_s);
    r.out = testing_support::readFile(out_path).value_or("");
    r.err = testing_support::readFile(err_path).value_or("");
    return r;
}

}  // namespace cli_test
