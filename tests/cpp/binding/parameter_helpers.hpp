#pragma once
// Parameters built the way callers build them.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tarnel/decimal/decimal.hpp"
#include "tarnel/parameters/custom_function_ops.hpp"
#include "tarnel/parameters/parameters.hpp"
#include "tarnel/util/error.hpp"

namespace program_test {

using tarnel::timeseries::Instant;

inline const Instant start = Instant(std::chrono::sys_days(std::chrono::year(2024) / 1 / 1));

// Agent bot with variable x, protocol pool (UniswapV3 over WETH and USDC),
// common tokens WETH and USDC.
inline tarnel::parameters::Parameters sample_parameters() {
    tarnel::parameters::Parameters p(start);
    const std::vector<std::string> agents{"bot"};
    const std::vector<std::string> variables{"x"};
    const std::vector<std::string> tokens{"WETH", "USDC"};
    EXPECT_TRUE(p.add_uniswap_v3_protocol("pool", "WETH", "USDC").has_value());
    EXPECT_TRUE(p.add_agents(agents).has_value());
    EXPECT_TRUE(p.add_agent_variables("bot", variables).has_value());
    EXPECT_TRUE(p.add_common(tokens).has_value());
    return p;
}

inline void define(tarnel::parameters::Parameters& p, const std::string& text) {
    auto s = tarnel::parameters::add_custom_function(p, text);
    ASSERT_TRUE(s.has_value()) << text << ": " << s.error().message;
}

inline std::string show(const tarnel::util::Result<tarnel::decimal::Decimal>& r) {
    if (!r) return "error: " + r.error().message;
    return r->to_string();
}
inline std::string show(const tarnel::util::Result<bool>& r) {
    if (!r) return "error: " + r.error().message;
    return *r ? "true" : "false";
}

struct RowName {
    template <class P>
    std::string operator()(const testing::TestParamInfo<P>& row) const {
        return row.param.name;
    }
};

}  // namespace program_test
