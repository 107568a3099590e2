#pragma once
// frmAbout: the modal about box opened from the panel's logo.
#include <windows.h>

#include <string>

namespace qv {

inline constexpr wchar_t kProductWebSite[] = L"https://www.quorvane.com/";

// "Version : 5.0" from the program's own version information.
std::string ProgramVersionText();

// Shows the box and returns when it is closed; the owner takes no input meanwhile.
void ShowAboutBox(HINSTANCE instance, HWND owner);

// The panel's logo, 102 x 46 pixels.
// The panel's logo, 102 x 46 pixels at 96 dpi and in proportion above.
HBITMAP MakeLogoBitmap(int dpi = 96);

}  // namespace qv
