#pragma once
// Nothing recorded is lost: while a track is recorded, each point is also
// appended to a recovery file beside where the track will be saved, and made
// durable before the tick ends. A recovery file left by a crash or a power cut
// becomes its track file at the next start.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/run_log.h"

namespace qv {

inline constexpr char kRecoverySuffix[] = ".recovering";

// Where tracks go: the program's folder, else the user's local application
// data (…\Quorvane\), else their Documents. Each ends in a separator; a place
// that is unknown is empty.
struct TrackPlaces {
    std::string program;
    std::string local;
    std::string documents;
};

// What recovery needs of the file system; the disk in the program, a fake in tests.
class RecoveryDisk {
public:
    class Journal {
    public:
        virtual ~Journal() = default;
        // On the disk when it returns; false when it could not be written.
        virtual bool Append(std::string_view bytes) = 0;
        // Why the last append failed.
        virtual std::string Failure() const { return {}; }
    };
    virtual ~RecoveryDisk() = default;
    // Creates `path` holding `first`, durably, and holds it; nothing when it cannot.
    virtual std::unique_ptr<Journal> CreateJournal(const std::string& path, std::string_view first) = 0;
    virtual std::vector<std::string> List(const std::string& folder, std::string_view suffix) = 0;
    // The file's bytes; nothing when it cannot be read or a running recording holds it.
    virtual std::optional<std::string> ReadUnlessHeld(const std::string& path) = 0;
    virtual bool Exists(const std::string& path) = 0;
    virtual bool Remove(const std::string& path) = 0;
    virtual bool Rename(const std::string& from, const std::string& to) = 0;  // never replaces
    virtual bool MakeFolder(const std::string& path) = 0;
};

class DiskRecovery final : public RecoveryDisk {
public:
    std::unique_ptr<Journal> CreateJournal(const std::string& path, std::string_view first) override;
    std::vector<std::string> List(const std::string& folder, std::string_view suffix) override;
    std::optional<std::string> ReadUnlessHeld(const std::string& path) override;
    bool Exists(const std::string& path) override;
    bool Remove(const std::string& path) override;
    bool Rename(const std::string& from, const std::string& to) override;
    bool MakeFolder(const std::string& path) override;
};

// The first line of a recovery file: what it is and when the recording started.
std::string RecoveryHeader(const LocalDateTime& start);

struct RecoveredTrack {
    LocalDateTime start;
    std::vector<std::string> lines;  // coordinate lines, each with its CR LF, as recorded
};

// Reads a recovery file: its start time and every whole coordinate line. A
// line cut short (a power cut while it was written) is left out. Nothing when
// the file does not say when its recording started.
std::optional<RecoveredTrack> ReadRecovery(std::string_view bytes);

// `path`, or when a track file or a recovery file of that name is there
// already (another recording started in the same second, or a clock set
// back), the first of "…_2.kml", "…_3.kml"… that is free. `own` is the caller's
// own recovery file, which does not count.
std::string UnusedTrackName(RecoveryDisk& disk, const std::string& path, const std::string& own = {});

// The track file's name without its folder ("Track_20260307_090503.kml").
std::string BaseName(const std::string& path);

class TrackFiles;

// Writes a track to the first place that takes it: `path` itself, else the
// same name in the local and the Documents place (beside any file of that name
// there when `keepExisting`). Where it went, or nothing.
std::optional<std::string> SaveTrackSomewhere(TrackFiles& files, RecoveryDisk& disk, const TrackPlaces& places,
                                              const std::string& path, std::string_view head, std::string_view tail,
                                              bool keepExisting = false);

// Turns every recovery file left in the program's and the local place into
// its track file, and logs each. Returns the tracks written.
std::vector<std::string> RecoverTracks(TrackFiles& files, RecoveryDisk& disk, const TrackPlaces& places,
                                       const RunLog& log);

}  // namespace qv
