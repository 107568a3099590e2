#pragma once
// A panel without a window: it keeps each control's latest text, colour and
// visibility and tells each change as one line ("text lblTime 12:00:01",
// "show txtState", "colour lblAzimuth FF0000"). The replay journals a drive
// through it; the unit tests watch the panel with it.
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "ui/panel_view.h"

namespace qv {

class RecordingPanel : public PanelView {
public:
    // As the panel starts: the red picture shows, the other two and txtState do not. With
    // `changesOnly`, setting what a control already has tells nothing.
    explicit RecordingPanel(std::function<void(const std::string&)> tell, bool changesOnly = false)
        : tell_(std::move(tell)), changesOnly_(changesOnly) {
        visible[PanelControl::imgGPS0] = true;
        visible[PanelControl::imgGPS1] = false;
        visible[PanelControl::imgGPS2] = false;
        visible[PanelControl::txtState] = false;
    }
    void SetText(PanelControl c, std::string_view text) override {
        auto it = texts.find(c);
        if (changesOnly_ && it != texts.end() && it->second == text) return;
        texts[c] = std::string(text);
        tell_(std::string("text ") + PanelControlName(c) + " " + std::string(text));
    }
    void SetVisible(PanelControl c, bool v) override {
        auto it = visible.find(c);
        if (changesOnly_ && it != visible.end() && it->second == v) return;
        visible[c] = v;
        tell_(std::string(v ? "show " : "hide ") + PanelControlName(c));
    }
    void SetTextColour(PanelControl c, uint32_t rgb) override {
        auto it = colours.find(c);
        if (changesOnly_ && it != colours.end() && it->second == rgb) return;
        colours[c] = rgb;
        char hex[16];
        std::snprintf(hex, sizeof hex, "%06X", rgb);
        tell_(std::string("colour ") + PanelControlName(c) + " " + hex);
    }
    // The one state picture shown (0 red, 1 grey, 2 blue); -2 when not exactly one is.
    int ShownStateImage() const {
        int shown = -1, count = 0;
        for (int i = 0; i < 3; ++i) {
            auto it = visible.find(static_cast<PanelControl>(static_cast<int>(PanelControl::imgGPS0) + i));
            if (it != visible.end() && it->second) shown = i, ++count;
        }
        return count == 1 ? shown : -2;
    }

    std::map<PanelControl, std::string> texts;
    std::map<PanelControl, bool> visible;
    std::map<PanelControl, uint32_t> colours;

private:
    std::function<void(const std::string&)> tell_;
    bool changesOnly_;
};

}  // namespace qv
