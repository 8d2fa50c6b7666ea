#pragma once
// Conditions of the whole process that a program meets on a loaded
// machine: no memory to be had past a bound, no thread to be started.
// The bound holds for the whole process while it is set; the refusal of
// threads can never be lifted. So tests set them in a process that ends
// after the test (a death test's child).

#include <cstdint>

namespace brek_test {

// Lets this process map at most `more` bytes beyond what it maps now
// (RLIMIT_AS, the soft limit only), until the object goes: an allocation
// past it fails as it does on a machine out of memory.
class Address_space_limit {
 public:
  explicit Address_space_limit(int64_t more);
  ~Address_space_limit();
  Address_space_limit(const Address_space_limit&) = delete;
  Address_space_limit& operator=(const Address_space_limit&) = delete;
  // Whether the limit holds (it could be set, and was not lifted).
  bool set() const { return set_; }
  // Lifts the limit before the object goes.
  void lift();

 private:
  bool set_ = false;
  uint64_t before_ = 0;
};

// From now on the calling thread and those it starts can start no thread:
// the kernel answers EAGAIN, as it does past the system's or the user's
// limit on processes, while new processes may still be started. False
// where the kernel cannot be told (seccomp).
bool refuse_new_threads();

}  // namespace brek_test
