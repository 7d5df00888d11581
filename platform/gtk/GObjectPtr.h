// Owns one reference to a GObject. `adopt` takes a new (or floating)
// reference, `retain` adds one.
#pragma once

#include <glib-object.h>

#include <utility>

namespace platform::gtk {

template <typename T>
class GObjectPtr {
 public:
  GObjectPtr() = default;
  static GObjectPtr adopt(T* object) {
    if (object && g_object_is_floating(object)) g_object_ref_sink(object);
    return GObjectPtr(object);
  }
  static GObjectPtr retain(T* object) {
    if (object) g_object_ref(object);
    return GObjectPtr(object);
  }
  ~GObjectPtr() { reset(); }
  GObjectPtr(const GObjectPtr& other) : object_(other.object_) {
    if (object_) g_object_ref(object_);
  }
  GObjectPtr(GObjectPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  GObjectPtr& operator=(GObjectPtr other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }

  T* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  void reset() {
    if (auto* old = std::exchange(object_, nullptr)) g_object_unref(old);
  }

 private:
  explicit GObjectPtr(T* object) : object_(object) {}
  T* object_ = nullptr;
};

// A signal connection that disconnects when destroyed.
class ScopedSignal {
 public:
  ScopedSignal() = default;
  ScopedSignal(gpointer instance, gulong handler) : instance_(instance), handler_(handler) {
    g_object_add_weak_pointer(G_OBJECT(instance_), &instance_);
  }
  ~ScopedSignal() { disconnect(); }
  ScopedSignal(const ScopedSignal&) = delete;
  ScopedSignal& operator=(const ScopedSignal&) = delete;
  ScopedSignal(ScopedSignal&& other) noexcept { *this = std::move(other); }
  ScopedSignal& operator=(ScopedSignal&& other) noexcept {
    if (this == &other) return *this;
    disconnect();
    if (other.instance_) {
      g_object_remove_weak_pointer(G_OBJECT(other.instance_), &other.instance_);
      instance_ = std::exchange(other.instance_, nullptr);
      handler_ = std::exchange(other.handler_, 0);
      g_object_add_weak_pointer(G_OBJECT(instance_), &instance_);
    }
    return *this;
  }
  void disconnect() {
    if (!instance_) return;
    g_signal_handler_disconnect(instance_, handler_);
    g_object_remove_weak_pointer(G_OBJECT(instance_), &instance_);
    instance_ = nullptr;
    handler_ = 0;
  }

 private:
  gpointer instance_ = nullptr;
  gulong handler_ = 0;
};

}  // namespace platform::gtk
