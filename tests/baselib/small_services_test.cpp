#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "baselib/basic_types.h"
#include "baselib/global_var.h"
#include "baselib/random_soft.h"
#include "runtime/clock.h"

using namespace brek;

TEST(GlobalVar, NamesIgnoreCaseAndValuesKeep32Bits) {
  EXPECT_EQ(C_Global_var::get("never_set_anywhere"), 0);
  C_Global_var::set("Count", 5);
  EXPECT_EQ(C_Global_var::get("COUNT"), 5);
  C_Global_var::set("count", 4294967301LL);  // 0x100000005
  EXPECT_EQ(C_Global_var::get("Count"), 5);
  C_Global_var::set("Min_width_all_forms", -12);
  EXPECT_EQ(C_Global_var::get("min_width_all_forms"), -12);
  C_Global_var::set("Hint_colors", 0xFFFFFFFFLL);
  EXPECT_EQ(C_Global_var::get("Hint_colors"), -1);
}

TEST(GlobalVar, ThreadsSeeOneTable) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 1000; ++i) C_Global_var::set("Thread_" + std::to_string(t), i);
    });
  for (auto& th : threads) th.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(C_Global_var::get("THREAD_" + std::to_string(t)), 999);
}

TEST(RandomSoft, SeedComesFromTheTimeOfDay) {
  // 01:02:03.004 on 2024-01-01, UTC
  Brek_runtime::Test_clock clock(1, 1704067200000 + 3723004);
  auto r = make<C_Random_soft>();
  EXPECT_EQ(r->seed_low(), 3723004);
  EXPECT_EQ(r->seed().w[2], 0u);
  St_seed__C_Random_soft s;
  s.w[3] = 9;
  r->set_seed(s);
  EXPECT_EQ(r->seed(), s);
  r->clear_seed();
  EXPECT_EQ(r->seed(), St_seed__C_Random_soft{});
  EXPECT_EQ(none_of<C_Random_soft>()->seed(), St_seed__C_Random_soft{});
}

TEST(BasicTypes, BytesAndCharacters) {
  EXPECT_EQ(Basic_types::byte_to_int(255), 255);
  EXPECT_EQ(Basic_types::char_to_str(97), "a");
}
