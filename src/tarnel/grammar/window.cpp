#include "tarnel/grammar/window.hpp"

#include "tarnel/grammar/debug_text.hpp"

namespace tarnel::grammar {

std::string Window::debug() const { return debug_text::text_of(*this); }

void Window::hash_feed(util::SipHasher13& h) const {
    begin.hash_feed(h);
    end.hash_feed(h);
}

void debug_text::append(std::string& out, const Window& w) {
    out += "Window { begin: ";
    append(out, w.begin);
    out += ", end: ";
    append(out, w.end);
    out += " }";
}

}  // namespace tarnel::grammar
