#include <gtest/gtest.h>

#include "tarnel/util/logging.hpp"

using namespace tarnel::util;

TEST(LogFilter, EmptyTextEnablesNothing) {
    auto f = parse_log_filter("");
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->enabled("tarnel", LogLevel::Error));
}

TEST(LogFilter, LevelAndTargetDirectives) {
    auto f = parse_log_filter("warn,tarnel::binding=debug");
    ASSERT_TRUE(f);
    EXPECT_TRUE(f->enabled("tarnel", LogLevel::Warn));
    EXPECT_FALSE(f->enabled("tarnel", LogLevel::Info));
    EXPECT_TRUE(f->enabled("tarnel::binding", LogLevel::Debug));
    EXPECT_TRUE(f->enabled("tarnel::binding::collect", LogLevel::Debug));
    EXPECT_FALSE(f->enabled("tarnel::bindingx", LogLevel::Debug));
    EXPECT_EQ(f->most_verbose(), LogLevel::Debug);
}

TEST(LogFilter, BadDirectivesFail) {
    for (const char* text : {"a=b=c", "tarnel=loud", "=info"}) {
        EXPECT_FALSE(parse_log_filter(text)) << text;
    }
}

TEST(LogFilter, OffDisables) {
    auto f = parse_log_filter("info,tarnel=off");
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->enabled("tarnel", LogLevel::Error));
    EXPECT_TRUE(f->enabled("other", LogLevel::Info));
}
