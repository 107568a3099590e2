#include "track/track_recovery.h"

#include <cstdio>

#include "base/file_io.h"
#include "track/kml_document.h"
#include "track/track_recorder.h"

namespace qv {
namespace {

constexpr char kHeaderPrefix[] = "QuorvaneTrack 1 ";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "-121.4737": an optional minus, digits, a point and exactly four decimals.
bool IsDegrees(std::string_view s) {
    if (!s.empty() && s.front() == '-') s.remove_prefix(1);
    size_t point = s.find('.');
    if (point == 0 || point == std::string_view::npos || s.size() - point != 5) return false;
    for (size_t i = 0; i < s.size(); ++i)
        if (i != point && !IsDigit(s[i])) return false;
    return true;
}

bool IsWhole(std::string_view s) {
    if (!s.empty() && s.front() == '-') s.remove_prefix(1);
    if (s.empty()) return false;
    for (char c : s)
        if (!IsDigit(c)) return false;
    return true;
}

// A line exactly as the recorder writes one: "121.4737,31.2304,12" (without its CR LF).
bool IsCoordinateLine(std::string_view line) {
    size_t a = line.find(','), b = a == std::string_view::npos ? a : line.find(',', a + 1);
    if (b == std::string_view::npos) return false;
    return IsDegrees(line.substr(0, a)) && IsDegrees(line.substr(a + 1, b - a - 1)) && IsWhole(line.substr(b + 1));
}

std::optional<LocalDateTime> ParseStart(std::string_view s) {
    // "2026-03-07 09:05:03"
    if (s.size() != 19 || s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' || s[16] != ':') return std::nullopt;
    auto number = [&](size_t at, size_t n) {
        int v = 0;
        for (size_t i = at; i < at + n; ++i) {
            if (!IsDigit(s[i])) return -1;
            v = v * 10 + (s[i] - '0');
        }
        return v;
    };
    LocalDateTime t{number(0, 4), number(5, 2), number(8, 2), number(11, 2), number(14, 2), number(17, 2)};
    if (t.year < 0 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour < 0 || t.hour > 23 ||
        t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 60)
        return std::nullopt;
    return t;
}

std::string Folder(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// `path`, or the first "_recovered" name beside it that is free.
// `path` when it is not taken, else the first of stem + tag + ".kml", stem + tag + "_2.kml", … (an empty
// tag starting at "_2") that is not.
template <class Taken>
std::string FirstFreeName(const std::string& path, const std::string& tag, Taken taken) {
    if (!taken(path)) return path;
    std::string stem = path.size() > 4 ? path.substr(0, path.size() - 4) : path;  // without ".kml"
    std::string candidate = tag.empty() ? stem + "_2.kml" : stem + tag + ".kml";
    for (int n = 2; taken(candidate) && n < 10000; ++n) candidate = stem + tag + "_" + std::to_string(n) + ".kml";
    return candidate;
}

std::string FreeName(RecoveryDisk& disk, const std::string& path) {
    return FirstFreeName(path, "_recovered", [&](const std::string& name) { return disk.Exists(name); });
}

// A track of that name in any place that begins with everything recovered.
bool AlreadySaved(RecoveryDisk& disk, const TrackPlaces& places, const std::string& path, std::string_view head) {
    const std::string name = BaseName(path);
    for (const std::string* folder : {&places.program, &places.local, &places.documents}) {
        if (folder->empty()) continue;
        std::optional<std::string> saved = disk.ReadUnlessHeld(*folder + name);
        if (saved && saved->compare(0, head.size(), head) == 0) return true;
    }
    return false;
}

// Puts an unusable recovery file aside, never deleting it.
void SetAside(RecoveryDisk& disk, const std::string& path) {
    std::string bad = path + ".bad";
    for (int n = 2; disk.Exists(bad) && n < 1000; ++n) bad = path + "." + std::to_string(n) + ".bad";
    disk.Rename(path, bad);
}

}  // namespace

std::unique_ptr<RecoveryDisk::Journal> DiskRecovery::CreateJournal(const std::string& path, std::string_view first) {
    class FileJournal final : public Journal {
    public:
        explicit FileJournal(std::unique_ptr<DurableFile> file) : file_(std::move(file)) {}
        bool Append(std::string_view bytes) override { return file_->Append(bytes); }
        std::string Failure() const override { return file_->Failure(); }

    private:
        std::unique_ptr<DurableFile> file_;
    };
    std::unique_ptr<DurableFile> file = DurableFile::Create(path, first);
    if (!file) return nullptr;
    return std::make_unique<FileJournal>(std::move(file));
}
std::vector<std::string> DiskRecovery::List(const std::string& folder, std::string_view suffix) {
    return ListFiles(folder, suffix);
}
std::optional<std::string> DiskRecovery::ReadUnlessHeld(const std::string& path) { return qv::ReadUnlessHeld(path); }
bool DiskRecovery::Exists(const std::string& path) { return FileExists(path); }
bool DiskRecovery::Remove(const std::string& path) { return RemoveFile(path); }
bool DiskRecovery::Rename(const std::string& from, const std::string& to) { return RenameFile(from, to); }
bool DiskRecovery::MakeFolder(const std::string& path) { return qv::MakeFolder(path); }

std::string RecoveryHeader(const LocalDateTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%s%04d-%02d-%02d %02d:%02d:%02d\r\n", kHeaderPrefix, t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

std::optional<RecoveredTrack> ReadRecovery(std::string_view bytes) {
    size_t end = bytes.find("\r\n");
    std::string_view header = bytes.substr(0, end);
    if (end == std::string_view::npos || header.substr(0, sizeof kHeaderPrefix - 1) != kHeaderPrefix) return std::nullopt;
    std::optional<LocalDateTime> start = ParseStart(header.substr(sizeof kHeaderPrefix - 1));
    if (!start) return std::nullopt;
    RecoveredTrack track{*start, {}};
    for (size_t at = end + 2; at < bytes.size();) {
        size_t next = bytes.find("\r\n", at);
        if (next == std::string_view::npos) break;  // cut short: the power went while it was written
        std::string_view line = bytes.substr(at, next - at);
        if (IsCoordinateLine(line)) track.lines.emplace_back(bytes.substr(at, next + 2 - at));
        at = next + 2;
    }
    return track;
}

std::string BaseName(const std::string& path) { return path.substr(Folder(path).size()); }

std::string UnusedTrackName(RecoveryDisk& disk, const std::string& path, const std::string& own) {
    return FirstFreeName(path, "", [&](const std::string& name) {
        std::string recovery = name + kRecoverySuffix;
        return disk.Exists(name) || (recovery != own && disk.Exists(recovery));
    });
}

std::optional<std::string> SaveTrackSomewhere(TrackFiles& files, RecoveryDisk& disk, const TrackPlaces& places,
                                              const std::string& path, std::string_view head, std::string_view tail,
                                              bool keepExisting) {
    if (files.WriteTrack(path, head, tail)) return path;
    const std::string name = BaseName(path);
    for (const std::string* folder : {&places.local, &places.documents}) {
        if (folder->empty() || *folder == Folder(path)) continue;
        disk.MakeFolder(folder->substr(0, folder->size() - 1));  // the local place may not be there yet
        std::string there = keepExisting ? FreeName(disk, *folder + name) : *folder + name;
        if (files.WriteTrack(there, head, tail)) return there;
    }
    return std::nullopt;
}

std::vector<std::string> RecoverTracks(TrackFiles& files, RecoveryDisk& disk, const TrackPlaces& places,
                                       const RunLog& log) {
    std::vector<std::string> recovered;
    for (const std::string* folder : {&places.program, &places.local}) {
        if (folder->empty()) continue;
        for (const std::string& path : disk.List(*folder, kRecoverySuffix)) {
            std::optional<std::string> bytes = disk.ReadUnlessHeld(path);
            if (!bytes) continue;  // a recording of a program still running, or unreadable now
            std::optional<RecoveredTrack> track = ReadRecovery(*bytes);
            if (!track) {
                SetAside(disk, path);
                continue;
            }
            // The document stopping the recording would have written.
            KmlDocument document;
            document.Begin(track->start);
            for (const std::string& line : track->lines) document.AppendLine(line);
            if (AlreadySaved(disk, places, TrackFileName(places.program, track->start), document.head())) {
                // Saved after all (its recovery file could not be deleted then): nothing to do but that.
                disk.Remove(path);
                continue;
            }
            std::string name = FreeName(disk, TrackFileName(places.program, track->start));
            std::optional<std::string> saved =
                SaveTrackSomewhere(files, disk, places, name, document.head(), document.tail(), true);
            if (!saved) continue;  // kept for the next start
            disk.Remove(path);
            log.LogLine("      - Recovered Track : " + *saved);
            recovered.push_back(*saved);
        }
    }
    return recovered;
}

}  // namespace qv
