#pragma once
// Immutable, reference-counted text: copies share the characters; equality and
// hashing are by content.
#include <compare>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tarnel::util {

class SharedString {
public:
    SharedString() : text_(empty_text()) {}
    SharedString(std::string_view s) : text_(std::make_shared<const std::string>(s)) {}  // NOLINT
    SharedString(std::string&& s) : text_(std::make_shared<const std::string>(std::move(s))) {}  // NOLINT
    SharedString(const char* s) : SharedString(std::string_view(s)) {}  // NOLINT

    [[nodiscard]] std::string_view view() const { return *text_; }
    [[nodiscard]] const std::string& str() const { return *text_; }
    [[nodiscard]] std::size_t size() const { return text_->size(); }
    [[nodiscard]] bool empty() const { return text_->empty(); }
    operator std::string_view() const { return *text_; }  // NOLINT

    friend bool operator==(const SharedString& a, const SharedString& b) { return a.view() == b.view(); }
    friend bool operator==(const SharedString& a, std::string_view b) { return a.view() == b; }
    friend std::strong_ordering operator<=>(const SharedString& a, const SharedString& b) {
        return a.view().compare(b.view()) <=> 0;
    }

    // Diagnostic form: SharedString("text") with the text escaped.
    [[nodiscard]] std::string debug() const;

private:
    static const std::shared_ptr<const std::string>& empty_text();
    std::shared_ptr<const std::string> text_;
};

// Quotes `text` in double quotes, escaping quote, backslash, \n, \r, \t and
// other control characters as \u{hex}. Used by every diagnostic text form.
std::string debug_quote(std::string_view text);

}  // namespace tarnel::util

template <>
struct std::hash<tarnel::util::SharedString> {
    std::size_t operator()(const tarnel::util::SharedString& s) const noexcept {
        return std::hash<std::string_view>{}(s.view());
    }
};
