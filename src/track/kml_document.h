#pragma once
// The recorded track as a KML 2.0 document: the opening lines and one
// coordinate line per point (the head), and the closing lines (the tail).
#include <string>
#include <string_view>
#include <vector>

#include "base/run_log.h"

namespace qv {

// "121.4737,31.2304,12" and CR LF: longitude and latitude to four decimals, altitude whole.
std::string CoordinateLine(double longitude, double latitude, double altitude);

class KmlDocument {
public:
    // A new document begun at `now`; earlier points are dropped.
    void Begin(const LocalDateTime& now);
    void AppendPoint(double longitude, double latitude, double altitude);
    // A coordinate line as CoordinateLine wrote it, CR LF included.
    void AppendLine(std::string_view line);

    std::string_view head() const { return {head_.data(), head_.size()}; }
    std::string_view tail() const { return tail_; }
    size_t points() const { return points_; }
    size_t capacityBytes() const { return head_.capacity() + tail_.capacity(); }
    // What a track file holds: head, CR LF, tail, CR LF.
    std::string FileImage() const;

private:
    std::vector<char> head_;  // grows by half its size at a time, so a long track wastes little memory
    std::string tail_;
    size_t points_ = 0;
};

}  // namespace qv
