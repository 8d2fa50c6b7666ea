// Every image test starts as the program does, with the own GIF reader
// chosen; the tests of the other reading paths choose them themselves.
// Apart from the GIF builders, which programs without GoogleTest share.
#include <gtest/gtest.h>

#include "images/gif.h"

namespace {

class Own_reader_first : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override { brek::C_Gif::set_gif_code(brek::gif_code_from::GIF_Brek); }
};

const bool kRegistered = [] {
  testing::UnitTest::GetInstance()->listeners().Append(new Own_reader_first);
  return true;
}();

}  // namespace
