#pragma once
// The program's exceptions. Failures the user must see derive from
// Brek_Exception; the Stop statement raises Stop_exception with its message.

#include <cstdint>
#include <exception>
#include <string>

namespace brek {

class Brek_Exception : public std::exception {
 public:
  explicit Brek_Exception(std::string message = {}) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& message() const { return message_; }
  virtual const char* class_name() const { return "Brek_Exception"; }

 private:
  std::string message_;
};

#define BREK_EXCEPTION(Name, Base)                                      \
  class Name : public Base {                                            \
   public:                                                              \
    using Base::Base;                                                   \
    const char* class_name() const override { return #Name; }           \
  };

BREK_EXCEPTION(Stop_exception, Brek_Exception)
BREK_EXCEPTION(TooDeepRecursionException, Brek_Exception)
BREK_EXCEPTION(OutOfMemoryException, Brek_Exception)
BREK_EXCEPTION(E_Limit_exceeded, Brek_Exception)

// A software timer (Brek_runtime::add_timer) fell due: raised on the thread
// that processes window messages, carrying the timer's id.
class Timer_due_exception : public Brek_Exception {
 public:
  explicit Timer_due_exception(int64_t id) : Brek_Exception("Timer " + std::to_string(id)), id_(id) {}
  const char* class_name() const override { return "Timer_due_exception"; }
  int64_t id() const { return id_; }

 private:
  int64_t id_;
};

}  // namespace brek
