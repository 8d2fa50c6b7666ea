#include "runtime/object.h"

#include <atomic>

namespace brek {

namespace detail {
// The two sides of a handed-over object: how many of them still hold it.
struct Handover {
  std::atomic<int> holders{2};
  // The calling thread lets go of o, which it reached through its handle h.
  static void let_go(Ref_obj* h, Brek_object* o);
};
}  // namespace detail

namespace {
// Handles are recycled per thread, last in first out. Scratch twins whose
// handle went are freed in batches, well after: a call running on a twin
// may have dropped the last reference that led to it.
//
// The pool goes with its thread, before objects of thread storage made
// earlier and, at the program's exit, before every object of static
// storage: references those hold are released later still, and their
// handles (and twins) are then freed at once.
thread_local bool t_pool_gone = false;
struct Handle_pool {
  std::vector<Ref_obj*> free;
  std::vector<Brek_object*> old_twins;
  ~Handle_pool() {
    // Freeing a twin releases what it holds, which may recycle more.
    while (!old_twins.empty()) {
      std::vector<Brek_object*> twins;
      twins.swap(old_twins);
      for (Brek_object* t : twins) delete t;
    }
    for (Ref_obj* h : free) delete h;
    t_pool_gone = true;
  }
};
constexpr size_t OLD_TWINS_KEPT = 64;
thread_local Handle_pool t_pool;
thread_local uint32_t t_serial = 0;
thread_local int t_none_depth = 0;
// The object this thread received by hand-over, and its handle here.
thread_local Brek_object* t_handed_object = nullptr;
thread_local Ref_obj* t_handed_handle = nullptr;
}  // namespace

namespace detail {

Ref_obj* take_handle() {
  if (!t_pool_gone && !t_pool.free.empty()) {
    Ref_obj* h = t_pool.free.back();
    t_pool.free.pop_back();
    return h;
  }
  return new Ref_obj();
}

void recycle_handle(Ref_obj* h) {
  if (t_pool_gone) {
    // Nothing runs on a twin any more while its thread ends.
    if (h->target && h->target->scratch_) delete h->target;
    delete h;
    return;
  }
  // A scratch twin goes with the handle that was its only way in.
  if (h->target && h->target->scratch_) {
    if (t_pool.old_twins.size() >= 2 * OLD_TWINS_KEPT) {
      // Out of the list before freeing: a twin's fields may hold the last
      // reference to another stale handle, which comes back in here.
      std::vector<Brek_object*> batch(t_pool.old_twins.begin(),
                                      t_pool.old_twins.begin() + OLD_TWINS_KEPT);
      t_pool.old_twins.erase(t_pool.old_twins.begin(), t_pool.old_twins.begin() + OLD_TWINS_KEPT);
      for (Brek_object* t : batch) delete t;
    }
    t_pool.old_twins.push_back(h->target);
  }
  h->target = nullptr;
  h->strong = 0;
  h->weak = 0;
  h->shared = nullptr;
  if (t_pool.free.size() < 4096)
    t_pool.free.push_back(h);
  else
    delete h;
}

void release_strong(Ref_obj* h) {
  if (--h->strong > 0) return;
  Brek_object* t = h->target;
  if (t && !t->is_none()) {
    if (h->shared) {
      // Another thread holds the object too: only this side lets go.
      Handover::let_go(h, t);
      return;
    }
    // The last strong reference went: dispose. Disposal pins the handle
    // while the object's fields release what they hold (which may include
    // references back to this object) and recycles it when nothing holds it.
    dispose_object(t);
    return;
  }
  if (h->weak <= 0) recycle_handle(h);
}

void release_weak(Ref_obj* h) {
  if (--h->weak > 0) return;
  if (h->strong > 0) return;
  // No strong holder is left, so the target is already a None instance
  // (or disposal is running and pins the handle with a weak count).
  recycle_handle(h);
}

void attach_new(Brek_object* o) {
  Ref_obj* h = take_handle();
  h->target = o;
  h->strong = 0;
  h->weak = 0;
  o->handle_ = h;
  o->serial_ = ++t_serial;
}

void hold_own_count(Brek_object* o) {
  if (!o || o->none_ || o->own_count_ || !o->handle_) return;
  o->own_count_ = true;
  ++o->handle_->strong;
}

void begin_none() { ++t_none_depth; }
void end_none() { --t_none_depth; }
bool constructing_none() { return t_none_depth > 0; }

}  // namespace detail

Brek_object::~Brek_object() = default;

Brek_object* Brek_object::none_instance() const { return none_of<Brek_object>(); }

Brek_object* Brek_object::new_scratch_twin() const { return scratch_twin_of<Brek_object>(); }

namespace {

// What a handle of a disposed object reads from now on: a scratch twin of
// the None instance where references are still held (their writes land
// there), the None instance itself where none is.
Brek_object* stale_target(const Ref_obj* h, const Brek_object* o) {
  return h->strong > 0 || h->weak > 0 ? o->new_scratch_twin() : o->none_instance();
}

}  // namespace

void Brek_object::own(const Ref<Brek_object>& child) {
  if (none_ || child.is_none()) return;
  Ref_obj* h = child.raw_handle();
  ++h->strong;
  children_.push_back(h);
}

void dispose_object(Brek_object* o) {
  if (!o || o->is_none()) return;
  Ref_obj* h = o->handle();
  if (!h || h->target != o) return;  // already on its way out
  if (h->shared) {
    // Forced disposal of a handed-over object ends only this thread's hold;
    // freeing it under the other thread's feet would be a use after free.
    detail::Handover::let_go(h, o);
    return;
  }
  // Retarget first, so that code running below (children, hooks, member
  // destructors) that reaches this object through a reference sees None
  // and cannot dispose it a second time.
  h->target = stale_target(h, o);
  // Pin the handle: nothing below may recycle it under us.
  ++h->weak;
  // A record's own count has no holder to release it: without dropping it
  // the handle would never go back to the pool.
  if (o->own_count_) --h->strong;
  std::vector<Ref_obj*> kids;
  kids.swap(o->children_);
  for (Ref_obj* k : kids) {
    if (k->target && !k->target->is_none()) dispose_object(k->target);
  }
  for (Ref_obj* k : kids) detail::release_strong(k);
  o->destroy_hook();
  o->handle_ = nullptr;
  delete o;
  if (--h->weak <= 0 && h->strong <= 0) detail::recycle_handle(h);
}

Brek_object* object_none() { return none_of<Brek_object>(); }

Ref_obj* Brek_object::handle_on_this_thread() const {
  return t_handed_object == this ? t_handed_handle : handle_;
}

Ref_obj* hand_over(Brek_object* o) {
  if (!o || o->is_none() || o->handed_over_ || !o->handle_) return nullptr;
  auto* s = new detail::Handover();
  o->handle_->shared = s;
  Ref_obj* other = detail::take_handle();
  other->target = o;
  other->strong = 0;
  other->weak = 0;
  other->shared = s;
  o->handed_over_ = true;
  return other;
}

void adopt_handed_over(Brek_object* o, Ref_obj* h) {
  t_handed_object = o;
  t_handed_handle = h;
}

void forget_handed_over() {
  t_handed_object = nullptr;
  t_handed_handle = nullptr;
}

namespace detail {

void Handover::let_go(Ref_obj* h, Brek_object* o) {
  Handover* s = h->shared;
  h->shared = nullptr;
  // From now on this thread's references read the None instance.
  h->target = stale_target(h, o);
  ++h->weak;  // pinned while this runs
  if (s->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    // The other side let go first (acquire: its last uses of the object
    // happened before this point), so the object is this thread's alone:
    // give it this thread's handle back and dispose it here.
    delete s;
    if (h->target->scratch_) delete h->target;
    h->target = o;
    o->handle_ = h;
    o->handed_over_ = false;
    dispose_object(o);
  }
  if (--h->weak <= 0 && h->strong <= 0) recycle_handle(h);
}

}  // namespace detail

uint32_t current_serial() { return t_serial; }

}  // namespace brek
