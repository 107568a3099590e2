// quorvane-replay: runs a recorded NMEA log through Quorvane's own fix cycle
// and reports what the program would have shown, sent and recorded.
//
//   quorvane-replay [--config FILE] [--kml OUT.kml] [--bytes-per-tick N] [--journal OUT|-] LOG
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "base/file_io.h"
#include "base/profile.h"
#include "base/text_codec.h"
#include "app/replay.h"

namespace {

int Usage() {
    std::fputs("usage: quorvane-replay [--config FILE] [--kml OUT.kml] [--bytes-per-tick N] [--journal OUT|-] LOG\n",
               stderr);
    return 2;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "quorvane-replay: %s\n", message.c_str());
    return 2;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
#ifdef _WIN32
        args.push_back(qv::AnsiToUtf8(argv[i]));
#else
        args.emplace_back(argv[i]);
#endif
    }
    std::string config, kml, journalPath = "-", log;
    size_t perTick = 480;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool hasValue = i + 1 < args.size();
        if (a == "--config" && hasValue) config = args[++i];
        else if (a == "--kml" && hasValue) kml = args[++i];
        else if (a == "--journal" && hasValue) journalPath = args[++i];
        else if (a == "--bytes-per-tick" && hasValue) {
            char* end = nullptr;
            long n = std::strtol(args[++i].c_str(), &end, 10);
            if (*end != '\0' || n < 1) return Usage();
            perTick = static_cast<size_t>(n);
        } else if (!a.empty() && a[0] != '-' && log.empty()) log = a;
        else return Usage();
    }
    if (log.empty()) return Usage();

    std::optional<std::string> logText = qv::ReadWholeFile(log);
    if (!logText) return Fail("cannot read the log " + log);
    qv::ReplayOptions options;
    options.bytesPerTick = perTick;
    qv::PortableProfileReader profile;
    if (!config.empty()) {
        if (!qv::ReadWholeFile(config)) return Fail("cannot read the configuration " + config);
        qv::LoadSettingsFrom(options.settings, FolderOf(config), config, profile);
    } else {
        qv::LoadSettingsFrom(options.settings, ".", "", profile);  // no file: every default
    }
    if (!kml.empty()) {
        options.record = true;
        options.kmlFile = kml;
    }

    std::FILE* out = stdout;
    if (journalPath != "-") {
        out = std::fopen(journalPath.c_str(), "wb");
        if (!out) return Fail("cannot write the journal " + journalPath);
    }
    std::vector<char> buffer(1 << 16);
    std::setvbuf(out, buffer.data(), _IOFBF, buffer.size());

    const bool terminal = isatty(fileno(stderr));
    const auto started = std::chrono::steady_clock::now();
    bool showedProgress = false;
    qv::ReplayResult result = qv::Replay(
        qv::ReceiverText(*logText), options,
        [&](std::string_view line) {
            std::fwrite(line.data(), 1, line.size(), out);
            std::fputc('\n', out);
        },
        [&](double share) {
            if (!terminal || std::chrono::steady_clock::now() - started < std::chrono::seconds(1)) return;
            std::fprintf(stderr, "\rreplaying %s: %3.0f %%", log.c_str(), share * 100);
            showedProgress = true;
        });
    if (showedProgress) std::fprintf(stderr, "\rreplaying %s: done       \n", log.c_str());
    bool written = std::fflush(out) == 0;
    if (out != stdout) written = std::fclose(out) == 0 && written;
    if (!written) return Fail("cannot write the journal " + journalPath);
    if (options.record && !result.kmlSaved) return Fail("cannot write the track " + kml);
    return 0;
}
