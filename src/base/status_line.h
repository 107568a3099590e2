#pragma once
// The one status line of the panel (txtState), as the parts that speak
// through it see it: each has its own message, and the most urgent one shows.
#include <string>
#include <string_view>

namespace qv {

// In the order they win the line.
enum class StatusSource {
    picker,    // the window picker's read-out, while picking
    link,      // opening the receiver link, and a port that was not found
    receiver,  // the receiver: searching, lost, another talker
    earth,     // Google Earth starting or gone
    track,     // a recovered track, or one saved elsewhere, until the first click
    web,       // where the map page is, for a while after start
};
inline constexpr size_t kStatusSources = 6;

class StatusLine {
public:
    virtual ~StatusLine() = default;
    virtual void Set(StatusSource source, std::string_view text) = 0;
    virtual void Clear(StatusSource source) = 0;
    virtual bool Has(StatusSource source) const = 0;
    // What the line holds now, shown or not.
    virtual const std::string& ShownText() const = 0;
};

}  // namespace qv
