#pragma once
// frmTool: the settings dialog the spanner opens, modal and owned by the panel.
// It shows the settings in force and gives back the ones the user made; what
// becomes of them (Config.ini, the receiver link) is the caller's.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/settings.h"
#include "ui/settings_form.h"

namespace qv {

struct SettingsDialogInput {
    AppSettings shown;               // the settings in force, EyeHigh as Config.ini has it
    std::vector<PortChoice> ports;   // PortChoices of the ports present
    std::string proposedTrackFile;   // offered when the live track is switched on without a file
};

// The settings the user made, on OK; nothing on Cancel or Esc.
std::optional<AppSettings> ShowSettingsDialog(HINSTANCE instance, HWND owner, const SettingsDialogInput& input);

}  // namespace qv
