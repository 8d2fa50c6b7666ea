#pragma once
// The object model: every class of the program derives from Brek_object and
// is reached through Ref<T> (strong) or Weak<T> (weak) references that are
// never null. A reference that names nothing names the None instance of its
// class: an immortal object of that class whose methods are safe to call.
//
// All references to one object share one handle (Ref_obj: the target and two
// counts). Disposing an object, by releasing its last strong reference or
// by dispose_now, retargets that handle to the None instance of the object's
// own class, so every reference still held reads the None instance instead
// of freed memory. The handle itself is recycled only when nothing holds it.
// Disposing disposes the owned children first, then runs destroy_hook. The
// handle's new target is a scratch twin of the None instance (built as it
// is, freed later in batches), so a write made through a stale reference
// never reaches the shared None instance.
//
// Process-wide tables that hold references are never destroyed: the
// thread's handle pool goes at exit before function-local statics do.
//
// Counts are plain integers: objects belong to one thread at a time, and the
// thread hand-over (hand_over below) is the only place where objects cross
// threads. A handed-over object has one handle per thread, each counted only
// by its own thread; a single atomic count of the sides that still hold it
// decides which thread disposes it.

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace brek {

class Brek_object;
template <class T> class Ref;
template <class T> class Weak;

namespace detail {
struct Handover;  // the two sides of a handed-over object (object.cpp)
}

// The handle shared by every reference to one object (on one thread).
struct Ref_obj {
  Brek_object* target = nullptr;
  int32_t strong = 0;  // strong references held
  int32_t weak = 0;    // weak references held (plus one while disposing)
  // Set while the target is held from another thread too, through a handle
  // of that thread's own.
  detail::Handover* shared = nullptr;
};

namespace detail {
Ref_obj* take_handle();              // from the thread's pool, or new
void recycle_handle(Ref_obj* h);     // back to the thread's pool
void release_strong(Ref_obj* h);     // count -1; disposes at 0
void release_weak(Ref_obj* h);       // count -1; recycles when unheld
void attach_new(Brek_object* o);     // gives a new object its handle and serial
void hold_own_count(Brek_object* o); // a record's own strong count (make_record)
void begin_none();                   // None construction starts (arrays freeze)
void end_none();
bool constructing_none();
}  // namespace detail

// Root of every class of the program.
class Brek_object {
 public:
  Brek_object() = default;
  virtual ~Brek_object();
  Brek_object(const Brek_object&) = delete;
  Brek_object& operator=(const Brek_object&) = delete;

  // Serial number: the creating thread's counter after it was incremented.
  uint32_t serial() const { return serial_; }
  // True for the None instance of a class.
  bool is_none() const { return none_; }
  // The class's name, as the program spells it.
  virtual const char* class_name() const { return "Brek_object"; }
  // The None instance of this object's own class.
  virtual Brek_object* none_instance() const;
  // A new scratch twin of that None instance (see the top of this file).
  virtual Brek_object* new_scratch_twin() const;
  // The object as references compare it: every None instance and scratch
  // twin of a class counts as that class's None instance.
  const Brek_object* identity() const { return none_ ? none_instance() : this; }

  // Runs once after construction, when virtual calls work (make<T>).
  virtual void init() {}
  // Runs when the object is disposed, after its owned children; an override
  // ends by calling its parent's.
  virtual void destroy_hook() {}

  // Owned children are disposed, in the order they were added, before the
  // owner's destroy_hook runs. Adding to a None instance does nothing.
  void own(const Ref<Brek_object>& child);
  // The children in the order they were added.
  const std::vector<Ref_obj*>& children() const { return children_; }

  // The handle shared by references to this object on the calling thread
  // (nullptr for None).
  Ref_obj* handle() const { return handed_over_ ? handle_on_this_thread() : handle_; }

 private:
  friend void detail::attach_new(Brek_object*);
  friend void detail::hold_own_count(Brek_object*);
  friend void dispose_object(Brek_object*);
  friend Ref_obj* hand_over(Brek_object*);
  friend struct detail::Handover;
  template <class T> friend T* none_of();
  template <class T> friend T* scratch_twin_of();
  friend void detail::recycle_handle(Ref_obj*);

  Ref_obj* handle_on_this_thread() const;

  Ref_obj* handle_ = nullptr;  // the handle of the thread that owns the object
  std::vector<Ref_obj*> children_;  // strong handles of owned children
  uint32_t serial_ = 0;
  bool none_ = false;
  // Set once the object was handed to a second thread; written only before
  // that thread starts and by the side that disposes the object.
  bool handed_over_ = false;
  bool own_count_ = false;  // a record holding a strong count of its own
  bool scratch_ = false;  // a scratch twin, owned by the handle it is the target of
};

// Disposes the object now: children first, then destroy_hook, then every
// reference is retargeted to the None instance and the memory freed.
void dispose_object(Brek_object* o);

// The None instance of class T: created on first use, never freed.
template <class T>
T* none_of() {
  static T* instance = [] {
    detail::begin_none();
    T* n = new T();
    detail::end_none();
    n->none_ = true;
    n->serial_ = 0;
    return n;
  }();
  return instance;
}

// A scratch twin of T's None instance: built as the None instance is.
template <class T>
T* scratch_twin_of() {
  detail::begin_none();
  T* n = new T();
  detail::end_none();
  n->none_ = true;
  n->scratch_ = true;
  n->serial_ = 0;
  return n;
}

// Declares a class's name and None instance; every class of the program
// puts this at the top of its body.
#define BREK_CLASS(Name)                                                   \
 public:                                                                   \
  const char* class_name() const override { return #Name; }                \
  ::brek::Brek_object* none_instance() const override {                    \
    return ::brek::none_of<Name>();                                        \
  }                                                                        \
  ::brek::Brek_object* new_scratch_twin() const override {                 \
    return ::brek::scratch_twin_of<Name>();                                \
  }                                                                        \
                                                                           \
 private:

// A strong reference; never null. The default reference names T's None.
template <class T>
class Ref {
 public:
  Ref() noexcept = default;
  Ref(const Ref& o) noexcept : h_(o.h_) {
    if (h_) ++h_->strong;
  }
  Ref(Ref&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
  template <class U, class = std::enable_if_t<std::is_base_of_v<T, U>>>
  Ref(const Ref<U>& o) noexcept : h_(o.raw_handle()) {
    if (h_) ++h_->strong;
  }
  template <class U, class = std::enable_if_t<std::is_base_of_v<T, U>>>
  Ref(Ref<U>&& o) noexcept : h_(o.release_handle()) {}
  // A reference to an object that already exists (this, for example).
  explicit Ref(T* p) noexcept : h_(p ? p->handle() : nullptr) {
    if (h_) ++h_->strong;
  }
  ~Ref() {
    if (h_) detail::release_strong(h_);
  }
  Ref& operator=(const Ref& o) noexcept {
    Ref_obj* old = h_;
    h_ = o.h_;
    if (h_) ++h_->strong;  // before the release: self-assignment is safe
    if (old) detail::release_strong(old);
    return *this;
  }
  Ref& operator=(Ref&& o) noexcept {
    if (this != &o) {
      Ref_obj* old = h_;
      h_ = o.h_;
      o.h_ = nullptr;
      if (old) detail::release_strong(old);
    }
    return *this;
  }

  T* get() const noexcept {
    if (h_) return static_cast<T*>(h_->target);
    return none_of<T>();
  }
  T* operator->() const noexcept { return get(); }
  T& operator*() const noexcept { return *get(); }
  // True when this names a None instance (never assigned, or disposed).
  bool is_none() const noexcept { return get()->is_none(); }
  // Same target object (any two None references of a class are the same).
  bool same(const Ref& o) const noexcept { return get() == o.get() || get()->identity() == o.get()->identity(); }
  template <class U>
  bool operator==(const Ref<U>& o) const noexcept {
    const Brek_object* a = get();
    const Brek_object* b = o.get();
    return a == b || a->identity() == b->identity();
  }
  // Back to T's None.
  void reset() noexcept {
    if (h_) detail::release_strong(h_);
    h_ = nullptr;
  }

  Ref_obj* raw_handle() const noexcept { return h_; }
  Ref_obj* release_handle() noexcept {
    Ref_obj* h = h_;
    h_ = nullptr;
    return h;
  }
  // Takes over a handle whose strong count the caller already raised.
  static Ref adopt(Ref_obj* h) noexcept {
    Ref r;
    r.h_ = h;
    return r;
  }

 private:
  Ref_obj* h_ = nullptr;
};

// A weak reference: reads its target while the target lives, T's None after.
template <class T>
class Weak {
 public:
  Weak() noexcept = default;
  Weak(const Weak& o) noexcept : h_(o.h_) {
    if (h_) ++h_->weak;
  }
  Weak(Weak&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
  template <class U, class = std::enable_if_t<std::is_base_of_v<T, U>>>
  Weak(const Ref<U>& r) noexcept : h_(r.raw_handle()) {
    if (h_) ++h_->weak;
  }
  template <class U, class = std::enable_if_t<std::is_base_of_v<T, U>>>
  Weak(const Weak<U>& o) noexcept : h_(o.raw_handle()) {
    if (h_) ++h_->weak;
  }
  ~Weak() {
    if (h_) detail::release_weak(h_);
  }
  Weak& operator=(const Weak& o) noexcept {
    Ref_obj* old = h_;
    h_ = o.h_;
    if (h_) ++h_->weak;
    if (old) detail::release_weak(old);
    return *this;
  }
  Weak& operator=(Weak&& o) noexcept {
    if (this != &o) {
      Ref_obj* old = h_;
      h_ = o.h_;
      o.h_ = nullptr;
      if (old) detail::release_weak(old);
    }
    return *this;
  }

  T* get() const noexcept {
    if (h_) return static_cast<T*>(h_->target);
    return none_of<T>();
  }
  T* operator->() const noexcept { return get(); }
  bool is_none() const noexcept { return get()->is_none(); }
  // A strong reference to the target (T's None once it was disposed).
  Ref<T> lock() const noexcept {
    if (!h_ || h_->target->is_none()) return Ref<T>();
    ++h_->strong;
    return Ref<T>::adopt(h_);
  }
  void reset() noexcept {
    if (h_) detail::release_weak(h_);
    h_ = nullptr;
  }
  Ref_obj* raw_handle() const noexcept { return h_; }

 private:
  Ref_obj* h_ = nullptr;
};

// Creates an object and then runs its init() (two phases: init may call
// virtual functions).
template <class T, class... Args>
Ref<T> make(Args&&... args) {
  bool in_none = detail::constructing_none();
  if (in_none) detail::end_none();  // a real object made inside a None's constructor
  T* o = new T(std::forward<Args>(args)...);
  if (in_none) detail::begin_none();
  detail::attach_new(o);
  ++o->handle()->strong;
  Ref<T> r = Ref<T>::adopt(o->handle());
  o->init();
  return r;
}

// The checked cast: the object when it is a T (or derives from T), else T's
// None instance.
template <class T, class U>
Ref<T> ref_cast(const Ref<U>& r) noexcept {
  if (!dynamic_cast<T*>(static_cast<Brek_object*>(r.get()))) return Ref<T>();
  Ref_obj* h = r.raw_handle();
  if (h) ++h->strong;
  return Ref<T>::adopt(h);
}

// Disposes the referenced object whatever other references exist; they all
// read the None instance afterwards. Nothing for a None instance.
template <class T>
void dispose_now(const Ref<T>& r) {
  Brek_object* o = r.get();
  if (o && !o->is_none()) dispose_object(o);
}
template <class T>
void dispose_now(const Weak<T>& r) {
  Brek_object* o = r.get();
  if (o && !o->is_none()) dispose_object(o);
}

// The None instance of Brek_object itself.
Brek_object* object_none();

// ---- hand-over of one object to a second thread ----------------------------
//
// hand_over runs on the thread that owns o, before the second thread exists,
// and gives back the handle through which the second thread will reference
// o (no reference counted on it yet; from then on only that thread touches
// it). Each thread then counts its own handle. The object lives while either
// side holds it: a side lets go when its last strong reference goes or when
// it disposes the object (dispose_now), after which its own references read
// the None instance while the other side keeps the object; the side that
// lets go last disposes it, on its own thread.
//
// Only the object itself is handed over: objects reached through its fields
// stay counted by the thread that owns them, so the second thread may read
// through such fields but must not copy or drop references to them.
//
// Gives nullptr for a None instance or an object already handed over.
Ref_obj* hand_over(Brek_object* o);
// On the second thread: references made from a plain pointer to o there
// (Ref<T>(this)) use its handle h. One object per thread.
void adopt_handed_over(Brek_object* o, Ref_obj* h);
// On the second thread, once it let go of the object.
void forget_handed_over();

// The thread's serial counter (the last serial given on this thread).
uint32_t current_serial();

// Records (St_...) that are shared objects derive from Structure_any: a
// record holds one extra strong count of its own, so releases never dispose
// it; it lives until dispose_now.
class Structure_any : public Brek_object {
  BREK_CLASS(Structure_any)
 public:
  // A new record with the same field values; the base has none to copy.
  virtual Ref<Structure_any> copy() const { return Ref<Structure_any>(); }
};

// Creates a record: like make<T>, plus the record's own count.
template <class T, class... Args>
Ref<T> make_record(Args&&... args) {
  Ref<T> r = make<T>(std::forward<Args>(args)...);
  detail::hold_own_count(r.get());
  return r;
}

}  // namespace brek
