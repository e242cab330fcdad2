// vkdc-cli make-template 2.0|3.0 OUT
// vkdc-cli make-sample 1.0|2.0 OUT [--rows N]
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <ostream>

#include "cli/commands.h"
#include "cli/common.h"
#include "store/templates.h"

namespace cli {
namespace {

struct MakeOptions {
    std::string version;
    std::string out;
    vkdc::SampleOptions sample;
};

int runMakeTemplate(const MakeOptions& opts, std::ostream& out, std::ostream& err) {
    jet::Status st = vkdc::makeTemplate(opts.version, opts.out);
    if (!st.isOk()) {
        err << errorLine(opts.out, st) << "\n";
        return st.code() == jet::Status::Code::kInvalidArgument ? kExitUsage : kExitCannotOpen;
    }
    out << "wrote the version " << opts.version << " template " << printable(opts.out) << "\n";
    return kExitOk;
}

int runMakeSample(const MakeOptions& opts, std::ostream& out, std::ostream& err) {
    jet::Status st = vkdc::makeSample(opts.version, opts.out, opts.sample);
    if (!st.isOk()) {
        err << errorLine(opts.out, st) << "\n";
        return st.code() == jet::Status::Code::kInvalidArgument ? kExitUsage : kExitCannotOpen;
    }
    out << "wrote a version " << opts.version << " sample with " << opts.sample.contacts
        << " contacts to " << printable(opts.out) << "\n";
    return kExitOk;
}

}  // namespace

void addMakeTemplate(CLI::App& app, Action& action) {
    auto opts = std::make_shared<MakeOptions>();
    CLI::App* sub =
        app.add_subcommand("make-template", "write the empty template database of a version");
    sub->add_option("VERSION", opts->version, "2.0 or 3.0")->required();
    sub->add_option("OUT", opts->out, "the file to write")->required();
    sub->callback([opts, &action] {
        action = [opts] { return runMakeTemplate(*opts, std::cout, std::cerr); };
    });
}

void addMakeSample(CLI::App& app, Action& action) {
    auto opts = std::make_shared<MakeOptions>();
    CLI::App* sub = app.add_subcommand(
        "make-sample", "write a source database of a version filled with sample data");
    sub->add_option("VERSION", opts->version, "1.0 or 2.0")->required();
    sub->add_option("OUT", opts->out, "the file to write")->required();
    sub->add_option("--rows", opts->sample.contacts, "contacts to write (default 40)");
    sub->callback([opts, &action] {
        action = [opts] { return runMakeSample(*opts, std::cout, std::cerr); };
    });
}

}  // namespace cli
