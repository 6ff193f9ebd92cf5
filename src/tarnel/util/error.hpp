#pragma once
// One error record for the whole core: a message, a chain of causes, and the
// Python exception class it should become at the boundary.
#include <expected>
#include <memory>
#include <string>
#include <vector>

namespace tarnel::util {

enum class ErrorKind {
    Runtime,           // RuntimeError
    MissingData,       // tarnel.MissingDataError
    InvalidDatatype,   // tarnel.InvalidDatatypeError
    MismatchDataSize,  // tarnel.MismatchDataSizeError
    EmptyTimeseries,   // tarnel.EmptyTimeseriesError
    Value,             // ValueError
    Type,              // TypeError
    Foreign,           // a Python exception to re-raise unchanged (see `foreign`)
};

struct Error {
    std::string message;
    // Causes, outermost first (causes[0] is the direct cause of `message`).
    std::vector<std::string> causes;
    ErrorKind kind = ErrorKind::Runtime;
    // Opaque payload owned by the Python layer (a saved exception) for ErrorKind::Foreign.
    std::shared_ptr<void> foreign;

    Error() = default;
    explicit Error(std::string msg, ErrorKind k = ErrorKind::Runtime);

    // Wraps this error under a new outer message; the old message becomes the
    // first cause. The kind of the wrapped error is kept unless given.
    [[nodiscard]] Error context(std::string outer) const&;
    [[nodiscard]] Error context(std::string outer) &&;
    [[nodiscard]] Error context(std::string outer, ErrorKind k) &&;

    // Message, then "\n\nCaused by:" and the causes, one per line (numbered
    // when there are two or more).
    [[nodiscard]] std::string python_text() const;
    // Outer message and every cause joined by ": " (the alternate display).
    [[nodiscard]] std::string chain_text() const;

    bool operator==(const Error& o) const { return message == o.message && causes == o.causes && kind == o.kind; }
};

template <class T>
using Result = std::expected<T, Error>;
using Status = std::expected<void, Error>;

inline std::unexpected<Error> fail(std::string msg, ErrorKind k = ErrorKind::Runtime) {
    return std::unexpected<Error>(Error(std::move(msg), k));
}
inline std::unexpected<Error> fail(Error e) { return std::unexpected<Error>(std::move(e)); }

}  // namespace tarnel::util
