#pragma once
// txtState, the one status line several parts of the program speak through.
// Each speaker has its own message; the most urgent one shows, and the line
// hides when nobody has anything to say.
#include <array>
#include <string>
#include <string_view>

#include "base/status_line.h"
#include "ui/panel_view.h"

namespace qv {

class StatusBoard final : public StatusLine {
public:
    StatusBoard(PanelView& panel, std::string initialText)
        : panel_(panel), shownText_(std::move(initialText)) {}

    void Set(StatusSource source, std::string_view text) override;
    void Clear(StatusSource source) override;
    bool Has(StatusSource source) const override { return active_[Index(source)]; }
    const std::string& Text(StatusSource source) const { return texts_[Index(source)]; }
    const std::string& ShownText() const override { return shownText_; }
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
