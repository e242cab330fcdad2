#include "jet/names.h"

#include "jet/value.h"

namespace jet {
namespace {

bool validUtf8(const std::string& s) {
    // fromUtf8 replaces invalid sequences with U+FFFD; an input that does not itself contain
    // U+FFFD must therefore survive a round trip unchanged.
    return toUtf8(fromUtf8(s)) == s;
}

char16_t foldAscii(char16_t c) {
    return (c >= u'a' && c <= u'z') ? c - u'a' + u'A' : c;
}

}  // namespace

Status checkObjectName(const std::string& name, const char* what) {
    const std::string quoted = "\"" + name + "\"";
    if (name.empty())
        return Status::invalidArgument(std::string("a ") + what + " cannot be empty");
    if (!validUtf8(name)) {
        return Status::invalidArgument(std::string("the ") + what + " is not valid UTF-8");
    }
    const std::u16string u = fromUtf8(name);
    if (u.size() > kMaxObjectNameLength) {
        return Status::invalidArgument(std::string("the ") + what + " " + quoted + " has " +
                                       std::to_string(u.size()) + " characters; Access allows " +
                                       std::to_string(kMaxObjectNameLength));
    }
    if (u.front() == u' ') {
        return Status::invalidArgument(std::string("the ") + what + " " + quoted +
                                       " starts with a space, which Access does not allow");
    }
    for (char16_t c : u) {
        if (c < 0x20) {
            return Status::invalidArgument(std::string("the ") + what + " " + quoted +
                                           " contains a control character");
        }
        if (c == u'.' || c == u'!' || c == u'`' || c == u'[' || c == u']') {
            return Status::invalidArgument(std::string("the ") + what + " " + quoted +
                                           " contains '" + static_cast<char>(c) +
                                           "'; Access does not allow . ! ` [ ] in names");
        }
    }
    return Status::ok();
}

bool sameObjectName(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (foldAscii(a[i]) != foldAscii(b[i]))
            return false;
    return true;
}

}  // namespace jet
