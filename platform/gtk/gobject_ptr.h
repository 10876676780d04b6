// Owning references to GLib objects.
#pragma once

#include <glib-object.h>

#include <utility>

namespace corvane::gtk {

// Holds one reference to a GObject and drops it when it goes.
template <class T>
class GObjectPtr {
 public:
  GObjectPtr() = default;
  // Takes over a reference the caller owns (a "transfer full" result).
  explicit GObjectPtr(T* owned) noexcept : object_(owned) {}
  GObjectPtr(const GObjectPtr& other) noexcept : object_(other.object_) {
    if (object_ != nullptr) {
      g_object_ref(object_);
    }
  }
  GObjectPtr(GObjectPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  GObjectPtr& operator=(GObjectPtr other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~GObjectPtr() { reset(); }

  void reset() noexcept {
    if (object_ != nullptr) {
      g_object_unref(std::exchange(object_, nullptr));
    }
  }
  [[nodiscard]] T* get() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

}  // namespace corvane::gtk
