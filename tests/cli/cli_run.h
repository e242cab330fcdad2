// Runs the built vkdc-cli as a user would, in a child process: its exit status and what it
// wrote to stdout and stderr (through files, so large output cannot block it).
#pragma once

#ifdef _WIN32
#include <windows.h>

#include "jet/win32.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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
    // POSIX only: a file-size limit (ulimit -f) in bytes when not 0, and instead of the captured
    // file a path for stdout, or "closed".
    long file_size_limit = 0;
    std::string stdout_to;
};

#ifdef _WIN32
using Process = HANDLE;

// One argument quoted for CommandLineToArgvW: blanks and quotes survive, backslashes too.
inline std::wstring quoteArgument(const std::wstring& a) {
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t c : a) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out.push_back(c);
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}

// Starts vkdc-cli with `args`, its output going to `out_path` and `err_path`.
inline Process startCli(const std::vector<std::string>& args, const std::string& out_path,
                        const std::string& err_path, const CliEnv& env = {}) {
    using jet::win::widen;
    std::wstring line = quoteArgument(widen(VKDC_CLI_PATH));
    for (const auto& a : args)
        line += L" " + quoteArgument(widen(a));
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    auto open = [&](const std::string& p) {
        return ::CreateFileW(widen(p).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, nullptr);
    };
    HANDLE out = open(out_path), err = open(err_path);
    HANDLE in = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in;
    si.hStdOutput = out;
    si.hStdError = err;
    // TMPDIR's part on Windows: TMP and TEMP of the child's environment.
    std::wstring block;
    if (!env.tmpdir.empty()) {
        wchar_t* cur = ::GetEnvironmentStringsW();
        for (const wchar_t* e = cur; *e; e += wcslen(e) + 1) {
            const std::wstring var = e;
            if (_wcsnicmp(e, L"TMP=", 4) != 0 && _wcsnicmp(e, L"TEMP=", 5) != 0)
                block += var + L'\0';
        }
        ::FreeEnvironmentStringsW(cur);
        block += L"TMP=" + widen(env.tmpdir) + L'\0' + L"TEMP=" + widen(env.tmpdir) + L'\0';
        block += L'\0';
    }
    PROCESS_INFORMATION pi{};
    const std::wstring cwd = widen(env.cwd);
    const BOOL ok = ::CreateProcessW(
        nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
        block.empty() ? nullptr : block.data(), cwd.empty() ? nullptr : cwd.c_str(), &si, &pi);
    ::CloseHandle(out);
    ::CloseHandle(err);
    ::CloseHandle(in);
    if (!ok)
        return nullptr;
    ::CloseHandle(pi.hThread);
    return pi.hProcess;
}

// Waits for the process, ending it once `timeout_s` has passed (status 128 + 9, as a kill).
inline int waitCli(Process process, int timeout_s) {
    DWORD code = 0;
    if (::WaitForSingleObject(process, static_cast<DWORD>(timeout_s) * 1000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process, 128 + 9);
        ::WaitForSingleObject(process, INFINITE);
    }
    ::GetExitCodeProcess(process, &code);
    ::CloseHandle(process);
    return static_cast<int>(code);
}

inline bool started(Process process) {
    return process != nullptr;
}
// Ends the process at once, as SIGKILL does.
inline void killCli(Process process) {
    ::TerminateProcess(process, 128 + 9);
}
#else
using Process = pid_t;

// Starts vkdc-cli with `args`, its output going to `out_path` and `err_path`.
inline Process startCli(const std::vector<std::string>& args, const std::string& out_path,
                        const std::string& err_path, const CliEnv& env = {}) {
    std::vector<std::string> argv_s{VKDC_CLI_PATH};
    argv_s.insert(argv_s.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_s)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const std::string& out_to = env.stdout_to.empty() ? out_path : env.stdout_to;
        const int out = env.stdout_to == "closed"
                            ? 1
                            : ::open(out_to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = ::open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0)
            ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (env.stdout_to == "closed")
            ::close(1);
        if (env.file_size_limit > 0) {
            const rlimit limit{static_cast<rlim_t>(env.file_size_limit),
                               static_cast<rlim_t>(env.file_size_limit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
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
inline int waitCli(Process pid, int timeout_s) {
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

inline bool started(Process pid) {
    return pid > 0;
}
inline void killCli(Process pid) {
    ::kill(pid, SIGKILL);
}

#endif

inline CliRun runCli(const std::vector<std::string>& args, const CliEnv& env = {}) {
    testing_support::TempDir tmp;
    const std::string out_path = tmp.file("out"), err_path = tmp.file("err");
    CliRun r;
    const Process pid = startCli(args, out_path, err_path, env);
    if (!started(pid))
        return r;
    r.status = waitCli(pid, env.timeout_s);
    r.out = testing_support::readFile(out_path).value_or("");
    r.err = testing_support::readFile(err_path).value_or("");
    return r;
}

}  // namespace cli_test
