// A small COM client for the end-to-end tests: creates Google Earth's objects
// through the program's own adapter and runs the steps given on the command
// line in order, printing one line per step.
//
//   main | map | view | range | tilt | setrange X | settilt X | setview SPEED |
//   fly LAT LON RANGE TILT AZIMUTH | open PATH
// and the application's documented members:
//   init | camera | setcamera SPEED | camparams LAT LON RANGE TILT AZIMUTH | openkml PATH
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/number_text.h"
#include "base/text_codec.h"
#include "earth/earth_win32.h"

namespace {

void Say(const std::string& line) {
    std::string out = line + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

double Number(const std::wstring& text) { return qv::ParseDecimal(qv::WideToUtf8(text)).value_or(0); }

int Run(const std::vector<std::wstring>& args) {
    // Every call waits for its answer, however long, so each step reports what the server said.
    auto connector = qv::MakeComEarthConnector({INFINITE, nullptr, true});
    auto connection = connector->Connect();
    while (connection->Poll() == qv::EarthConnection::State::pending) Sleep(10);
    auto app = connection->TakeApp();
    auto control = connection->TakeControl();
    Say(std::string("create ") + (app ? "app" : "-") + " " + (control ? "control" : "-"));
    if (!app) return 1;
    std::unique_ptr<qv::EarthCamera> camera;
    auto show = [](const char* what, std::optional<double> v) {
        Say(std::string(what) + " " + (v ? qv::ShortestDoubleText(*v) : "failed"));
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& step = args[i];
        bool needsControl = step == L"view" || step == L"setview" || step == L"fly" || step == L"open";
        if (needsControl && !control) {
            Say("no control");
            return 1;
        }
        auto next = [&]() { return i + 1 < args.size() ? args[++i] : std::wstring(); };
        if (step == L"main") {
            auto h = app->GetMainHwnd();
            Say("main " + (h ? std::to_string(*h) : std::string("failed")));
        } else if (step == L"map") {
            auto h = app->GetRenderHwnd();
            Say("map " + (h ? std::to_string(*h) : std::string("failed")));
        } else if (step == L"view") {
            camera = control->CurrentView(false);
            Say(camera ? "view ok" : "view failed");
        } else if (step == L"range") {
            show("range", camera ? camera->Range() : std::nullopt);
        } else if (step == L"tilt") {
            show("tilt", camera ? camera->Tilt() : std::nullopt);
        } else if (step == L"setrange") {
            double v = Number(next());
            Say(camera && camera->SetRange(v) ? "setrange ok" : "setrange failed");
        } else if (step == L"settilt") {
            double v = Number(next());
            Say(camera && camera->SetTilt(v) ? "settilt ok" : "settilt failed");
        } else if (step == L"setview") {
            double speed = Number(next());
            Say(camera && control->SetView(*camera, false, speed) ? "setview ok" : "setview failed");
        } else if (step == L"fly") {
            double v[5];
            for (double& x : v) x = Number(next());
            Say(control->SetViewParams(v[0], v[1], v[2], v[3], v[4], false, 100.0) ? "fly ok" : "fly failed");
        } else if (step == L"init") {
            Say(std::string("init ") + qv::EarthOutcomeName(app->IsInitialized()));
        } else if (step == L"camera") {
            camera = app->GetCamera(false);
            Say(camera ? "camera ok" : "camera failed");
        } else if (step == L"setcamera") {
            double speed = Number(next());
            Say(camera && app->SetCamera(*camera, speed) ? "setcamera ok" : "setcamera failed");
        } else if (step == L"camparams") {
            double v[5];
            for (double& x : v) x = Number(next());
            Say(app->SetCameraParams(v[0], v[1], 0, 1, v[2], v[3], v[4], 100.0) ? "camparams ok" : "camparams failed");
        } else if (step == L"openkml") {
            std::string path = qv::WideToUtf8(next());
            Say(app->OpenKmlFile(path, true) ? "openkml ok" : "openkml failed");
        } else if (step == L"open") {
            std::string path = qv::WideToUtf8(next());
            Say(control->OpenFile(path) ? "open ok" : "open failed");
        } else {
            Say("unknown step " + qv::WideToUtf8(step));
            return 2;
        }
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    HRESULT com = CoInitialize(nullptr);
    int rc = Run(std::vector<std::wstring>(argv + 1, argv + argc));
    if (SUCCEEDED(com)) CoUninitialize();
    return rc;
}
