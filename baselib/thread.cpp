#include "baselib/thread.h"

#include <cstdlib>
#include <exception>
#include <system_error>

#include "runtime/runtime_services.h"

namespace brek {

namespace {
constexpr size_t kOwnersStep = 100;

// Workers still running when the program ends are stopped and joined.
void join_workers_at_exit() { Thread_registry::global().stop_and_join_all(true); }
}  // namespace

struct Thread_registry::Worker {
  std::thread thread;
  std::atomic<bool> done{false};  // the worker function is about to return
};

Thread_registry::Thread_registry() : records_(1, nullptr) {}

Thread_registry::~Thread_registry() {
  stop_and_join_all(true);
  for (size_t i = 1; i < records_.size(); ++i) delete records_[i];
}

Thread_registry& Thread_registry::global() {
  static Thread_registry* registry = new Thread_registry();
  return *registry;
}

int64_t Thread_registry::register_record(Brek_thread* record) {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t id = 1;
  while (id < records_.size() && records_[id]) ++id;
  if (id == records_.size()) records_.push_back(nullptr);
  records_[id] = record;
  if (id >= owners_.size()) owners_.resize(owners_.size() + kOwnersStep, 0);
  owners_[id] = 2;
  record->id = static_cast<int64_t>(id);
  return record->id;
}

void Thread_registry::unregister_locked(int64_t id) {
  if (id <= 0 || static_cast<uint64_t>(id) >= records_.size() || !records_[id]) return;
  if (--owners_[id] > 0) return;
  delete records_[id];
  records_[id] = nullptr;
}

void Thread_registry::unregister(int64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  unregister_locked(id);
}

void Thread_registry::finish(Brek_thread* record) {
  std::lock_guard<std::mutex> lock(mutex_);
  record->finished.store(true, std::memory_order_release);
  unregister_locked(record->id);
}

Brek_thread* Thread_registry::record(int64_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (id <= 0 || static_cast<uint64_t>(id) >= records_.size()) return nullptr;
  return records_[id];
}

int Thread_registry::owner_count(int64_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (id <= 0 || static_cast<uint64_t>(id) >= records_.size() || !records_[id]) return 0;
  return owners_[id];
}

int64_t Thread_registry::owner_capacity() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int64_t>(owners_.size());
}

int64_t Thread_registry::live_count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  int64_t n = 0;
  for (size_t i = 1; i < records_.size(); ++i)
    if (records_[i]) ++n;
  return n;
}

void Thread_registry::worker_main(Thread_registry* registry, Brek_thread* record, Worker* worker) {
  registry->running_bodies_.fetch_add(1);
  record->entered.store(true);
  Ref_obj* h = record->worker_handle;
  adopt_handed_over(record->object, h);
  {
    ++h->strong;
    Ref<C_Thread> self = Ref<C_Thread>::adopt(h);
    try {
      self->run();
    } catch (const std::exception& e) {
      // An exception leaving the body ends this worker, not the program.
      Brek_runtime::log_exception(e);
    } catch (...) {
      Brek_runtime::log_exception_text("unknown exception");
    }
    std::this_thread::yield();
    record->running.store(false);
    // Letting go here disposes the object on this thread when the starting
    // side holds it no more.
  }
  forget_handed_over();
  registry->running_bodies_.fetch_sub(1);
  registry->finish(record);  // the record may be gone after this
  worker->done.store(true, std::memory_order_release);
}

bool Thread_registry::launch(Brek_thread* record) {
  join_done_workers();
  auto worker = std::make_unique<Worker>();
  Worker* w = worker.get();
  std::lock_guard<std::mutex> lock(mutex_);
  if (final_) return false;
  try {
    w->thread = std::thread(worker_main, this, record, w);
  } catch (const std::system_error&) {
    return false;
  }
  workers_.push_back(std::move(worker));
  if (this == &global()) {
    static std::once_flag at_exit;
    std::call_once(at_exit, [] { std::atexit(join_workers_at_exit); });
  }
  return true;
}

void Thread_registry::join_done_workers() {
  std::vector<std::unique_ptr<Worker>> done;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& w : workers_)
      if (w->done.load(std::memory_order_acquire)) done.push_back(std::move(w));
    std::erase(workers_, nullptr);
  }
  // Each of these has left its body; joining only waits for the thread's
  // own end.
  for (auto& w : done) w->thread.join();
}

void Thread_registry::stop_and_join_all(bool final) {
  for (;;) {
    std::vector<std::unique_ptr<Worker>> all;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (final) final_ = true;
      for (size_t i = 1; i < records_.size(); ++i)
        if (records_[i]) records_[i]->running.store(false);
      all.swap(workers_);
    }
    if (all.empty()) return;
    for (auto& w : all) {
      if (w->thread.get_id() == std::this_thread::get_id())
        w->thread.detach();  // the program ends from inside a body
      else
        w->thread.join();
    }
  }
}

// ---- C_Thread -----------------------------------------------------------------

void C_Thread::run() {
  if (record_) record_->running.store(false);
}

Ref<C_Thread> C_Thread::start() {
  if (is_none() || started_ || stop_requested_) return Ref<C_Thread>();
  Thread_registry& registry = Thread_registry::global();
  Ref_obj* worker_handle = hand_over(this);
  if (!worker_handle) return Ref<C_Thread>();
  auto* record = new Brek_thread();
  record->object = this;
  record->worker_handle = worker_handle;
  // Set before the worker exists, so a stop issued at any time after
  // start() returns reaches the body.
  record->running.store(true);
  started_ = true;
  record_ = record;
  id_ = registry.register_record(record);
  if (!registry.launch(record)) {
    record->running.store(false);
    registry.finish(record);  // the worker's ownership
    // The worker's side of the object lets go without ever having run.
    ++worker_handle->strong;
    Ref<C_Thread>::adopt(worker_handle).reset();
    return Ref<C_Thread>();
  }
  return Ref<C_Thread>(this);
}

bool C_Thread::is_finished() const {
  if (is_none()) return false;
  if (!record_) return true;
  return record_->finished.load(std::memory_order_acquire);
}

bool C_Thread::is_running() const {
  if (is_none() || !record_) return false;
  return !record_->finished.load(std::memory_order_acquire);
}

bool C_Thread::is_running_flag() const {
  if (is_none() || !record_) return false;
  return record_->running.load(std::memory_order_acquire);
}

void C_Thread::stop() {
  if (is_none()) return;
  if (record_)
    record_->running.store(false, std::memory_order_release);
  else
    stop_requested_ = true;
}

void C_Thread::destroy_hook() {
  if (record_) {
    Thread_registry::global().unregister(id_);
    record_ = nullptr;
  }
  Brek_object::destroy_hook();
}

}  // namespace brek
