// vkdc-cli: convert Velkor databases, and inspect and dump any Jet database, from the command
// line. A thin layer over the engine and the conversion core: each verb's work lives in its own
// file; its options and help are here, the one place that parses with CLI11 (a heavy header).
#include <CLI/CLI.hpp>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "jet/win32.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/common.h"

namespace {

constexpr char kExitStatuses[] =
    "Exit status: 0 success; 1 the output could not be written; 2 bad usage or unknown table;\n"
    "3 a file could not be read (missing, not a regular file, not a Jet database, unsupported,\n"
    "damaged; for convert also a source in use, a missing or unusable template); 4 wrong\n"
    "password (for convert: the source is not of the pair's version); 5 convert lost rows or\n"
    "found the source damaged (nothing is written unless --keep-partial), check found damage;\n"
    "6 convert saved nothing: the save failed, the result would pass the 2 GB limit of the file\n"
    "format, or the destination was refused (the source itself, an installed template, not a\n"
    "regular file, in use by another program).\n"
    "Use '--' before a file name that starts with '-'.";

// `convert ... --json` (before any "--"): usage errors are then answered in JSON too.
bool wantsJson(int argc, char** argv) {
    if (argc < 2 || std::string(argv[1]) != "convert")
        return false;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--")
            return false;
        if (a == "--json")
            return true;
    }
    return false;
}

// The help of the verb given, or of the program, ending in a newline.
std::string helpOf(const CLI::App& app) {
    std::string text = app.help();
    if (text.empty() || text.back() != '\n')
        text += '\n';
    return text;
}

// The arguments as CLI11 parses them (last first). CLI11 reads "--name=" as "--name" followed by
// the next argument; an empty value is meant, as in "--password=".
std::vector<std::string> argumentsOf(int argc, char** argv) {
    std::vector<std::string> args;
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        options_done = options_done || a == "--";
        const size_t eq = a.find('=');
        if (!options_done && a.rfind("--", 0) == 0 && eq != std::string::npos &&
            eq + 1 == a.size()) {
            args.push_back(a.substr(0, eq));
            args.emplace_back();
        } else {
            args.push_back(a);
        }
    }
    return {args.rbegin(), args.rend()};
}

// ---- The verbs' options and help ------------------------------------------------------------

using Action = std::function<int()>;

// Runs `run` with `opts` (parsed into by CLI11) once `sub` is the verb given.
template <typename Options, typename Run>
void onChosen(CLI::App* sub, std::shared_ptr<Options> opts, Run run, Action& action) {
    sub->callback([opts, run, &action] {
        action = [opts, run] { return run(*opts, std::cout, std::cerr); };
    });
}

void addInspect(CLI::App& app, Action& action) {
    auto opts = std::make_shared<cli::InspectOptions>();
    CLI::App* sub = app.add_subcommand("inspect", "describe a Jet database and its tables");
    sub->footer(
        "Prints the format, code page, sort order, creation date and whether a password is set,\n"
        "then every table with its exact row count and columns. Without --password the password\n"
        "is not checked; the password itself is printed only with --show-password.");
    sub->add_option("FILE", opts->file, "the database file")->required();
    sub->add_option("--password", opts->password, "check this database password");
    sub->add_flag("--show-password", opts->show_password, "print the password that is set");
    onChosen(sub, opts, cli::runInspect, action);
}

void addCheck(CLI::App& app, Action& action) {
    auto opts = std::make_shared<cli::CheckOptions>();
    CLI::App* sub = app.add_subcommand("check", "check a Jet database for damage");
    sub->footer(
        "Checks the catalog, every table definition and usage map, and every page once: column\n"
        "definitions that fit their types, each page listed once and for what it holds, no data\n"
        "page that repeats another, each long value used by one row, row counts. Each finding\n"
        "names the table, page and row. A table holding more rows than it declares is only a\n"
        "warning. Without --password the password is not checked.\n"
        "Exit status: 0 consistent; 3 the file cannot be read; 4 wrong password; 5 damaged.");
    sub->add_option("FILE", opts->file, "the database file")->required();
    sub->add_option("--password", opts->password, "check this database password");
    sub->add_flag("--json", opts->json, "print the findings as one JSON object");
    onChosen(sub, opts, cli::runCheck, action);
}

void addDump(CLI::App& app, Action& action) {
    auto opts = std::make_shared<cli::DumpOptions>();
    CLI::App* sub = app.add_subcommand("dump", "write every row of a table as CSV or JSON");
    sub->footer(
        "Writes every row of TABLE to standard output: CSV with a header row (the default), or\n"
        "one JSON object with exact values. Without --password the file must have no password.");
    sub->add_option("FILE", opts->file, "the database file")->required();
    sub->add_option("TABLE", opts->table, "the table to write")->required();
    sub->add_option("--password", opts->password, "the database password");
    sub->add_option("--format", opts->format, "csv (the default) or json")
        ->check(CLI::IsMember({"csv", "json"}));
    onChosen(sub, opts, cli::runDump, action);
}

void addConvert(CLI::App& app, Action& action) {
    auto opts = std::make_shared<cli::ConvertOptions>();
    CLI::App* sub = app.add_subcommand("convert", "convert a Velkor database to a newer version");
    sub->footer(
        "The source version is detected when --pair is not given. The source is only read; DEST\n"
        "is either left as it was or holds the complete new database, and no working file is\n"
        "left behind. DEST must not be the source, an installed template or a database another\n"
        "program has open, and an existing DEST must be a regular file; it keeps its owner,\n"
        "group and permissions (a new one takes the source's). Through a symbolic link, the file\n"
        "it names is replaced and the link stays.\n"
        "Exit status: 0 converted and saved; 1 the output could not be written; 2 bad usage;\n"
        "3 the source or a template cannot be opened or used, or the source is in use; 4 the\n"
        "source is not of the pair's version; 5 rows were lost or the source is damaged (nothing\n"
        "is written unless --keep-partial); 6 nothing was saved: the destination could not or\n"
        "must not be written, or the result would pass the 2 GB limit of the file format.");
    sub->add_option("SOURCE", opts->source, "the database to convert")->required();
    sub->add_option("DEST", opts->dest, "the new database to write")->required();
    sub->add_option("--pair", opts->pair, "the conversion: 1.0-2.0 or 2.0-3.0")
        ->check(CLI::IsMember({"1.0-2.0", "2.0-3.0"}));
    sub->add_option("--to", opts->to,
                    "the version to reach: 2.0 or 3.0 (1.0 goes straight to 3.0 in one pass)")
        ->check(CLI::IsMember({"2.0", "3.0"}));
    sub->add_flag("--verify", opts->verify,
                  "check every row of the new database before it replaces DEST");
    sub->add_flag("--keep-partial", opts->keep_partial,
                  "save the rows that were converted even when some were lost (exit status 5)");
    sub->add_flag("--json", opts->json, "print the outcome as one JSON object");
    onChosen(sub, opts, cli::runConvert, action);
}

void addMakeTemplate(CLI::App& app, Action& action) {
    auto opts = std::make_shared<cli::MakeOptions>();
    CLI::App* sub =
        app.add_subcommand("make-template", "write the empty template database of a version");
    sub->add_option("VERSION", opts->version, "2.0 or 3.0")->required();
    sub->add_option("OUT", opts->out, "the file to write")->required();
    onChosen(sub, opts, cli::runMakeTemplate, action);
}

void addMakeSample(CLI::App& app, Action& action) {
    auto opts = std::make_shared<cli::MakeOptions>();
    CLI::App* sub = app.add_subcommand(
        "make-sample", "write a source database of a version filled with sample data");
    sub->add_option("VERSION", opts->version, "1.0 or 2.0")->required();
    sub->add_option("OUT", opts->out, "the file to write")->required();
    sub->add_option("--rows", opts->sample.contacts,
                    "contacts to write (default 40; at most what fits in 2 GB)");
    onChosen(sub, opts, cli::runMakeSample, action);
}

// The verb's work, given UTF-8 arguments.
int runVerb(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    CLI::App app(
        "vkdc-cli: converts Velkor databases (1.0 to 2.0, 2.0 to 3.0) and looks into any\n"
        "Jet (Access 97-2003) database.",
        "vkdc-cli");
    app.require_subcommand(1);
    // "/tmp/x.mdb" is a path, never an option, on Windows too.
    app.allow_windows_style_options(false);
    app.footer(kExitStatuses);
    app.get_formatter()->column_width(34);

    Action action;
    addInspect(app, action);
    addCheck(app, action);
    addDump(app, action);
    addConvert(app, action);
    addMakeTemplate(app, action);
    addMakeSample(app, action);

    if (argc < 2) {
        std::cout << helpOf(app);
        return cli::kExitUsage;
    }
    try {
        app.parse(argumentsOf(argc, argv));
    } catch (const CLI::CallForHelp&) {
        std::cout << helpOf(app);
        return cli::kExitOk;
    } catch (const CLI::ParseError& e) {
        std::string where = "vkdc-cli";
        for (const CLI::App* sub : app.get_subcommands())
            where += " " + sub->get_name();
        if (wantsJson(argc, argv)) {
            std::cout << cli::convertFailureJson(cli::kExitUsage, "usage", e.what()) << "\n";
        }
        std::cerr << "vkdc-cli: " << cli::printable(e.what()) << "\n"
                  << "Run '" << where << " --help' for more information.\n";
        return cli::kExitUsage;
    }
    return action ? action() : cli::kExitUsage;
}

// The program: the verb, then what it printed written out. Output that cannot be written (a
// full disk, a closed standard output) fails the run, or a script would take it for done.
int run(int argc, char** argv) {
    const int status = runVerb(argc, argv);
    std::cout.flush();
    if (std::cout)
        return status;
    const int err = errno;
    std::cerr << "vkdc-cli: cannot write to standard output: " << std::strerror(err) << "\n";
    return status == cli::kExitOk ? cli::kExitOutputFailed : status;
}

}  // namespace

#ifdef _WIN32
namespace {

UINT found_code_page = 0;  // the console's, given back on the way out

BOOL WINAPI giveBackCodePage(DWORD) {
    if (found_code_page != 0)
        ::SetConsoleOutputCP(found_code_page);
    return FALSE;  // and let Ctrl+C end the program as it would
}

}  // namespace

// Windows hands over the arguments as UTF-16; inside, every path is UTF-8 like on Linux, and
// becomes UTF-16 again at the Windows API. The console shows the UTF-8 we print, and output
// bytes are written as they are (no "\r" added), as on Linux.
int wmain(int argc, wchar_t** wargv) {
    found_code_page = ::GetConsoleOutputCP();
    ::SetConsoleCtrlHandler(giveBackCodePage, TRUE);
    ::SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i)
        args.push_back(jet::win::narrow(wargv[i]));
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int status = run(argc, argv.data());
    giveBackCodePage(0);
    return status;
}
#else
int main(int argc, char** argv) {
    // A closed standard descriptor would be taken by the next file opened, and what is printed
    // would land in that file. Each is held by /dev/null, read-only, so writing still fails.
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF)
            ::open("/dev/null", O_RDONLY | O_CLOEXEC);  // the lowest free descriptor: `fd`
    }
    // A file-size limit (ulimit -f) then fails the write (EFBIG) instead of killing the run, so
    // it is reported like any other failed save.
    ::signal(SIGXFSZ, SIG_IGN);
    return run(argc, argv);
}
#endif
