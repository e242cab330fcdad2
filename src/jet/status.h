// Error values for the Jet engine. Every fallible operation returns a Status or a
// Result<T>; nothing in this library throws for a malformed file or an I/O failure. Both are
// [[nodiscard]]: a failure nobody looks at is a failure reported as success.
#pragma once

#include <cassert>
#include <string>
#include <utility>
#include <variant>

namespace jet {

class [[nodiscard]] Status {
  public:
    // The kinds a caller may need to tell apart. The message always says more.
    enum class Code {
        kOk = 0,
        kIoError,             // the OS refused (open, read, write, fsync); message has the reason
        kNotJet,              // the bytes are not a Jet database at all
        kUnsupportedVersion,  // a Jet-family file we do not handle (ACE/.accdb, MSISAM, ...)
        kWrongPassword,       // the database password did not match
        kCorrupt,             // a structure is inconsistent; message names the page and what
        kInvalidArgument,     // the caller asked for something impossible (bad name, value, ...)
        kNotFound,            // a table or column of that name does not exist
        kNotSupported,        // valid, but beyond what this engine does (e.g. indexed appends)
        kTooLarge,            // the file would pass its format's size limit (2 GB for Jet 4)
    };

    Status() = default;

    static Status ok() { return Status(); }
    static Status ioError(std::string msg) { return Status(Code::kIoError, std::move(msg)); }
    static Status notJet(std::string msg) { return Status(Code::kNotJet, std::move(msg)); }
    static Status unsupportedVersion(std::string msg) {
        return Status(Code::kUnsupportedVersion, std::move(msg));
    }
    static Status wrongPassword(std::string msg) {
        return Status(Code::kWrongPassword, std::move(msg));
    }
    static Status corrupt(std::string msg) { return Status(Code::kCorrupt, std::move(msg)); }
    static Status invalidArgument(std::string msg) {
        return Status(Code::kInvalidArgument, std::move(msg));
    }
    static Status notFound(std::string msg) { return Status(Code::kNotFound, std::move(msg)); }
    static Status notSupported(std::string msg) {
        return Status(Code::kNotSupported, std::move(msg));
    }
    static Status tooLarge(std::string msg) { return Status(Code::kTooLarge, std::move(msg)); }

    bool isOk() const { return code_ == Code::kOk; }
    explicit operator bool() const { return isOk(); }
    Code code() const { return code_; }
    const std::string& message() const { return message_; }

    // "corrupt: page 12: row 3 runs past the page end" style text for logs and the CLI.
    std::string toString() const;

    // Returns a copy whose message is prefixed by `context` (e.g. "table Foo").
    Status withContext(const std::string& context) const {
        if (isOk())
            return *this;
        return Status(code_, context + ": " + message_);
    }

  private:
    Status(Code code, std::string msg) : code_(code), message_(std::move(msg)) {}

    Code code_ = Code::kOk;
    std::string message_;
};

const char* codeName(Status::Code code);

// Either a value or a non-ok Status; a small stand-in for std::expected.
template <typename T>
class [[nodiscard]] Result {
  public:
    Result(T value) : v_(std::move(value)) {}        // NOLINT(google-explicit-constructor)
    Result(Status status) : v_(std::move(status)) {  // NOLINT(google-explicit-constructor)
        assert(!std::get<Status>(v_).isOk());
    }

    bool isOk() const { return std::holds_alternative<T>(v_); }
    explicit operator bool() const { return isOk(); }

    const Status& status() const {
        static const Status kOk;
        return isOk() ? kOk : std::get<Status>(v_);
    }
    T& value() & { return std::get<T>(v_); }
    const T& value() const& { return std::get<T>(v_); }
    T&& value() && { return std::get<T>(std::move(v_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

  private:
    std::variant<T, Status> v_;
};

}  // namespace jet

// Propagation helpers, in the LevelDB spirit: keep call sites short.
#define JET_RETURN_IF_ERROR(expr)   \
    do {                            \
        ::jet::Status _st = (expr); \
        if (!_st.isOk())            \
            return _st;             \
    } while (0)

#define JET_CONCAT_INNER(a, b) a##b
#define JET_CONCAT(a, b) JET_CONCAT_INNER(a, b)
#define JET_ASSIGN_OR_RETURN_IMPL(tmp, lhs, expr) \
    auto tmp = (expr);                            \
    if (!tmp.isOk())                              \
        return tmp.status();                      \
    lhs = std::move(tmp).value()
#define JET_ASSIGN_OR_RETURN(lhs, expr) \
    JET_ASSIGN_OR_RETURN_IMPL(JET_CONCAT(_res_, __LINE__), lhs, expr)
