#include "runtime/object.h"

namespace brek {

namespace {
// Handles are recycled per thread, last in first out.
struct Handle_pool {
  std::vector<Ref_obj*> free;
  ~Handle_pool() {
    for (Ref_obj* h : free) delete h;
  }
};
thread_local Handle_pool t_pool;
thread_local uint32_t t_serial = 0;
thread_local int t_none_depth = 0;
}  // namespace

namespace detail {

Ref_obj* take_handle() {
  if (!t_pool.free.empty()) {
    Ref_obj* h = t_pool.free.back();
    t_pool.free.pop_back();
    return h;
  }
  return new Ref_obj();
}

void recycle_handle(Ref_obj* h) {
  h->target = nullptr;
  h->strong = 0;
  h->weak = 0;
  if (t_pool.free.size() < 4096)
    t_pool.free.push_back(h);
  else
    delete h;
}

void release_strong(Ref_obj* h) {
  if (--h->strong > 0) return;
  Brek_object* t = h->target;
  if (t && !t->is_none()) {
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

void begin_none() { ++t_none_depth; }
void end_none() { --t_none_depth; }
bool constructing_none() { return t_none_depth > 0; }

}  // namespace detail

Brek_object::~Brek_object() = default;

Brek_object* Brek_object::none_instance() const { return none_of<Brek_object>(); }

void Brek_object::own(const Ref<Brek_object>& child) {
  if (none_ || child.is_none()) return;
  Ref_obj* h = child.raw_handle();
  ++h->strong;
  children_.push_back(h);
}

void dispose_object(Brek_object* o) {
  if (!o || o->is_none()) return;
  Ref_obj* h = o->handle_;
  if (!h || h->target != o) return;  // already on its way out
  // Pin the handle: nothing below may recycle it under us.
  ++h->weak;
  // Retarget first, so that code running below (children, hooks, member
  // destructors) that reaches this object through a reference sees None
  // and cannot dispose it a second time.
  h->target = o->none_instance();
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

uint32_t current_serial() { return t_serial; }

}  // namespace brek
