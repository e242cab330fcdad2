// vkdc-cli make-template 2.0|3.0 OUT
// vkdc-cli make-sample 1.0|2.0 OUT [--rows N]
#include <iostream>
#include <memory>
#include <ostream>

#include "cli/commands.h"
#include "cli/common.h"
#include "convert/conversion.h"
#include "store/templates.h"

namespace cli {

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
    if (st.code() == jet::Status::Code::kTooLarge) {
        err << "vkdc-cli: --rows " << opts.sample.contacts << ": " << vkdc::kTooLargeText
            << " (a version " << opts.version << " sample holds at most "
            << vkdc::maxSampleContacts(opts.version) << " contacts)\n";
        return kExitUsage;
    }
    if (!st.isOk()) {
        err << errorLine(opts.out, st) << "\n";
        return st.code() == jet::Status::Code::kInvalidArgument ? kExitUsage : kExitCannotOpen;
    }
    out << "wrote a version " << opts.version << " sample with " << opts.sample.contacts
        << " contacts to " << printable(opts.out) << "\n";
    return kExitOk;
}

}  // namespace cli
