#include "cli/options.h"

namespace cli {

int exitCodeFor(const jet::Status& status) {
    switch (status.code()) {
        case jet::Status::Code::kOk:
            return kExitOk;
        case jet::Status::Code::kWrongPassword:
            return kExitWrongPassword;
        case jet::Status::Code::kNotFound:
        case jet::Status::Code::kInvalidArgument:
            return kExitUsage;
        default:
            return kExitCannotOpen;
    }
}

std::string errorLine(const std::string& file, const jet::Status& status) {
    std::string msg = status.message();
    const std::string prefix = file + ": ";
    if (msg.compare(0, prefix.size(), prefix) == 0)
        msg.erase(0, prefix.size());
    if (msg.empty())
        msg = jet::codeName(status.code());
    return "vkdc-cli: " + file + ": " + msg;
}

jet::Result<Options> parseOptions(const std::vector<std::string>& args, const OptionSet& allowed) {
    Options opts;
    bool options_done = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options_done || arg.size() < 2 || arg[0] != '-') {
            opts.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_done = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            opts.help = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inline_value;
        if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            inline_value = arg.substr(eq + 1);
        }
        auto takeValue = [&]() -> std::optional<std::string> {
            if (inline_value)
                return inline_value;
            if (i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };
        if (name == "--password" && allowed.password) {
            opts.password = takeValue();
            if (!opts.password)
                return jet::Status::invalidArgument("--password needs a value");
        } else if (name == "--show-password" && allowed.show_password && !inline_value) {
            opts.show_password = true;
        } else if (name == "--format" && allowed.format) {
            auto value = takeValue();
            if (!value)
                return jet::Status::invalidArgument("--format needs a value (csv or json)");
            if (*value != "csv" && *value != "json") {
                return jet::Status::invalidArgument("unknown format '" + *value +
                                                    "' (use csv or json)");
            }
            opts.format = *value;
        } else {
            return jet::Status::invalidArgument("unknown option '" + arg + "'");
        }
    }
    return opts;
}

}  // namespace cli
