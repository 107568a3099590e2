#pragma once
// txtState, the one status line several parts of the program speak through.
// Each speaker has its own message; the most urgent one shows, and the line
// hides when nobody has anything to say.
#include <array>
#include <string>
#include <string_view>

#include "ui/panel_view.h"

namespace qv {

// In the order they win the line.
enum class StatusSource {
    picker,    // the window picker's read-out, while picking
    link,      // opening the receiver link, and a port that was not found
    receiver,  // the receiver: searching, lost, another talker
    earth,     // Google Earth starting or gone
    track,     // a recovered track, or one saved elsewhere, until the first click
};
inline constexpr size_t kStatusSources = 5;

class StatusBoard {
public:
    StatusBoard(PanelView& panel, std::string initialText)
        : panel_(panel), shownText_(std::move(initialText)) {}

    void Set(StatusSource source, std::string_view text);
    void Clear(StatusSource source);
    bool Has(StatusSource source) const { return active_[Index(source)]; }
    const std::string& Text(StatusSource source) const { return texts_[Index(source)]; }
    // What the line holds now, shown or not.
    const std::string& ShownText() const { return shownText_; }
    bool Visible() const { return visible_; }

private:
    static size_t Index(StatusSource s) { return static_cast<size_t>(s); }
    void Refresh();

    PanelView& panel_;
    std::array<std::string, kStatusSources> texts_;
    std::array<bool, kStatusSources> active_{};
    std::string shownText_;
    bool visible_ = false;
};

}  // namespace qv
