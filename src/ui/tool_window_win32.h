#pragma once
// frmTool: a small settings dialog the program carries but never opens. It
// is a bare layout of three captions and an OK button, and handles no event.
#include <windows.h>

namespace qv {

// Creates the dialog hidden; the caller owns the window.
HWND CreateToolWindow(HINSTANCE instance);

}  // namespace qv
