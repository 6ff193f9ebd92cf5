#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

#include "tarnel/util/logging.hpp"

namespace {

struct Captured {
    std::string out;
    std::string err;
};

// Runs the logging set-up in a child process with the given environment and
// logs one error record; returns what the child wrote.
Captured run_child(std::optional<std::string> no_color, std::optional<std::string> filter) {
    int out_pipe[2];
    int err_pipe[2];
    EXPECT_EQ(pipe(out_pipe), 0);
    EXPECT_EQ(pipe(err_pipe), 0);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        close(out_pipe[0]);
        close(err_pipe[0]);
        unsetenv("NO_COLOR");
        unsetenv(tarnel::util::log_filter_variable);
        if (no_color) setenv("NO_COLOR", no_color->c_str(), 1);
        if (filter) setenv(tarnel::util::log_filter_variable, filter->c_str(), 1);
        tarnel::util::init_logging_from_env();
        tarnel::util::log(tarnel::util::LogLevel::Error, "tarnel", "probe record");
        std::fflush(stdout);
        _exit(0);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    auto drain = [](int fd) {
        std::string s;
        char buf[512];
        ssize_t n;
        while ((n = read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<std::size_t>(n));
        close(fd);
        return s;
    };
    Captured c{drain(out_pipe[0]), drain(err_pipe[0])};
    int status = 0;
    waitpid(pid, &status, 0);
    return c;
}

bool has_escape(const std::string& s) { return s.find('\x1b') != std::string::npos; }

}  // namespace

TEST(LoggingOutput, ColouredUnlessNoColorIsSet) {
    auto unset = run_child(std::nullopt, std::nullopt);
    EXPECT_NE(unset.out.find("probe record"), std::string::npos);
    EXPECT_TRUE(has_escape(unset.out));

    auto empty = run_child(std::string(), std::nullopt);
    EXPECT_TRUE(has_escape(empty.out));

    auto set = run_child(std::string("1"), std::nullopt);
    EXPECT_NE(set.out.find("probe record"), std::string::npos);
    EXPECT_FALSE(has_escape(set.out));
}

TEST(LoggingOutput, OneLinePerRecord) {
    auto c = run_child(std::string("1"), std::nullopt);
    EXPECT_EQ(std::count(c.out.begin(), c.out.end(), '\n'), 1);
}

TEST(LoggingOutput, BadDirectiveReportsAndSilences) {
    auto c = run_child(std::string("1"), std::string("a=b=c"));
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(c.err.rfind("Ignoring `TARNEL_LOG=\"a=b=c\"`: ", 0), 0u) << c.err;
    EXPECT_EQ(std::count(c.err.begin(), c.err.end(), '\n'), 1);
}

TEST(LoggingOutput, EmptyFilterEnablesNothing) {
    auto c = run_child(std::string("1"), std::string(""));
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(c.err, "");
}

TEST(LoggingOutput, TargetFilterSelects) {
    EXPECT_EQ(run_child(std::string("1"), std::string("other=error")).out, "");
    EXPECT_NE(run_child(std::string("1"), std::string("tarnel=error")).out, "");
}
