// vkdc-cli: inspect and dump Jet databases from the command line. A thin layer over the
// engine: each verb lives in its own file and shares option parsing and writers.
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/options.h"

namespace {

void printUsage(std::ostream& out) {
    out << "usage: vkdc-cli VERB [ARGS]\n\n"
        << "Verbs:\n"
        << cli::kInspectUsage << cli::kDumpUsage << cli::kConvertUsage
        << cli::kMakeTemplateUsage << cli::kMakeSampleUsage << "\n"
        << "Exit status: 0 success, 2 bad usage or unknown table, 3 the file could not be\n"
        << "read (missing, not a Jet database, unsupported version, damaged), 4 wrong password\n"
        << "(for convert: the source is not of the pair's version), 5 convert lost rows,\n"
        << "6 convert saved nothing (the save failed, or the result would pass 2 GB).\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    if (argc < 2) {
        printUsage(std::cout);
        return cli::kExitUsage;
    }
    const std::string verb = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (verb == "--help" || verb == "-h" || verb == "help") {
        printUsage(std::cout);
        return cli::kExitOk;
    }
    if (verb == "inspect")
        return cli::runInspect(args, std::cout, std::cerr);
    if (verb == "dump")
        return cli::runDump(args, std::cout, std::cerr);
    if (verb == "convert")
        return cli::runConvert(args, std::cout, std::cerr);
    if (verb == "make-template")
        return cli::runMakeTemplate(args, std::cout, std::cerr);
    if (verb == "make-sample")
        return cli::runMakeSample(args, std::cout, std::cerr);
    std::cerr << "vkdc-cli: unknown verb '" << verb << "'\n";
    printUsage(std::cerr);
    return cli::kExitUsage;
}
