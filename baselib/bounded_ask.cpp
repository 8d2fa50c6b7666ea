#include "baselib/bounded_ask.h"

#include <sys/vfs.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "baselib/file_path.h"
#include "platform/mount_table.h"

namespace brek::Bounded_ask {

namespace detail {

struct Question {
  std::function<void()> work;
  std::shared_ptr<std::atomic<int64_t>> progress;
  std::string mount;
  bool done = false;
};

}  // namespace detail

namespace {

using detail::Question;

// A worker that got no question for this long ends.
constexpr std::chrono::seconds IDLE_LIFE{10};

// Shared by every asker and worker; never destroyed, as workers that wait
// on a mount may outlive everything else.
struct State {
  std::mutex lock;
  std::condition_variable asked, answered;
  std::deque<std::shared_ptr<Question>> queue;
  int idle = 0;
  // Per mount that owes an answer, the question it owes.
  std::map<std::string, std::shared_ptr<Question>> owing;
  brek_platform::Mount_points points;
};

State& state() {
  static State* const s = new State;
  return *s;
}

void serve() {
  State& s = state();
  std::unique_lock<std::mutex> guard(s.lock);
  for (;;) {
    ++s.idle;
    const bool got = s.asked.wait_for(guard, IDLE_LIFE, [&] { return !s.queue.empty(); });
    --s.idle;
    if (!got) return;
    std::shared_ptr<Question> q = s.queue.front();
    s.queue.pop_front();
    guard.unlock();
    try {
      q->work();
    } catch (...) {
      // Nothing to hand on (a want of memory): the asker finds no result.
    }
    q->work = nullptr;
    guard.lock();
    q->done = true;
    // Late or not, its mount answers again.
    const auto at = s.owing.find(q->mount);
    if (at != s.owing.end() && at->second == q) s.owing.erase(at);
    s.answered.notify_all();
  }
}

std::string mount_of_locked(State& s, const std::string& path) {
  return brek_platform::holding_mount(s.points.now(), path);
}

}  // namespace

bool detail::run(const std::string& path, std::function<void()> work,
                 const std::shared_ptr<std::atomic<int64_t>>& progress) {
  State& s = state();
  auto q = std::make_shared<Question>();
  q->work = std::move(work);
  q->progress = progress;
  std::unique_lock<std::mutex> guard(s.lock);
  q->mount = mount_of_locked(s, path);
  if (s.points.kept_here(q->mount)) {
    // A disk or memory of this machine's: asked here, at no cost.
    guard.unlock();
    q->work();
    return true;
  }
  if (s.owing.count(q->mount)) return false;
  s.queue.push_back(q);
  if (size_t(s.idle) < s.queue.size()) {
    try {
      std::thread(serve).detach();
    } catch (const std::system_error&) {
      // No thread to be had: asked here, as before there were workers.
      s.queue.erase(std::find(s.queue.begin(), s.queue.end(), q));
      guard.unlock();
      q->work();
      return true;
    }
  }
  s.asked.notify_one();
  int64_t seen = 0;
  for (;;) {
    if (s.answered.wait_for(guard, BOUND, [&] { return q->done; })) return true;
    const int64_t now = q->progress ? q->progress->load(std::memory_order_relaxed) : 0;
    if (now == seen) break;
    seen = now;
  }
  s.owing[q->mount] = q;
  return false;
}

bool list_directory(const std::string& dir, DynAStr& list, int* error) {
  list.clear();
  struct Listing {
    DynAStr entries;
    int error = 0;
  };
  auto listing = std::make_shared<Listing>();
  auto read = std::make_shared<std::atomic<int64_t>>(0);
  const bool answered = detail::run(
      dir,
      [listing, read, dir] {
        File_path::list_directory(dir, listing->entries, read.get());
        listing->error = File_path::last_error();
      },
      read);
  if (!answered) return false;
  list = std::move(listing->entries);
  if (error) *error = listing->error;
  return true;
}

std::optional<bool> directory_exists(const std::string& path) {
  return ask<bool>(path, [path] { return File_path::directory_exists(path); });
}

std::optional<bool> file_exists(const std::string& path) {
  return ask<bool>(path, [path] { return File_path::file_exists(path); });
}

std::optional<bool> entry_exists(const std::string& path) {
  return ask<bool>(path, [path] { return File_path::same_entry(path, path); });
}

std::string existing_folder_or(std::initializer_list<std::string> folders, const std::string& otherwise) {
  // Its mount is asked first: a folder's attributes may come from a cache
  // while the mount no longer answers.
  for (const std::string& folder : folders)
    if (!folder.empty() && answers(folder) && directory_exists(folder).value_or(false)) return folder;
  return otherwise;
}

bool answers(const std::string& path) {
  const std::string mount = mount_of(path);
  return ask<bool>(path, [mount] {
           struct statfs fs {};
           return ::statfs(mount.c_str(), &fs) == 0;
         }).has_value();
}

std::string mount_of(const std::string& path) {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  return mount_of_locked(s, path);
}

std::string silent_mount_of(const std::string& path) {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.owing.empty()) return std::string();
  const std::string m = mount_of_locked(s, path);
  return s.owing.count(m) ? m : std::string();
}

std::vector<std::string> silent_mounts() {
  State& s = state();
  std::lock_guard<std::mutex> guard(s.lock);
  std::vector<std::string> out;
  for (const auto& [mount, q] : s.owing) out.push_back(mount);
  return out;
}

}  // namespace brek::Bounded_ask
