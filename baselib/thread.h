#pragma once
// Work on a thread of its own. A subclass of C_Thread overrides run(); the
// owner calls start() once and polls is_finished() (never blocking on the
// worker), and the body polls is_running_flag() so that stop() ends it
// early.
//
// The thread object is handed over to the worker (runtime/object.h): the
// worker references it through a handle of its own, the starting thread
// keeps its handle, and whichever side lets go last disposes the object on
// its own thread. Set the object's fields before start(); read what the body
// produced only once is_finished() is true; nothing else of the object may
// be written from both sides. Only the thread object is handed over: the
// body may read through its fields but must not copy or drop references to
// the objects they name, which stay counted by their own thread. A job whose
// fields name objects the main thread also uses is held by the main thread
// until it has finished, so that it is disposed there and not on the worker.
//
// Started threads live in a process-wide registry whose ids start at 1; an
// id is given back when both the object and its worker are done with it.
// A thread object that is never started costs only its fields (every
// C_Image is one).
// Workers still running when the program ends are stopped and joined.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/object.h"

namespace brek {

class C_Thread;

// The record of one started thread. It is owned by two parties, the thread
// object and its worker, and freed when both are done with it, so a worker
// never outlives its record.
struct Brek_thread {
  int64_t id = 0;
  C_Thread* object = nullptr;         // the object whose body runs
  Ref_obj* worker_handle = nullptr;   // the worker's handle for it
  std::atomic<bool> entered{false};   // the worker began
  std::atomic<bool> running{false};   // the body may go on; stop() clears it
  std::atomic<bool> finished{false};  // the body returned and the worker let go
};

// Ids and owner counts of started threads, and the workers to be joined.
class Thread_registry {
 public:
  Thread_registry();
  ~Thread_registry();
  Thread_registry(const Thread_registry&) = delete;
  Thread_registry& operator=(const Thread_registry&) = delete;

  // The registry of the process (never destroyed, so that objects released
  // late in the program's end still find it).
  static Thread_registry& global();

  // Enters a record with two owners and gives its id: the first empty entry,
  // else a new one. Ids start at 1.
  int64_t register_record(Brek_thread* record);
  // One owner is done: at the last, the entry becomes empty (its id free
  // again) and the record is freed. Nothing for an id not in use.
  void unregister(int64_t id);
  // The worker is done: marks the record finished and gives up the worker's
  // ownership in one step, so that an owner who saw it finished and lets go
  // afterwards always frees the entry.
  void finish(Brek_thread* record);

  // The record under id (nullptr when none); owners remaining for id.
  Brek_thread* record(int64_t id) const;
  int owner_count(int64_t id) const;
  // Length of the owner-count array (grows by 100 entries at a time).
  int64_t owner_capacity() const;
  // Entries in use.
  int64_t live_count() const;
  // Bodies running at this moment.
  int64_t running_bodies() const { return running_bodies_.load(); }

  // Starts the worker of a registered record; false when the platform
  // refused a new thread (or the program is ending).
  bool launch(Brek_thread* record);
  // Clears the running flag of every registered thread and joins every
  // worker. With final set, no thread starts afterwards (program end).
  void stop_and_join_all(bool final);

 private:
  struct Worker;
  static void worker_main(Thread_registry* registry, Brek_thread* record, Worker* worker);
  void join_done_workers();
  void unregister_locked(int64_t id);

  mutable std::mutex mutex_;
  std::vector<Brek_thread*> records_;  // entry 0 is a placeholder
  std::vector<uint8_t> owners_;        // owner count per id
  std::vector<std::unique_ptr<Worker>> workers_;
  std::atomic<int64_t> running_bodies_{0};
  bool final_ = false;
};

class C_Thread : public Brek_object {
  BREK_CLASS(C_Thread)
 public:
  // The body, run on the worker. Polls is_running_flag() to end early. The
  // base body only clears the running flag.
  virtual void run();

  // Starts the body on a thread of its own and gives back a reference to
  // this (started) object, through which the caller polls and stops it.
  // Gives the None instance when the object was started before, when a
  // stop came first, or when no thread could be started.
  Ref<C_Thread> start();

  // Whether nothing runs any more: true once the worker is done with the
  // object, and for a live object that was never started; false while the
  // body runs, and for the None instance.
  bool is_finished() const;
  // Whether a started worker has not yet finished.
  bool is_running() const;
  // The flag the body polls: set by start(), cleared by stop() or when the
  // body returns.
  bool is_running_flag() const;
  // Asks the body to end (clears the running flag). Before start() it makes
  // start() refuse, so a stop is never lost.
  virtual void stop();

  // Empty hooks that subclasses call from their own set-up and clean-up.
  void on_start() {}
  void on_finish() {}

  // Set on the object that start() returned.
  bool started() const { return started_; }
  // The registry id; 0 until started.
  int64_t id() const { return id_; }

  void destroy_hook() override;

 private:
  Brek_thread* record_ = nullptr;  // written only before the worker starts
  int64_t id_ = 0;
  bool started_ = false;
  bool stop_requested_ = false;
};

}  // namespace brek
