#pragma once
// Error bookkeeping of the hand-written parsers: the furthest position at
// which a reported name failed, and every name recorded exactly there. One
// pass gives the same set as re-parsing and collecting at that position,
// because parsing is deterministic and the set is only cleared when the
// position moves further.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "tarnel/util/error.hpp"

namespace tarnel::grammar {

class ParseReport {
public:
    // Records `name` failing at `pos` unless inside a rule reported by name.
    void mark(std::size_t pos, std::string_view name) {
        if (quiet_ != 0) return;
        if (pos > furthest_) {
            furthest_ = pos;
            names_.clear();
        } else if (pos < furthest_) {
            return;
        }
        for (std::string_view n : names_)
            if (n == name) return;
        names_.push_back(name);
    }

    // While a rule reported by name runs, the tokens inside it are not recorded.
    class Quiet {
    public:
        explicit Quiet(ParseReport& r) : r_(r) { ++r_.quiet_; }
        ~Quiet() { --r_.quiet_; }
        Quiet(const Quiet&) = delete;
        Quiet& operator=(const Quiet&) = delete;

    private:
        ParseReport& r_;
    };

    [[nodiscard]] std::size_t furthest() const { return furthest_; }
    // "error at L:C: expected ..." for the furthest position in `text`.
    [[nodiscard]] util::Error error(std::string_view text) const;

private:
    std::size_t furthest_ = 0;
    std::vector<std::string_view> names_;
    int quiet_ = 0;
};

// "error at {line}:{column}: " for a byte offset; columns count characters.
[[nodiscard]] std::string error_location(std::string_view text, std::size_t pos);

}  // namespace tarnel::grammar
