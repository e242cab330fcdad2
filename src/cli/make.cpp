// vkdc-cli make-template 2.0|3.0 OUT
// vkdc-cli make-sample 1.0|2.0 OUT [--rows N]
#include <charconv>
#include <ostream>

#include "cli/commands.h"
#include "cli/options.h"
#include "convert/conversion.h"
#include "store/templates.h"

namespace cli {

const char* const kMakeTemplateUsage =
    "  make-template 2.0|3.0 OUT            write the empty template database of that version\n";
const char* const kMakeSampleUsage =
    "  make-sample 1.0|2.0 OUT [--rows N]   write a source database with N contacts of sample data\n";

int runMakeTemplate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2) {
        err << "usage: vkdc-cli" << kMakeTemplateUsage;
        return kExitUsage;
    }
    jet::Status st = vkdc::makeTemplate(args[0], args[1]);
    if (!st.isOk()) {
        err << errorLine(args[1], st) << "\n";
        return st.code() == jet::Status::Code::kInvalidArgument ? kExitUsage : kExitCannotOpen;
    }
    out << "wrote the version " << args[0] << " template " << args[1] << "\n";
    return kExitOk;
}

int runMakeSample(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::vector<std::string> pos;
    vkdc::SampleOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--rows" && i + 1 < args.size()) {
            const std::string& v = args[++i];
            uint32_t n = 0;
            auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
            if (ec != std::errc() || p != v.data() + v.size()) {
                err << "vkdc-cli: --rows needs a whole number, not '" << v << "'\n";
                return kExitUsage;
            }
            options.contacts = n;
        } else if (args[i].rfind("--", 0) == 0) {
            err << "vkdc-cli: unknown option '" << args[i] << "'\n";
            return kExitUsage;
        } else {
            pos.push_back(args[i]);
        }
    }
    if (pos.size() != 2) {
        err << "usage: vkdc-cli" << kMakeSampleUsage;
        return kExitUsage;
    }
    jet::Status st = vkdc::makeSample(pos[0], pos[1], options);
    if (st.code() == jet::Status::Code::kTooLarge) {
        err << "vkdc-cli: --rows " << options.contacts << ": " << vkdc::kTooLargeText
            << " (a version " << pos[0] << " sample holds at most "
            << vkdc::maxSampleContacts(pos[0]) << " contacts)\n";
        return kExitUsage;
    }
    if (!st.isOk()) {
        err << errorLine(pos[1], st) << "\n";
        return st.code() == jet::Status::Code::kInvalidArgument ? kExitUsage : kExitCannotOpen;
    }
    out << "wrote a version " << pos[0] << " sample with " << options.contacts << " contacts to "
        << pos[1] << "\n";
    return kExitOk;
}

}  // namespace cli
