// vkdc-cli: convert Velkor databases, and inspect and dump any Jet database, from the command
// line. A thin layer over the engine and the conversion core: each verb lives in its own file.
#include <CLI/CLI.hpp>

#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/common.h"

namespace {

constexpr char kExitStatuses[] =
    "Exit status: 0 success; 2 bad usage or unknown table; 3 a file could not be read (missing,\n"
    "not a regular file, not a Jet database, unsupported, damaged; for convert also a missing or\n"
    "unusable template); 4 wrong password (for convert: the source is not of the pair's\n"
    "version); 5 convert lost rows (nothing is written unless --keep-partial); 6 convert could\n"
    "not save, or refused the destination (the source itself, an installed template, not a\n"
    "regular file). Use '--' before a file name that starts with '-'.";

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

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    CLI::App app(
        "vkdc-cli: converts Velkor databases (1.0 to 2.0, 2.0 to 3.0) and looks into any\n"
        "Jet (Access 97-2003) database.",
        "vkdc-cli");
    app.require_subcommand(1);
    app.footer(kExitStatuses);
    app.get_formatter()->column_width(34);

    cli::Action action;
    cli::addInspect(app, action);
    cli::addDump(app, action);
    cli::addConvert(app, action);
    cli::addMakeTemplate(app, action);
    cli::addMakeSample(app, action);

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
