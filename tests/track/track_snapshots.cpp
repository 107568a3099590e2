// Records a drive of N points through the real recorder and keeps a copy of
// the temporary file after every point, for checks with outside KML readers.
//   track_snapshots FOLDER N
// writes FOLDER/snap_0001.kml ... (the temporary file after each point),
// FOLDER/final.kml (the saved track) and FOLDER/points.csv (lon,lat,alt as recorded).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/file_io.h"
#include "track/track_recorder.h"

namespace {

class FixedClock final : public qv::LocalClock {
public:
    std::string GeneralDateNow() const override { return "2026/12/8 09:05:03"; }
    std::string TimeOfDayNow() const override { return "09:05:03"; }
    qv::LocalDateTime Now() const override { return {2026, 12, 8, 9, 5, 3}; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: track_snapshots FOLDER N\n");
        return 2;
    }
    std::filesystem::path folder = argv[1];
    int count = std::atoi(argv[2]);
    std::filesystem::create_directories(folder);
    qv::AppSettings settings;
    settings.AppPath = folder.string() + "/";
    settings.TrackTempFile = (folder / "temp.kml").string();
    settings.PrecisionInTrack = 0.0005;
    qv::NoTrackMap map;  // no Google Earth: only the files matter here
    qv::DiskTrackFiles files;
    FixedClock clock;
    qv::TrackRecorder recorder(settings, map, files, clock);
    bool recording = false;
    recorder.OnTrackSwitch(true, recording);
    std::string csv;
    for (int i = 0; i < count; ++i) {
        // A winding drive through all four hemispheres' signs near the origin and far from it.
        double lon = -0.05 + i * 0.00071 + 0.01 * std::sin(i / 37.0);
        double lat = 0.03 - i * 0.00053 + 0.01 * std::cos(i / 23.0);
        if (i >= count / 2) lon += 121.0, lat += 31.0;
        double alt = -20 + (i % 97) * 3.5;
        if (!recorder.TrackFilter(lon, lat)) continue;
        recorder.AppendTrackPoint(lon, lat, alt);
        recorder.ShowTrack();
        std::string line = qv::CoordinateLine(lon, lat, alt);
        csv += line.substr(0, line.size() - 2) + "\n";
        char name[32];
        std::snprintf(name, sizeof name, "snap_%04zu.kml", recorder.document().points());
        std::filesystem::copy_file(folder / "temp.kml", folder / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    recorder.OnTrackSwitch(false, recording);
    std::filesystem::rename(recorder.kmlFile(), folder / "final.kml");
    qv::WriteWholeFile((folder / "points.csv").string(), csv);
    std::printf("%zu points\n", recorder.document().points());
    return 0;
}
