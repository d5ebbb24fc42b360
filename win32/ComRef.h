// Holds one COM interface pointer and releases it when it goes; keeps COM up on this thread for as
// long as a dialog needs it.
#pragma once

#include <objbase.h>

namespace tarnwick::win32 {

template <typename T>
class ComRef {
  public:
    ComRef() = default;
    ~ComRef() {
        if (p_) p_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    T** out() { return &p_; }

  private:
    T* p_ = nullptr;
};

// COM for as long as a system dialog is up; a thread that has it already keeps it.
class ComScope {
  public:
    ComScope()
        : ok_(SUCCEEDED(
              CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComScope() {
        if (ok_) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    bool ok_;
};

}  // namespace tarnwick::win32
