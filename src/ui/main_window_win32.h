#pragma once
// frmGE: the slim, borderless, top-most control panel.
#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "base/message_pump_win32.h"
#include "gps/receiver_link.h"
#include "gps/state_icons.h"
#include "gps/serial_port_win32.h"
#include "track/camera_view.h"
#include "earth/earth_session.h"
#include "ui/view_controls.h"
#include "ui/window_picker.h"
#include "marker/marker_window_win32.h"
#include "track/track_recorder.h"
#include "base/gdi_win32.h"
#include "ui/earth_track_map.h"
#include "ui/panel.h"
#include "ui/panel_view.h"
#include "ui/status_board.h"
#include "ui/twips_win32.h"
#include "base/window_base_win32.h"

namespace qv {

// What the panel works with; all of it outlives the window.
struct PanelServices {
    AppSettings& settings;
    GpsFix& fix;
    EarthLink& earth;
    EarthConnector& earthConnector;
    const RunLog& log;
    const LocalClock& clock;
    const SteadyClock& steady;
    WindowApi& windows;
    Sleeper& sleeper;
    RecoveryDisk& recovery;
    TrackPlaces places;
    std::function<void()> reloadSettings;
};

class MainWindow final : public WindowBase<MainWindow>, public PanelWindow, public PanelView, public CameraView {
    friend class WindowBase<MainWindow>;

public:
    MainWindow(HINSTANCE instance, const PanelServices& services);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The parts the fix cycle works with, for the program that puts them together.
    struct Parts {
        ReceiverLink& link;
        PanelView& view;
        const PanelState& state;
        TrackRecorder& track;
        VehicleMarker& marker;
    };
    Parts parts() { return {link_, *this, panel_.state(), track_, marker_}; }
    // What the receiver timer runs every second (the fix cycle).
    void SetReceiverTick(std::function<void()> tick) { receiverTick_ = std::move(tick); }

    // Creates the window hidden and runs the load sequence, which shows it;
    // the panel names the tracks recovered at this start.
    bool Open(const std::vector<std::string>& recovered = {});

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

    // CameraView
    void SetCameraView(double latitude, double longitude, bool tilted, double heading, bool north) override;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCreate();
    void OnCommand(int id, int code);
    void OnTimer();
    void OnQuickTimer();
    void OnTrackSwitch();
    void OnButtonPress(int id);
    void OnButtonRelease(int id);
    void ParkFocus();
    int Dpi() const;  // the display's pixels per inch, which the layout and pictures follow
    static LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self);
    HWND CreatePictureButton(int id, DWORD kind, double left, double top, const StateIcon& picture,
                             const char* tip);
    LRESULT OnControlColour(HDC dc, HWND control);
    void OnClose();
    void OnAnyClick();
    void OnSavedElsewhere(const std::string& path);
    void OnDestroy();

    HWND CreateChild(const wchar_t* cls, const wchar_t* text, DWORD style, int id, double left, double top,
                     double width, double height);
    void AddTooltip(HWND control, const char* utf8);
    void SetTooltip(HWND control, const std::string& utf8);

    HINSTANCE instance_;
    PanelServices services_;
    TwipsPerPixel twips_;
    Win32SerialPort port_;
    Win32PortFinder ports_;
    Win32MessagePump pump_;
    MarkerWindow marker_;
    Panel panel_;
    StatusBoard status_;
    ViewControls views_;
    std::optional<WindowPicker> picker_;
    DiskTrackFiles trackFiles_;
    EarthTrackMap trackMap_;
    TrackRecorder track_;
    ReceiverLink link_;
    std::function<void()> receiverTick_;
    EarthSession session_;
    HWND tooltip_ = nullptr;
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
    bool closing_ = false;
    std::vector<std::string> savedWhileClosing_;
};

}  // namespace qv
