#include "tarnel/util/version.hpp"

#include <fmt/format.h>

#include "tarnel_build_info.hpp"

namespace tarnel::util {

std::string full_version() {
    namespace b = tarnel::build_info;
    auto line = [](std::string_view label, std::string_view value) { return fmt::format("\n{:<20}{}", label, value); };
    std::string out(61, '-');
    out += line("Package semver:", fmt::format("v{} [{}]", b::package_version, b::build_kind));
    out += line("Build timestamp:", b::build_timestamp);
    out += line("Commit timestamp:", b::commit_timestamp);
    out += line("Commit branch:", b::commit_branch);
    out += line("Commit SHA:", b::commit_sha);
    out += line("Commit description:", b::commit_describe);
    out += line(fmt::format("{} version:", b::compiler_label), fmt::format("{} [{}]", b::compiler_version, b::compiler_channel));
    out += line("Target:", b::target);
    out += line("Profile:", b::profile);
    out += line("Features:", b::features);
    return out;
}

}  // namespace tarnel::util
