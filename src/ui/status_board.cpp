#include "ui/status_board.h"

namespace qv {

void StatusBoard::Set(StatusSource source, std::string_view text) {
    texts_[Index(source)] = std::string(text);
    active_[Index(source)] = true;
    Refresh();
}

void StatusBoard::Clear(StatusSource source) {
    if (!active_[Index(source)]) return;
    active_[Index(source)] = false;
    Refresh();
}

void StatusBoard::Refresh() {
    for (size_t i = 0; i < kStatusSources; ++i) {
        if (!active_[i]) continue;
        if (texts_[i] != shownText_) {
            shownText_ = texts_[i];
            panel_.SetText(PanelControl::txtState, shownText_);
        }
        if (!visible_) {
            visible_ = true;
            panel_.SetVisible(PanelControl::txtState, true);
        }
        return;
    }
    // Nobody speaks: the line hides and keeps its last text.
    if (visible_) {
        visible_ = false;
        panel_.SetVisible(PanelControl::txtState, false);
    }
}

}  // namespace qv
