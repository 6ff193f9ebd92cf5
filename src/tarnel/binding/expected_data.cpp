#include "tarnel/binding/expected_data.hpp"

namespace tarnel::binding {

std::vector<std::string> expected_time_range(const std::vector<CollectedField>& collected) {
    std::vector<std::string> out;
    for (const auto& c : collected)
        if (const auto* t = std::get_if<CollectedField::Timeseries>(&c.value)) out.push_back(window_text(t->window));
    return out;
}

std::string window_text(const grammar::Window& window) { return window.debug(); }

}  // namespace tarnel::binding
