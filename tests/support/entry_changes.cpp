#include "tests/support/entry_changes.h"

#include <gnu/libc-version.h>
#include <gtest/gtest.h>
#include <link.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <stddef.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

namespace brek_test {

namespace {

// The C library's code: its first and last byte; 0 when not found.
struct Code {
  uint64_t first = 0, last = 0;
};
Code c_library_code() {
  struct Search {
    // A function of the C library that no sanitizer replaces.
    uintptr_t in = reinterpret_cast<uintptr_t>(&::gnu_get_libc_version);
    Code code;
  } search;
  ::dl_iterate_phdr(
      [](dl_phdr_info* object, size_t, void* data) {
        auto* s = static_cast<Search*>(data);
        for (int i = 0; i < object->dlpi_phnum; ++i) {
          const ElfW(Phdr)& h = object->dlpi_phdr[i];
          const uintptr_t first = object->dlpi_addr + h.p_vaddr;
          if (h.p_type != PT_LOAD || !(h.p_flags & PF_X) || s->in < first || s->in - first >= h.p_memsz) continue;
          s->code = {first, first + h.p_memsz - 1};
          return 1;
        }
        return 0;
      },
      &search);
  return search.code;
}

// Makes every call of the list made by the calling thread from the C
// library's code wait for an answer from the returned listener; -1 where
// the kernel refuses. The filter binds this thread alone, and the threads
// and processes it starts, and ends with them. The same calls made
// elsewhere go on: a sanitizer's runtime makes its own, and its leak
// checker's helper, which suspends every other thread (the listener among
// them) and inherits the filter, would wait for good.
int hold_own_calls(const std::vector<unsigned>& calls) {
  const auto n = static_cast<unsigned char>(calls.size());
  std::vector<sock_filter> filter = {BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr))};
  // Each match jumps over the rest and the "allow" to the check of where
  // the call came from.
  for (unsigned char i = 0; i < n; ++i)
    filter.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, calls[i], static_cast<unsigned char>(n - i), 0));
  filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
  static const Code code = c_library_code();
  constexpr uint32_t at = offsetof(seccomp_data, instruction_pointer);
  constexpr uint32_t low = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? at : at + 4, high = at + 4 - (low - at);
  // Within one span of 4 GiB, as a library is; the calls are held from
  // anywhere should it not be known.
  if (code.last != 0 && code.first >> 32 == code.last >> 32) {
    filter.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, high));
    filter.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, uint32_t(code.first >> 32), 0, 4));
    filter.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, low));
    filter.push_back(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, uint32_t(code.first), 0, 2));
    filter.push_back(BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, uint32_t(code.last), 1, 0));
  }
  filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_USER_NOTIF));
  filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
  sock_fprog program = {static_cast<unsigned short>(filter.size()), filter.data()};
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return -1;
  return static_cast<int>(::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_NEW_LISTENER, &program));
}

// The calls that change directory entries.
std::vector<unsigned> entry_changes() {
  return {
#ifdef __NR_mkdir
      __NR_mkdir, __NR_link, __NR_rename, __NR_unlink, __NR_rmdir,
#endif
      __NR_mkdirat, __NR_linkat, __NR_renameat, __NR_renameat2, __NR_unlinkat,
  };
}

// The calls that read from a descriptor.
std::vector<unsigned> reads() { return {__NR_read, __NR_pread64, __NR_readv, __NR_preadv}; }

// Makes every mapping of at least `bytes` (below 4 GiB) that the calling
// thread asks for wait for an answer from the returned listener, as
// hold_own_calls does.
int hold_own_maps(uint64_t bytes) {
  // The length, the second argument, as two words: the low one first.
  const unsigned length_low = offsetof(seccomp_data, args) + sizeof(uint64_t);
  std::vector<sock_filter> filter = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_mmap, 0, 4),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, length_low + 4),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 0, 3),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, length_low),
      BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, static_cast<uint32_t>(bytes), 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_USER_NOTIF)};
  sock_fprog program = {static_cast<unsigned short>(filter.size()), filter.data()};
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return -1;
  return static_cast<int>(::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_NEW_LISTENER, &program));
}

// What a descriptor of this same process reads, as /proc/self/fd names it.
std::string path_of_descriptor(uint64_t fd) {
  char target[4096];
  const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target);
  return n > 0 ? std::string(target, size_t(n)) : std::string();
}

// Answers one held call, carrying it out here: the same process, so the
// caller's paths and descriptors are valid. first(call) runs before it,
// between(0) too when no call came before (`calls`), and between(calls + 1)
// right after it, while the caller waits. The count of calls carried out.
int carry_out(int fd, int calls, const std::function<void(int done)>& between,
              const std::function<void(const seccomp_notif& call)>& first = {}) {
  seccomp_notif call{};
  if (::ioctl(fd, SECCOMP_IOCTL_NOTIF_RECV, &call) != 0) return calls;
  if (first) first(call);
  if (calls == 0) between(0);
  const auto* a = call.data.args;
  const long rc = ::syscall(call.data.nr, a[0], a[1], a[2], a[3], a[4], a[5]);
  seccomp_notif_resp answer{};
  answer.id = call.id;
  answer.val = rc < 0 ? 0 : rc;
  answer.error = rc < 0 ? -errno : 0;
  between(++calls);
  ::ioctl(fd, SECCOMP_IOCTL_NOTIF_SEND, &answer);
  return calls;
}

// work on a thread of its own whose calls of the list this thread carries
// out; as with_entry_changes_held.
int held_on_a_thread(const std::vector<unsigned>& held, const std::function<void()>& work,
                     const std::function<void(int done)>& between,
                     const std::function<void(const seccomp_notif& call)>& first = {}) {
  const int done = ::eventfd(0, EFD_CLOEXEC);
  std::promise<int> listening;
  std::thread worker([&] {
    const int fd = hold_own_calls(held);
    listening.set_value(fd);
    if (fd >= 0) work();
    ::eventfd_write(done, 1);
  });
  const int fd = listening.get_future().get();
  int calls = 0;
  while (fd >= 0) {
    pollfd ends[2] = {{fd, POLLIN, 0}, {done, POLLIN, 0}};
    if (::poll(ends, 2, -1) < 0 && errno == EINTR) continue;
    if (!(ends[0].revents & POLLIN)) break;  // the work is over
    calls = carry_out(fd, calls, between, first);
  }
  // Closed first: a call still waiting then fails instead of waiting on.
  if (fd >= 0) ::close(fd);
  worker.join();
  ::close(done);
  return fd >= 0 ? calls : -1;
}

}  // namespace

int with_entry_changes_held(const std::function<void()>& work, const std::function<void(int done)>& between) {
  return held_on_a_thread(entry_changes(), work, between);
}

int with_opens_held(const std::function<void()>& work, const std::function<void(const std::string& path)>& before) {
  return held_on_a_thread(
      {
#ifdef __NR_open
          __NR_open,
#endif
          __NR_openat,
      },
      work, [](int) {},
      [&](const seccomp_notif& call) {
        // The path lies in this same process's memory.
        const bool at = call.data.nr == __NR_openat;
        before(reinterpret_cast<const char*>(call.data.args[at ? 1 : 0]));
      });
}

int with_reads_held(const std::function<void()>& work, const std::function<void(const std::string& path)>& before) {
  return held_on_a_thread(reads(), work, [](int) {},
                          [&](const seccomp_notif& call) { before(path_of_descriptor(call.data.args[0])); });
}

namespace {

// A listener serving a thread whose entry changes stay held, until the
// process ends (stop).
struct Own_listener {
  std::promise<int> listening;
  int stop = ::eventfd(0, EFD_CLOEXEC);
  // Held while a call is carried out, between included: the held thread
  // takes it once its work is over, so what between did is seen there (the
  // hand-over through the kernel is no synchronisation a race detector
  // knows of).
  std::mutex carrying;
  bool working = true;
  int calls = 0;
  std::function<void(int)> between;

  void serve(int fd) {
    const std::function<void(int)> none = [](int) {};
    for (int after = 0; fd >= 0;) {
      pollfd ends[2] = {{fd, POLLIN, 0}, {stop, POLLIN, 0}};
      if (::poll(ends, 2, -1) < 0 && errno == EINTR) continue;
      if (ends[1].revents & POLLIN) break;
      if (!(ends[0].revents & POLLIN)) break;
      const std::lock_guard<std::mutex> carrying_one(carrying);
      if (working)
        calls = carry_out(fd, calls, between);
      else
        after = carry_out(fd, after, none);
    }
    // A call made later fails rather than waiting for good.
    if (fd >= 0) ::close(fd);
  }
};

// The listeners still serving, ended as the process exits: none outlives
// the test that started it.
std::mutex g_own_listeners_lock;
std::vector<std::pair<std::thread, std::shared_ptr<Own_listener>>> g_own_listeners;

void end_own_listeners() {
  std::vector<std::pair<std::thread, std::shared_ptr<Own_listener>>> ending;
  {
    const std::lock_guard<std::mutex> lock(g_own_listeners_lock);
    ending.swap(g_own_listeners);
  }
  for (auto& [thread, listener] : ending) {
    ::eventfd_write(listener->stop, 1);
    thread.join();
  }
}

}  // namespace

int with_own_entry_changes_held(const std::function<void()>& work, const std::function<void(int done)>& between) {
  // The listener is started before the calls are held, so that its own
  // calls (those of between) pass; it serves this thread until the process
  // ends, between only while work runs.
  auto listener = std::make_shared<Own_listener>();
  listener->between = between;
  std::thread serving([listener, ready = listener->listening.get_future()]() mutable { listener->serve(ready.get()); });
  {
    const std::lock_guard<std::mutex> lock(g_own_listeners_lock);
    static const bool ended_at_exit = std::atexit(end_own_listeners) == 0;
    (void)ended_at_exit;
    g_own_listeners.emplace_back(std::move(serving), listener);
  }
  const int fd = hold_own_calls(entry_changes());
  listener->listening.set_value(fd);
  if (fd < 0) return -1;
  work();
  const std::lock_guard<std::mutex> over(listener->carrying);
  listener->working = false;
  return listener->calls;
}

struct Stalled_calls::State {
  pid_t holder = ::gettid();
  int listener = -1;
  int released = ::eventfd(0, EFD_CLOEXEC);
  std::chrono::milliseconds bound{0};
  std::atomic<int> waiting{0};
  std::atomic<bool> ran_out{false};
  // Whether a call the filter holds is to wait (it is another thread's).
  std::function<bool(const seccomp_notif& call)> stalls;

  static void go_on(int fd, uint64_t id) {
    seccomp_notif_resp answer{};
    answer.id = id;
    answer.flags = SECCOMP_USER_NOTIF_FLAG_CONTINUE;
    ::ioctl(fd, SECCOMP_IOCTL_NOTIF_SEND, &answer);
  }
  // Answers the held calls until the process ends: those that stall wait
  // until the release, the others go on at once.
  void serve(int fd) {
    using Clock = std::chrono::steady_clock;
    std::vector<uint64_t> held;
    Clock::time_point net{};
    bool over = false;
    while (fd >= 0) {
      pollfd ends[2] = {{fd, POLLIN, 0}, {released, POLLIN, 0}};
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(net - Clock::now()).count();
      const int ready = ::poll(ends, 2, held.empty() ? -1 : int(std::max<int64_t>(left, 0)));
      if (ready < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (ready == 0 || (ends[1].revents & POLLIN)) {
        eventfd_t n;
        if (ready != 0) ::eventfd_read(released, &n);
        if (ready == 0) ran_out = true;
        over = true;
        for (uint64_t id : held) go_on(fd, id);
        held.clear();
        waiting = 0;
      }
      if (!(ends[0].revents & POLLIN)) {
        if (ends[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return;
        continue;
      }
      seccomp_notif call{};
      if (::ioctl(fd, SECCOMP_IOCTL_NOTIF_RECV, &call) != 0) continue;  // the caller is gone
      if (over || pid_t(call.pid) == holder || !stalls(call)) {
        go_on(fd, call.id);
        continue;
      }
      if (held.empty()) net = Clock::now() + bound;
      held.push_back(call.id);
      ++waiting;
    }
  }
};

Stalled_calls::Stalled_calls(std::shared_ptr<State> state) : state_(std::move(state)) {}

void Stalled_calls::listen(const std::function<int()>& hold, std::chrono::milliseconds bound) {
  state_->bound = bound;
  // The listener is started before the calls are held, so that its own
  // calls pass.
  std::promise<int> listening;
  std::thread([s = state_, ready = listening.get_future()]() mutable { s->serve(ready.get()); }).detach();
  state_->listener = hold();
  listening.set_value(state_->listener);
}

Stalled_calls::~Stalled_calls() { release(); }

bool Stalled_calls::holding() const { return state_->listener >= 0; }

bool Stalled_calls::waiting() const { return state_->waiting > 0; }

void Stalled_calls::release() {
  if (released_) return;
  released_ = true;
  EXPECT_FALSE(state_->ran_out) << "a held call waited until the bound ran out";
  ::eventfd_write(state_->released, 1);
}

Stalled_reads::Stalled_reads(const std::string& path, std::chrono::milliseconds bound)
    : Stalled_calls(std::make_shared<State>()) {
  struct stat st;
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  const dev_t device = st.st_dev;
  const ino_t inode = st.st_ino;
  // A read of the file's descriptor.
  state_->stalls = [device, inode](const seccomp_notif& call) {
    struct stat now;
    return ::stat(("/proc/self/fd/" + std::to_string(call.data.args[0])).c_str(), &now) == 0 &&
           now.st_dev == device && now.st_ino == inode;
  };
  listen([] { return hold_own_calls(reads()); }, bound);
}

Stalled_maps::Stalled_maps(uint64_t bytes, std::chrono::milliseconds bound) : Stalled_calls(std::make_shared<State>()) {
  // The filter holds only mappings that large.
  state_->stalls = [](const seccomp_notif&) { return true; };
  listen([bytes] { return hold_own_maps(bytes); }, bound);
}

void save_over(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(write_file(path + ".saving", bytes));
  ASSERT_EQ(std::rename((path + ".saving").c_str(), path.c_str()), 0) << path;
}

}  // namespace brek_test
