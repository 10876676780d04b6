// Owners of Windows handles, GDI objects and COM pointers: each is released
// exactly once, when its owner goes.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <unknwn.h>

#include <utility>

namespace corvane::win32 {

// A handle with a release function; moves, never copies.
template <class H, class Release>
class Owned {
 public:
  Owned() = default;
  explicit Owned(H handle) noexcept : handle_(handle) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, H{})) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) {
      reset(std::exchange(other.handle_, H{}));
    }
    return *this;
  }
  ~Owned() { reset(); }

  [[nodiscard]] H get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != H{}; }
  void reset(H handle = H{}) noexcept {
    if (handle_ != H{}) {
      Release{}(handle_);
    }
    handle_ = handle;
  }
  [[nodiscard]] H release() noexcept { return std::exchange(handle_, H{}); }

 private:
  H handle_{};
};

struct DestroyWindowRelease {
  void operator()(HWND h) const noexcept { ::DestroyWindow(h); }
};
struct DeleteObjectRelease {
  void operator()(HGDIOBJ h) const noexcept { ::DeleteObject(h); }
};
struct DestroyIconRelease {
  void operator()(HICON h) const noexcept { ::DestroyIcon(h); }
};
struct ImageListRelease {
  void operator()(HIMAGELIST h) const noexcept { ::ImageList_Destroy(h); }
};
struct CloseHandleRelease {
  void operator()(HANDLE h) const noexcept { ::CloseHandle(h); }
};

struct UnhookRelease {
  void operator()(HHOOK h) const noexcept { ::UnhookWindowsHookEx(h); }
};

using HookHandle = Owned<HHOOK, UnhookRelease>;
using WindowHandle = Owned<HWND, DestroyWindowRelease>;
using GdiObject = Owned<HGDIOBJ, DeleteObjectRelease>;
using IconHandle = Owned<HICON, DestroyIconRelease>;
using ImageListHandle = Owned<HIMAGELIST, ImageListRelease>;
using KernelHandle = Owned<HANDLE, CloseHandleRelease>;

// A screen device context borrowed for one scope.
class ScreenDc {
 public:
  ScreenDc() : dc_(::GetDC(nullptr)) {}
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  ~ScreenDc() {
    if (dc_ != nullptr) {
      ::ReleaseDC(nullptr, dc_);
    }
  }
  [[nodiscard]] HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// A memory device context compatible with `like`.
class MemoryDc {
 public:
  explicit MemoryDc(HDC like) : dc_(::CreateCompatibleDC(like)) {}
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  ~MemoryDc() {
    if (dc_ != nullptr) {
      ::DeleteDC(dc_);
    }
  }
  [[nodiscard]] HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// Selects a GDI object into a device context for one scope.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;
  ~Selected() { ::SelectObject(dc_, previous_); }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A COM interface pointer that holds one reference.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller already holds.
  static ComPtr Adopt(T* raw) noexcept {
    ComPtr p;
    p.ptr_ = raw;
    return p;
  }
  ComPtr(const ComPtr& other) noexcept : ptr_(other.ptr_) {
    if (ptr_ != nullptr) {
      ptr_->AddRef();
    }
  }
  ComPtr& operator=(const ComPtr& other) noexcept {
    ComPtr copy(other);
    std::swap(ptr_, copy.ptr_);
    return *this;
  }
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr moved(std::move(other));
    std::swap(ptr_, moved.ptr_);
    return *this;
  }
  ~ComPtr() { reset(); }

  void reset() noexcept {
    if (ptr_ != nullptr) {
      std::exchange(ptr_, nullptr)->Release();
    }
  }
  [[nodiscard]] T* get() const noexcept { return ptr_; }
  T* operator->() const noexcept { return ptr_; }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }
  // For out-parameters: releases what is held and hands out the slot.
  T** Out() noexcept {
    reset();
    return &ptr_;
  }
  template <class U>
  ComPtr<U> As(REFIID iid) const noexcept {
    ComPtr<U> other;
    if (ptr_ != nullptr) {
      ptr_->QueryInterface(iid, reinterpret_cast<void**>(other.Out()));
    }
    return other;
  }

 private:
  T* ptr_ = nullptr;
};

// COM initialised for the thread's lifetime of this object.
class ComApartment {
 public:
  ComApartment() : ok_(SUCCEEDED(::OleInitialize(nullptr))) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (ok_) {
      ::OleUninitialize();
    }
  }

 private:
  bool ok_;
};

}  // namespace corvane::win32
