#include "ui/main_window_win32.h"

#include "mapview/window_api_win32.h"
#include "res/resource.h"

namespace qv {
namespace {

constexpr wchar_t kClassName[] = L"QuorvanePanel";
constexpr double kWidthTwips = 9135;
constexpr double kHeightTwips = 780;
constexpr int kQuitId = 100;

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, WindowApi& windows, Sleeper& sleeper, const RunLog& log, EarthLink& link)
    : instance_(instance), panel_(*this, windows, sleeper, log, link), twips_(TwipsPerPixel::OfScreen()) {}

MainWindow::~MainWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
}

bool MainWindow::Open() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_QUORVANE));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_QUORVANE), IMAGE_ICON, 16, 16, 0));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);  // fails harmlessly when already registered

    RECT client = twips_.Pixels(0, 0, kWidthTwips, kHeightTwips);
    CreateWindowExW(0, kClassName, L"Quorvane", WS_POPUP | WS_CLIPCHILDREN, 0, 0, client.right, client.bottom, nullptr,
                    nullptr, instance_, this);
    if (!hwnd_) return false;
    panel_.OnLoad();
    return IsWindow(hwnd_) != FALSE;
}

double MainWindow::ScreenWidthTwips() { return GetSystemMetrics(SM_CXSCREEN) * twips_.x; }
double MainWindow::WidthTwips() { return kWidthTwips; }

void MainWindow::MoveTo(double leftTwips, double topTwips) {
    SetWindowPos(hwnd_, nullptr, twips_.PixelsX(leftTwips), twips_.PixelsY(topTwips), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::Show() {
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
}

double MainWindow::LeftTwips() {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    return r.left * twips_.x;
}

double MainWindow::TopTwips() {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    return r.top * twips_.y;
}

int32_t MainWindow::Handle() { return FromHwnd(hwnd_); }

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MainWindow* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
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
        // Nothing may unwind through the window procedure; the panel goes on.
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void MainWindow::OnCreate() {
    RECT quit = twips_.Pixels(8760, 15, 375, 375);
    HWND button = CreateWindowExW(0, L"BUTTON", L"X", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, quit.left, quit.top,
                                  quit.right - quit.left, quit.bottom - quit.top, hwnd_,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kQuitId)), instance_, nullptr);
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
}

void MainWindow::OnCommand(int id) {
    if (id == kQuitId) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void MainWindow::OnClose() { DestroyWindow(hwnd_); }

void MainWindow::OnDestroy() { PostQuitMessage(0); }

}  // namespace qv
