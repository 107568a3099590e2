// Test driver for the end-to-end tests: finds the program's windows through
// Win32 and reads or presses them, printing UTF-8 on standard output.
//
//   qvdriver windows TITLE                 hwnd, class and visibility of each top-level window titled TITLE
//   qvdriver wait TITLE SECONDS            waits for a visible top-level window titled TITLE, prints its hwnd
//   qvdriver texts TITLE                   class and text of every child of the first window titled TITLE
//   qvdriver press TITLE BUTTON            clicks the child button with text BUTTON
//   qvdriver info CLASS                    rect, visibility and top-most flag of the first window of class CLASS
//   qvdriver close CLASS                   asks the first window of class CLASS to close
//   qvdriver controls TITLE                id, class, visibility and text of each child of the window titled TITLE
//   qvdriver dblclick TITLE ID             double-clicks the child with that id
//   qvdriver click TITLE ID                clicks the button with that id (BM_CLICK)
//   qvdriver checked TITLE ID              prints 1 when the check box with that id is checked, else 0
//   qvdriver hold TITLE ID MS              presses the left button on the child with that id for MS milliseconds
//   qvdriver rect HWND                     the window's screen rectangle: left top right bottom
//   qvdriver layered CLASS                 colour key, alpha and flags of the first window of class CLASS
//   qvdriver post TITLE ID                 posts the button's click to its window, which hears it later
//   qvdriver settext TITLE ID TEXT         sets the text of the edit or list with that id, as if typed
//   qvdriver select TITLE ID TEXT          picks the item TEXT in the list with that id
//   qvdriver items TITLE ID                the list's items, the chosen one marked "*"
//   qvdriver enabled TITLE ID              prints 1 when the control with that id takes input, else 0
//   qvdriver focus TITLE                   the id of the control with the keyboard focus in the window titled TITLE
//   qvdriver savesettings PATH             writes the Config.ini at PATH as the settings dialog's OK does, EyeHigh
//                                          1111 and 2222 by turns, again and again until it is killed
//   qvdriver watch CLASS SECONDS           pings the first window of class CLASS every 50 ms; prints the pings, the
//                                          slowest answer in ms and the message boxes of its process seen meanwhile
//   qvdriver memory CLASS                  working set and peak working set of the process owning that window, in KB
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/settings.h"
#include "base/text_codec.h"

namespace {

void Print(const std::string& utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}

// WM_GETTEXT rather than GetWindowText: across processes GetWindowText reads
// only the caption, which an edit control does not keep.
std::wstring TextOf(HWND hwnd) {
    wchar_t buffer[4096] = L"";
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, &copied);
    return buffer;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t buffer[256] = L"";
    GetClassNameW(hwnd, buffer, 256);
    return buffer;
}

std::vector<HWND> TopLevel() {
    std::vector<HWND> all;
    EnumWindows(
        [](HWND hwnd, LPARAM p) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> all;
    EnumChildWindows(
        parent,
        [](HWND hwnd, LPARAM p) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

// A top-level window's title is kept by the system and read without a message,
// so a window whose thread is busy or slow to answer is still found.
std::wstring TitleOf(HWND hwnd) {
    wchar_t buffer[512] = L"";
    GetWindowTextW(hwnd, buffer, 512);
    return buffer;
}

std::vector<HWND> Titled(const std::wstring& title) {
    std::vector<HWND> found;
    for (HWND h : TopLevel())
        if (TitleOf(h) == title) found.push_back(h);
    return found;
}

HWND OfClass(const std::wstring& cls) {
    for (HWND h : TopLevel())
        if (ClassOf(h) == cls) return h;
    return nullptr;
}

std::string Hex(HWND h) {
    char b[32];
    std::snprintf(b, sizeof b, "%llu", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
    return b;
}

int Windows(const std::wstring& title) {
    for (HWND h : Titled(title))
        Print(Hex(h) + " " + qv::WideToUtf8(ClassOf(h)) + (IsWindowVisible(h) ? " visible" : " hidden") + "\n");
    return 0;
}

// A box being built is there, hidden and empty, before it shows: the shown one is meant.
HWND Shown(const std::vector<HWND>& windows) {
    auto shown = std::find_if(windows.begin(), windows.end(), [](HWND h) { return IsWindowVisible(h); });
    return shown != windows.end() ? *shown : nullptr;
}

int Wait(const std::wstring& title, double seconds) {
    DWORD until = GetTickCount() + static_cast<DWORD>(seconds * 1000);
    do {
        if (HWND h = Shown(Titled(title))) {
            Print(Hex(h) + "\n");
            return 0;
        }
        Sleep(100);
    } while (static_cast<LONG>(until - GetTickCount()) > 0);
    return 1;
}

int Texts(const std::wstring& title) {
    std::vector<HWND> found = Titled(title);
    if (found.empty()) return 1;
    HWND shown = Shown(found);
    for (HWND c : Children(shown ? shown : found.front())) {
        LONG style = GetWindowLongW(c, GWL_STYLE);
        std::string kind = qv::WideToUtf8(ClassOf(c));
        if (kind == "Static" && (style & SS_TYPEMASK) == SS_ICON) kind = "Icon";
        Print(kind + "\t" + qv::WideToUtf8(TextOf(c)) + "\n");
    }
    return 0;
}

int Press(const std::wstring& title, const std::wstring& button) {
    for (HWND w : Titled(title))
        for (HWND c : Children(w))
            if (TextOf(c) == button) {
                // BM_CLICK needs the button's window active to reach its owner.
                SetForegroundWindow(w);
                PostMessageW(w, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(c), BN_CLICKED), reinterpret_cast<LPARAM>(c));
                return 0;
            }
    return 1;
}

int Info(const std::wstring& cls) {
    HWND h = OfClass(cls);
    if (!h) return 1;
    RECT r{};
    GetWindowRect(h, &r);
    LONG ex = GetWindowLongW(h, GWL_EXSTYLE);
    char b[200];
    std::snprintf(b, sizeof b,
                  "hwnd=%s left=%ld top=%ld width=%ld height=%ld visible=%d topmost=%d screen=%d enabled=%d\n",
                  Hex(h).c_str(), r.left, r.top, r.right - r.left, r.bottom - r.top, IsWindowVisible(h) ? 1 : 0,
                  (ex & WS_EX_TOPMOST) ? 1 : 0, GetSystemMetrics(SM_CXSCREEN), IsWindowEnabled(h) ? 1 : 0);
    Print(b);
    return 0;
}

int Controls(const std::wstring& title) {
    std::vector<HWND> found = Titled(title);
    if (found.empty()) return 1;
    for (HWND c : Children(found.front())) {
        if (GetParent(c) != found.front()) continue;
        Print(std::to_string(GetDlgCtrlID(c)) + "\t" + qv::WideToUtf8(ClassOf(c)) + "\t" +
              (IsWindowVisible(c) ? "visible" : "hidden") + "\t" + qv::WideToUtf8(TextOf(c)) + "\n");
    }
    return 0;
}

// Every child's id, its rectangle on the screen, and whether it is shown.
int Layout(const std::wstring& title) {
    std::vector<HWND> found = Titled(title);
    if (found.empty()) return 1;
    for (HWND c : Children(found.front())) {
        if (GetParent(c) != found.front()) continue;
        RECT r{};
        GetWindowRect(c, &r);
        char b[120];
        std::snprintf(b, sizeof b, "%d %ld %ld %ld %ld %d\n", GetDlgCtrlID(c), r.left, r.top, r.right, r.bottom,
                      IsWindowVisible(c) ? 1 : 0);
        Print(b);
    }
    return 0;
}

// With `thenClose`, a close of the window follows at once, so it comes while the double click is handled.
int DoubleClick(const std::wstring& title, int id, bool thenClose = false) {
    for (HWND w : Titled(title)) {
        HWND c = GetDlgItem(w, id);
        if (!c) continue;
        RECT r{};
        GetClientRect(c, &r);
        LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
        PostMessageW(c, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(c, WM_LBUTTONUP, 0, at);
        PostMessageW(c, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        PostMessageW(c, WM_LBUTTONUP, 0, at);
        if (thenClose) PostMessageW(w, WM_CLOSE, 0, 0);
        return 0;
    }
    return 1;
}

int Click(const std::wstring& title, int id) {
    for (HWND w : Titled(title))
        if (HWND c = GetDlgItem(w, id)) {
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(c, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
            return 0;
        }
    return 1;
}

int Checked(const std::wstring& title, int id) {
    for (HWND w : Titled(title))
        if (HWND c = GetDlgItem(w, id)) {
            DWORD_PTR state = 0;
            SendMessageTimeoutW(c, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state);
            Print(state == BST_CHECKED ? "1\n" : "0\n");
            return 0;
        }
    return 1;
}

int Hold(const std::wstring& title, int id, int ms) {
    for (HWND w : Titled(title))
        if (HWND c = GetDlgItem(w, id)) {
            LPARAM at = MAKELPARAM(5, 5);
            PostMessageW(c, WM_LBUTTONDOWN, MK_LBUTTON, at);
            Sleep(static_cast<DWORD>(ms));
            PostMessageW(c, WM_LBUTTONUP, 0, at);
            return 0;
        }
    return 1;
}

int Rect(const std::wstring& handle) {
    HWND h = reinterpret_cast<HWND>(static_cast<uintptr_t>(_wcstoui64(handle.c_str(), nullptr, 10)));
    RECT r{};
    if (!GetWindowRect(h, &r)) return 1;
    Print(std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
          std::to_string(r.bottom) + "\n");
    return 0;
}

int Layered(const std::wstring& cls) {
    HWND h = OfClass(cls);
    if (!h) return 1;
    COLORREF key = 0;
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!GetLayeredWindowAttributes(h, &key, &alpha, &flags)) return 1;
    LONG ex = GetWindowLongW(h, GWL_EXSTYLE);
    Print("key=" + std::to_string(key) + " alpha=" + std::to_string(alpha) + " flags=" + std::to_string(flags) +
          " layered=" + std::to_string((ex & WS_EX_LAYERED) ? 1 : 0) + "\n");
    return 0;
}

HWND ShownChild(const std::wstring& title, int id) {
    std::vector<HWND> found = Titled(title);
    HWND shown = Shown(found);
    for (HWND w : shown ? std::vector<HWND>{shown} : found)
        if (HWND c = GetDlgItem(w, id)) return c;
    return nullptr;
}

// A click the program hears later, as a real one: a button that opens a modal window does not hold the driver.
int Post(const std::wstring& title, int id) {
    HWND c = ShownChild(title, id);
    if (!c) return 1;
    PostMessageW(GetParent(c), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(c));
    return 0;
}

// Types TEXT into the edit (or the list's edit) with that id: it tells its dialog, as typing does.
int SetText(const std::wstring& title, int id, const std::wstring& text) {
    HWND c = ShownChild(title, id);
    if (!c) return 1;
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000, &ignored);
    if (ClassOf(c) == L"ComboBox")  // a list's edit does not tell by itself
        SendMessageTimeoutW(GetParent(c), WM_COMMAND, MAKEWPARAM(id, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(c),
                            SMTO_ABORTIFHUNG, 5000, &ignored);
    return 0;
}

// Picks the item whose text is TEXT from the list with that id, as a user does.
int Select(const std::wstring& title, int id, const std::wstring& text) {
    HWND c = ShownChild(title, id);
    if (!c) return 1;
    DWORD_PTR at = 0, ignored = 0;
    SendMessageTimeoutW(c, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 5000, &at);
    if (static_cast<LRESULT>(at) == CB_ERR) return 2;
    SendMessageTimeoutW(c, CB_SETCURSEL, at, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    SendMessageTimeoutW(GetParent(c), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(c),
                        SMTO_ABORTIFHUNG, 5000, &ignored);
    return 0;
}

// The items of the list with that id, one a line, the chosen one marked with "*".
int Items(const std::wstring& title, int id) {
    HWND c = ShownChild(title, id);
    if (!c) return 1;
    DWORD_PTR n = 0, chosen = 0;
    SendMessageTimeoutW(c, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &n);
    SendMessageTimeoutW(c, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &chosen);
    for (DWORD_PTR i = 0; i < n; ++i) {
        wchar_t item[512] = L"";
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(c, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item), SMTO_ABORTIFHUNG, 5000, &ignored);
        Print((i == chosen ? "*" : "") + qv::WideToUtf8(item) + "\n");
    }
    return 0;
}

int Focus(const std::wstring& title) {
    HWND w = Shown(Titled(title));
    if (!w) return 1;
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(w, nullptr), &info) || !info.hwndFocus) return 1;
    HWND focus = info.hwndFocus;
    if (ClassOf(GetParent(focus)) == L"ComboBox") focus = GetParent(focus);  // a list's own edit
    Print(std::to_string(GetDlgCtrlID(focus)) + "\n");
    return 0;
}

int SaveSettings(const std::wstring& path) {
    std::string file = qv::WideToUtf8(path);
    for (unsigned n = 0;; ++n) {
        std::vector<qv::ProfileChange> change = {{"GE", "EyeHigh", n % 2 ? "2222" : "1111"}};
        if (qv::SaveSettingsChanges(file, change, "", qv::Utf8Config::ask) != qv::ConfigSave::saved) return 1;
        if (n == 0) Print("writing\n");
    }
}

int Enabled(const std::wstring& title, int id) {
    HWND c = ShownChild(title, id);
    if (!c) return 1;
    Print(IsWindowEnabled(c) ? "1\n" : "0\n");
    return 0;
}

// A message box of the watched process: a visible dialog-class window it owns.
bool MessageBoxOf(DWORD process) {
    for (HWND h : TopLevel()) {
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        if (owner == process && IsWindowVisible(h) && ClassOf(h) == L"#32770") return true;
    }
    return false;
}

int Watch(const std::wstring& cls, double seconds) {
    HWND h = OfClass(cls);
    if (!h) return 1;
    DWORD process = 0;
    GetWindowThreadProcessId(h, &process);
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    long pings = 0, unanswered = 0, boxes = 0;
    double worst = 0;
    for (;;) {
        LARGE_INTEGER before, after;
        QueryPerformanceCounter(&before);
        DWORD_PTR ignored = 0;
        // WM_NULL is answered by the window's thread as soon as it reaches its message loop.
        if (!SendMessageTimeoutW(h, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored)) ++unanswered;
        QueryPerformanceCounter(&after);
        worst = std::max(worst, 1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
                                    static_cast<double>(frequency.QuadPart));
        ++pings;
        if (MessageBoxOf(process)) ++boxes;
        if (!IsWindow(h)) break;
        QueryPerformanceCounter(&now);
        if (static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart) >= seconds)
            break;
        Sleep(50);
    }
    char b[160];
    std::snprintf(b, sizeof b, "pings=%ld unanswered=%ld worst_ms=%.0f boxes=%ld alive=%d\n", pings, unanswered, worst,
                  boxes, IsWindow(h) ? 1 : 0);
    Print(b);
    return 0;
}

// Waits until control `id` of the window titled `title` is visible; prints when, as Unix time in
// milliseconds, so the test can set it against the moment it caused it.
int Shown(const std::wstring& title, int id, double seconds) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < seconds * 1000) {
        for (HWND w : Titled(title))
            if (HWND c = GetDlgItem(w, id); c && IsWindowVisible(c)) {
                FILETIME now;
                GetSystemTimePreciseAsFileTime(&now);
                uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
                Print("unix_ms=" + std::to_string(ticks / 10000 - 11644473600000ULL) + "\n");
                return 0;
            }
        Sleep(5);
    }
    return 1;
}

// The program's resources: memory, and its GDI objects, USER objects and kernel handles.
int Memory(const std::wstring& cls) {
    HWND h = OfClass(cls);
    if (!h) return 1;
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return 1;
    PROCESS_MEMORY_COUNTERS_EX counters{};
    BOOL ok = GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    DWORD handles = 0;
    BOOL counted = GetProcessHandleCount(process, &handles);
    DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS), user = GetGuiResources(process, GR_USEROBJECTS);
    CloseHandle(process);
    if (!ok) return 1;
    Print("working_kb=" + std::to_string(counters.WorkingSetSize / 1024) +
          " peak_kb=" + std::to_string(counters.PeakWorkingSetSize / 1024) +
          " private_kb=" + std::to_string(counters.PrivateUsage / 1024) + " handles=" +
          (counted ? std::to_string(handles) : std::string("-1")) + " gdi=" + std::to_string(gdi) +
          " user=" + std::to_string(user) + "\n");
    return 0;
}

int Close(const std::wstring& cls) {
    HWND h = OfClass(cls);
    if (!h) return 1;
    PostMessageW(h, WM_CLOSE, 0, 0);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> a(argv + 1, argv + argc);
    if (a.size() == 2 && a[0] == L"windows") return Windows(a[1]);
    if (a.size() == 3 && a[0] == L"wait") return Wait(a[1], _wtof(a[2].c_str()));
    if (a.size() == 2 && a[0] == L"texts") return Texts(a[1]);
    if (a.size() == 3 && a[0] == L"press") return Press(a[1], a[2]);
    if (a.size() == 2 && a[0] == L"info") return Info(a[1]);
    if (a.size() == 2 && a[0] == L"close") return Close(a[1]);
    if (a.size() == 2 && a[0] == L"controls") return Controls(a[1]);
    if (a.size() == 2 && a[0] == L"layout") return Layout(a[1]);
    if (a.size() == 3 && a[0] == L"dblclick") return DoubleClick(a[1], _wtoi(a[2].c_str()));
    if (a.size() == 3 && a[0] == L"dblclick-close") return DoubleClick(a[1], _wtoi(a[2].c_str()), true);
    if (a.size() == 3 && a[0] == L"click") return Click(a[1], _wtoi(a[2].c_str()));
    if (a.size() == 3 && a[0] == L"checked") return Checked(a[1], _wtoi(a[2].c_str()));
    if (a.size() == 4 && a[0] == L"hold") return Hold(a[1], _wtoi(a[2].c_str()), _wtoi(a[3].c_str()));
    if (a.size() == 2 && a[0] == L"rect") return Rect(a[1]);
    if (a.size() == 2 && a[0] == L"layered") return Layered(a[1]);
    if (a.size() == 3 && a[0] == L"post") return Post(a[1], _wtoi(a[2].c_str()));
    if (a.size() == 4 && a[0] == L"settext") return SetText(a[1], _wtoi(a[2].c_str()), a[3]);
    if (a.size() == 4 && a[0] == L"select") return Select(a[1], _wtoi(a[2].c_str()), a[3]);
    if (a.size() == 3 && a[0] == L"items") return Items(a[1], _wtoi(a[2].c_str()));
    if (a.size() == 3 && a[0] == L"enabled") return Enabled(a[1], _wtoi(a[2].c_str()));
    if (a.size() == 2 && a[0] == L"savesettings") return SaveSettings(a[1]);
    if (a.size() == 2 && a[0] == L"focus") return Focus(a[1]);
    if (a.size() == 3 && a[0] == L"watch") return Watch(a[1], _wtof(a[2].c_str()));
    if (a.size() == 2 && a[0] == L"memory") return Memory(a[1]);
    if (a.size() == 4 && a[0] == L"shown") return Shown(a[1], _wtoi(a[2].c_str()), _wtof(a[3].c_str()));
    std::fputs("usage: qvdriver windows|wait|texts|press|info|close ...\n", stderr);
    return 2;
}
