#include "jet/status.h"

namespace jet {

const char* codeName(Status::Code code) {
    switch (code) {
        case Status::Code::kOk:
            return "ok";
        case Status::Code::kIoError:
            return "I/O error";
        case Status::Code::kNotJet:
            return "not a Jet database";
        case Status::Code::kUnsupportedVersion:
            return "unsupported version";
        case Status::Code::kWrongPassword:
            return "wrong password";
        case Status::Code::kCorrupt:
            return "corrupt";
        case Status::Code::kInvalidArgument:
            return "invalid argument";
        case Status::Code::kNotFound:
            return "not found";
        case Status::Code::kNotSupported:
            return "not supported";
        case Status::Code::kTooLarge:
            return "too large";
    }
    return "unknown";
}

std::string Status::toString() const {
    if (isOk())
        return "ok";
    return std::string(codeName(code_)) + ": " + message_;
}

}  // namespace jet
