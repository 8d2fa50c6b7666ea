#pragma once
// Forms on the real window layer on a desktop of the test's own (an X
// server and a window manager per test program), and a client of that
// server to see what the manager made of them.

#include <gtest/gtest.h>

#include "tests/support/on_window_layer.h"
#include "tests/support/own_desktop.h"
#include "tests/support/x11_client.h"

namespace brek_test {

class Forms_on_own_desktop : public testing::Test, protected On_window_layer<> {
 protected:
  void SetUp() override {
    if (!own_desktop_failure().empty()) GTEST_SKIP() << own_desktop_failure();
    ASSERT_TRUE(x.ok());
  }
  x11_test::Client x;
};

}  // namespace brek_test
