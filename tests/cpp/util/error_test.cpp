#include <gtest/gtest.h>

#include "tarnel/util/error.hpp"

using tarnel::util::Error;

TEST(ErrorText, NoCauseIsTheMessage) { EXPECT_EQ(Error("boom").python_text(), "boom"); }

TEST(ErrorText, OneCauseIndentedByFourSpaces) {
    auto e = Error("inner").context("outer");
    EXPECT_EQ(e.python_text(), "outer\n\nCaused by:\n    inner");
}

TEST(ErrorText, SeveralCausesAreNumbered) {
    auto e = Error("root").context("middle").context("top");
    EXPECT_EQ(e.python_text(), "top\n\nCaused by:\n    0: middle\n    1: root");
}

TEST(ErrorText, MultiLineCauseKeepsIndentation) {
    auto single = Error("line one\nline two").context("outer");
    EXPECT_EQ(single.python_text(), "outer\n\nCaused by:\n    line one\n    line two");
    auto numbered = Error("a\nb").context("mid").context("top");
    EXPECT_EQ(numbered.python_text(), "top\n\nCaused by:\n    0: mid\n    1: a\n       b");
}

TEST(ErrorText, IndexesRightAlignedInFiveCharacters) {
    Error e("root");
    for (int i = 0; i < 11; ++i) e = std::move(e).context("level" + std::to_string(i));
    auto text = e.python_text();
    EXPECT_NE(text.find("\n    9: level0"), std::string::npos);
    EXPECT_NE(text.find("\n   10: root"), std::string::npos);
}

TEST(ErrorContext, KeepsKindAndChain) {
    auto e = Error("x", tarnel::util::ErrorKind::InvalidDatatype).context("ctx");
    EXPECT_EQ(e.kind, tarnel::util::ErrorKind::InvalidDatatype);
    EXPECT_EQ(e.chain_text(), "ctx: x");
}
