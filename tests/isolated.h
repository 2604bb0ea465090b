#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

// Runs a test body in a child process. For tests that register thousands of species: in
// this process they would push the ids of every later test past what encodings can hold.
// The child exits 1 on a failed expectation, and its messages are shown.
template <class F>
[[noreturn]] void runisolated(F& body) {
  dup2(2, 1);  // failure messages go to standard output, which the parent does not show
  body();
  fflush(stdout);
  std::_Exit(testing::Test::HasFailure() ? 1 : 0);
}

template <class F>
void isolated(F body) {
  EXPECT_EXIT(runisolated(body), testing::ExitedWithCode(0), "");
}
