#include <gtest/gtest.h>

#include "platform/application.h"

TEST(PlatformApplication, RunsHeadlessInTests) {
  EXPECT_TRUE(brek_platform::application_exists());
  brek_platform::process_events();  // nothing pending: returns at once
}
