#include "tarnel/util/error.hpp"

#include <fmt/format.h>

namespace tarnel::util {

Error::Error(std::string msg, ErrorKind k) : message(std::move(msg)), kind(k) {}

Error Error::context(std::string outer) const& {
    Error copy = *this;
    return std::move(copy).context(std::move(outer));
}

Error Error::context(std::string outer) && {
    auto k = kind;
    return std::move(*this).context(std::move(outer), k);
}

Error Error::context(std::string outer, ErrorKind k) && {
    Error e(std::move(outer), k);
    e.causes.reserve(causes.size() + 1);
    e.causes.push_back(std::move(message));
    for (auto& c : causes) e.causes.push_back(std::move(c));
    e.foreign = std::move(foreign);
    return e;
}

namespace {
// Writes `text` after `prefix`; continuation lines are indented by `indent` spaces.
void append_indented(std::string& out, std::string_view prefix, std::string_view text, std::size_t indent) {
    out += prefix;
    std::size_t start = 0;
    while (true) {
        auto nl = text.find('\n', start);
        if (nl == std::string_view::npos) {
            out += text.substr(start);
            break;
        }
        out += text.substr(start, nl - start);
        out += '\n';
        out.append(indent, ' ');
        start = nl + 1;
    }
}
}  // namespace

std::string Error::python_text() const {
    std::string out = message;
    if (causes.empty()) return out;
    out += "\n\nCaused by:";
    if (causes.size() == 1) {
        out += '\n';
        append_indented(out, "    ", causes.front(), 4);
        return out;
    }
    for (std::size_t i = 0; i < causes.size(); ++i) {
        out += '\n';
        auto prefix = fmt::format("{:>5}: ", i);
        append_indented(out, prefix, causes[i], prefix.size());
    }
    return out;
}

std::string Error::chain_text() const {
    std::string out = message;
    for (const auto& c : causes) {
        out += ": ";
        out += c;
    }
    return out;
}

}  // namespace tarnel::util
