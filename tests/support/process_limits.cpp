#include "tests/support/process_limits.h"

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sched.h>
#include <stddef.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

namespace brek_test {

namespace {

// The calls the filter knows are this machine's.
#if defined(__x86_64__)
constexpr uint32_t OWN_ARCH = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr uint32_t OWN_ARCH = AUDIT_ARCH_AARCH64;
#else
constexpr uint32_t OWN_ARCH = 0;
#endif

// What this process maps now ("VmSize:"), bytes.
int64_t mapped_now() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmSize:", 0) == 0) return std::atoll(line.c_str() + 7) * 1024;
  return -1;
}

}  // namespace

Address_space_limit::Address_space_limit(int64_t more) {
  rlimit limit{};
  const int64_t now = mapped_now();
  if (now < 0 || ::getrlimit(RLIMIT_AS, &limit) != 0) return;
  before_ = limit.rlim_cur;
  limit.rlim_cur = rlim_t(now + more);
  set_ = ::setrlimit(RLIMIT_AS, &limit) == 0;
}

Address_space_limit::~Address_space_limit() { lift(); }

void Address_space_limit::lift() {
  if (!set_) return;
  rlimit limit{};
  ::getrlimit(RLIMIT_AS, &limit);
  limit.rlim_cur = before_;
  ::setrlimit(RLIMIT_AS, &limit);
  set_ = false;
}

bool refuse_new_threads() {
  if (OWN_ARCH == 0) return false;
  // clone3 hides its flags in memory the filter cannot read: it is made
  // unknown, so the C library falls back to clone, whose flags tell a
  // thread from a process.
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, OWN_ARCH, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone3, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_clone, 0, 3),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
      BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, CLONE_THREAD, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EAGAIN),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program = {static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return false;
  return ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program) == 0;
}

}  // namespace brek_test
