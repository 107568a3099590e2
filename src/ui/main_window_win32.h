#pragma once
// frmGE: the slim, borderless, top-most control panel.
#include <windows.h>

#include "ui/panel.h"
#include "ui/twips_win32.h"

namespace qv {

class MainWindow final : public PanelWindow {
public:
    MainWindow(HINSTANCE instance, WindowApi& windows, Sleeper& sleeper, const RunLog& log, EarthLink& link);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window hidden and runs the load sequence, which shows it.
    bool Open();

    double ScreenWidthTwips() override;
    double WidthTwips() override;
    void MoveTo(double leftTwips, double topTwips) override;
    void Show() override;
    double LeftTwips() override;
    double TopTwips() override;
    int32_t Handle() override;
    bool FollowChecked() override { return true; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCreate();
    void OnCommand(int id);
    void OnClose();
    void OnDestroy();

    HINSTANCE instance_;
    Panel panel_;
    TwipsPerPixel twips_;
    HWND hwnd_ = nullptr;
};

}  // namespace qv
