#pragma once
// frmGE: the slim, borderless, top-most control panel. It lays out its
// controls, draws them and forwards what the user does to PanelActions.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "base/gdi_win32.h"
#include "base/window_base_win32.h"
#include "gps/state_icons.h"
#include "ui/panel.h"
#include "ui/panel_actions.h"
#include "ui/panel_view.h"
#include "ui/twips_win32.h"

namespace qv {

class MainWindow final : public WindowBase<MainWindow>, public PanelWindow, public PanelView {
    friend class WindowBase<MainWindow>;

public:
    MainWindow(HINSTANCE instance, PanelActions& actions);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window hidden at the screen's corner and has the load
    // sequence run, which shows it; then the timers start.
    bool Open(uint32_t quickTickMs);
    // A warning box owned by the panel.
    void Notice(const std::string& text, const std::string& title);
    // A question box owned by the panel; true for Yes.
    bool Ask(const std::string& text, const std::string& title);
    HWND Window() const { return hwnd_; }
    void ParkFocus();

    // PanelWindow
    double ScreenWidthTwips() override;
    double WidthTwips() override;
    void MoveTo(double leftTwips, double topTwips) override;
    void Show() override;
    double LeftTwips() override;
    double TopTwips() override;
    int32_t Handle() override;
    bool FollowChecked() override;

    // PanelView
    void SetText(PanelControl control, std::string_view utf8) override;
    void SetVisible(PanelControl control, bool visible) override;
    void SetTextColour(PanelControl control, uint32_t rgb) override;
    // What a control shows now; empty for one hidden.
    std::string ShownText(PanelControl control) const;
    bool OnReadouts(POINT client) const;

private:
    // A message or a button's press handled: a close that arrives in a pump
    // meanwhile waits until the outermost one has ended.
    class Busy;

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCreate();
    void OnCommand(int id, int code);
    void OnTimer(UINT_PTR id);
    void OnButtonPress(int id);
    void OnButtonRelease(int id);
    void OnClose();
    void OnDestroy();
    LRESULT OnControlColour(HDC dc, HWND control);
    int Dpi() const;  // the display's pixels per inch, which the layout and pictures follow
    static LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
    HWND CreatePictureButton(int id, DWORD kind, double left, double top, const StateIcon& picture,
                             const char* tip);
    HWND CreateChild(const wchar_t* cls, const wchar_t* text, DWORD style, int id, double left, double top,
                     double width, double height);
    void AddTooltip(HWND control, const char* utf8);
    void SetTooltip(HWND control, const std::string& utf8);

    HINSTANCE instance_;
    PanelActions& actions_;
    TwipsPerPixel twips_;
    OwnedWindow tooltip_;
    HWND trackSwitch_ = nullptr;
    HWND testSwitch_ = nullptr;
    HWND focusBox_ = nullptr;
    std::map<PanelControl, HWND> controls_;
    std::map<HWND, COLORREF> textColours_;
    GdiObject<HFONT> labelFont_;
    GdiObject<HFONT> stateFont_;
    GdiObject<HFONT> quitFont_;
    GdiObject<HBITMAP> stateIcons_[3];
    GdiObject<HBITMAP> trackPicture_;
    GdiObject<HBITMAP> logo_;
    std::vector<GdiObject<HBITMAP>> pictures_;
    std::map<int, HWND> buttons_;
    GdiObject<HBRUSH> black_;
    GdiObject<HBRUSH> stateBackground_;
    int busy_ = 0;           // messages and presses being handled, one inside another
    bool closeHeld_ = false;  // a close came while busy
    bool closing_ = false;
};

}  // namespace qv
