#pragma once
// One window class per window: `this` is bound at WM_NCCREATE and every
// message goes to Derived::HandleMessage; no exception leaves the procedure.
#include <windows.h>

#include <utility>

namespace qv {

// A window of our own that is not a child of another: destroyed with its owner.
class OwnedWindow {
public:
    OwnedWindow() = default;
    explicit OwnedWindow(HWND h) : h_(h) {}
    OwnedWindow(OwnedWindow&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    OwnedWindow& operator=(OwnedWindow&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, nullptr);
        }
        return *this;
    }
    OwnedWindow(const OwnedWindow&) = delete;
    OwnedWindow& operator=(const OwnedWindow&) = delete;
    ~OwnedWindow() { reset(); }
    HWND get() const { return h_; }
    void reset() {
        if (h_) DestroyWindow(std::exchange(h_, nullptr));
    }

private:
    HWND h_ = nullptr;
};

template <class Derived>
class WindowBase {
protected:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        Derived* self = nullptr;
        if (message == WM_NCCREATE) {
            self = static_cast<Derived*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->hwnd_ = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        } else {
            self = reinterpret_cast<Derived*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        }
        if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
        try {
            return self->HandleMessage(message, wParam, lParam);
        } catch (...) {
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
    }

    HWND hwnd_ = nullptr;
};

}  // namespace qv
