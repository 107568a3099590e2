// Recording 100,000 points: the time per point (append plus the temporary
// file rewritten and put in place) around 1,000, 10,000 and 100,000 points,
// and the memory per point. Baseline, measured in the same run: writing the
// same document straight over the file, without the sibling and the rename.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "base/file_io.h"
#include "track/track_recorder.h"

namespace {

class FixedClock final : public qv::LocalClock {
public:
    std::string GeneralDateNow() const override { return ""; }
    std::string TimeOfDayNow() const override { return ""; }
    qv::LocalDateTime Now() const override { return {2026, 12, 8, 9, 5, 3}; }
};

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

}  // namespace

int main() {
    auto folder = std::filesystem::temp_directory_path() / "quorvane_track_bench";
    std::filesystem::create_directories(folder);
    qv::AppSettings settings;
    settings.AppPath = folder.string() + "/";
    settings.TrackTempFile = (folder / "temp.kml").string();
    qv::NoTrackMap map;
    qv::DiskTrackFiles files;
    FixedClock clock;
    qv::TrackRecorder recorder(settings, map, files, clock);
    recorder.BeginTrackKml();

    const int kMarks[] = {1000, 10000, 100000};
    const int kWindow = 200;  // points timed around each mark
    int next = 0;
    for (int i = 1; i <= kMarks[2]; ++i) {
        bool timed = next < 3 && i > kMarks[next] - kWindow;
        double start = timed ? Now() : 0;
        recorder.AppendTrackPoint(121.5 + i * 1e-5, 31.12 + i * 1e-5, 10 + i % 50);
        if (timed || i % 1000 == 0) recorder.ShowTrack();  // between marks, every point would take hours
        if (!timed) continue;
        static double total = 0, baseline = 0;
        total += Now() - start;
        double b0 = Now();
        qv::WriteParts((folder / "plain.kml").string(),
                       {recorder.document().head(), "\r\n", recorder.document().tail(), "\r\n"});
        baseline += Now() - b0;
        if (i == kMarks[next]) {
            std::printf("at %6d points: %.3f ms per point (append + temporary file); plain overwrite %.3f ms; "
                        "ratio %.2f\n",
                        i, total / kWindow * 1e3, baseline / kWindow * 1e3, total / baseline);
            total = baseline = 0;
            ++next;
        }
    }
    std::printf("memory: %.1f bytes per point (%zu bytes held for %zu points)\n",
                static_cast<double>(recorder.document().capacityBytes()) / recorder.document().points(),
                recorder.document().capacityBytes(), recorder.document().points());
    std::filesystem::remove_all(folder);
    return 0;
}
