#include "earth/earth_win32.h"

#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "base/text_codec.h"
#include "earth/call_worker.h"
#include "earth/com_ptr.h"
#include "earth/earth_members.h"

namespace qv {
namespace {

namespace member = earth::member;

// A VARIANT that is always cleared.
struct Variant {
    VARIANT v;
    Variant() { VariantInit(&v); }
    ~Variant() { VariantClear(&v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

// The failure a call really had: a dual interface reports its own HRESULT
// inside EXCEPINFO behind DISP_E_EXCEPTION.
HRESULT EffectiveResult(HRESULT hr, EXCEPINFO& excep) {
    if (hr != DISP_E_EXCEPTION) return hr;
    if (excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
    return FAILED(excep.scode) ? excep.scode : hr;
}

// Calls members of one IDispatch by name, remembering their ids. Every answer
// is classified, and a Google Earth found gone is reported through `lost`.
class Dispatcher {
public:
    Dispatcher(ComPtr<IDispatch> object, std::atomic<bool>& lost) : object_(std::move(object)), lost_(lost) {}
    IDispatch* get() const { return object_.get(); }

    // `args` in the order the member declares them.
    EarthOutcome Call(const wchar_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* result) {
        DISPID id;
        HRESULT hr = IdOf(name, &id);
        if (SUCCEEDED(hr)) {
            std::vector<VARIANT> reversed(args.rbegin(), args.rend());  // IDispatch takes them last first
            DISPPARAMS params{};
            params.rgvarg = reversed.empty() ? nullptr : reversed.data();
            params.cArgs = static_cast<UINT>(reversed.size());
            DISPID putId = DISPID_PROPERTYPUT;
            if (flags & DISPATCH_PROPERTYPUT) {
                params.rgdispidNamedArgs = &putId;
                params.cNamedArgs = 1;
            }
            EXCEPINFO excep{};
            UINT argError = 0;
            hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &excep, &argError);
            hr = EffectiveResult(hr, excep);
            if (FAILED(hr)) Remember(name, hr, excep);
            if (excep.bstrSource) SysFreeString(excep.bstrSource);
            if (excep.bstrDescription) SysFreeString(excep.bstrDescription);
            if (excep.bstrHelpFile) SysFreeString(excep.bstrHelpFile);
        }
        EarthOutcome outcome = ClassifyEarthResult(static_cast<int32_t>(hr));
        if (outcome == EarthOutcome::disconnected) lost_ = true;
        return outcome;
    }

    bool Knows(const wchar_t* name) {
        DISPID id;
        return SUCCEEDED(IdOf(name, &id));
    }

private:
    HRESULT IdOf(const wchar_t* name, DISPID* id) {
        auto found = ids_.find(name);
        if (found != ids_.end()) {
            *id = found->second;
            return S_OK;
        }
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
        if (SUCCEEDED(hr)) ids_.emplace(name, *id);
        return hr;
    }

    void Remember(const wchar_t* name, HRESULT hr, const EXCEPINFO& excep) {
        wchar_t code[16];
        swprintf(code, 16, L"%08lX", static_cast<unsigned long>(hr));
        std::wstring text = std::wstring(L"Quorvane: Google Earth call failed: ") + name + L" " + code;
        if (excep.bstrDescription) text += std::wstring(L" ") + excep.bstrDescription;
        OutputDebugStringW((text + L"\n").c_str());
    }

    ComPtr<IDispatch> object_;
    std::atomic<bool>& lost_;
    std::map<std::wstring, DISPID> ids_;
};

VARIANT Double(double value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_R8;
    v.dblVal = value;
    return v;
}

VARIANT Long(LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

// Terrain flags are Booleans stored as whole numbers: -1 for true.
VARIANT Flag(bool value) { return Long(value ? -1 : 0); }

std::optional<double> AsDouble(VARIANT& value) {
    if (FAILED(VariantChangeType(&value, &value, 0, VT_R8))) return std::nullopt;
    return value.dblVal;
}

std::optional<int64_t> AsInteger(VARIANT& value) {
    if (FAILED(VariantChangeType(&value, &value, 0, VT_I8))) return std::nullopt;
    return value.llVal;
}

ComPtr<IDispatch> AsDispatch(VARIANT& value) {
    ComPtr<IDispatch> object;
    if (value.vt == VT_DISPATCH && value.pdispVal) {
        value.pdispVal->AddRef();
        return ComPtr<IDispatch>(value.pdispVal);
    }
    if (value.vt == VT_UNKNOWN && value.punkVal)
        value.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(object.put()));
    return object;
}

// A borrowed IDispatch as an argument; the Dispatcher it belongs to keeps it alive.
VARIANT Borrowed(IDispatch* object) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = object;
    return v;
}

// A BSTR argument that frees itself.
struct BstrArg {
    explicit BstrArg(const std::string& utf8) : bstr(SysAllocString(Utf8ToWide(utf8).c_str())) {}
    ~BstrArg() { SysFreeString(bstr); }
    BstrArg(const BstrArg&) = delete;
    BstrArg& operator=(const BstrArg&) = delete;
    VARIANT Arg() const {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = bstr;
        return v;
    }
    BSTR bstr;
};

// ------------------------------------------------------------------ the connection's thread

// Everything COM of one connection. It is touched on that connection's own
// thread only, which is also where it is created and released.
struct RemoteObjects {
    explicit RemoteObjects(std::atomic<bool>& lostFlag) : lost(lostFlag) {}
    std::atomic<bool>& lost;
    std::unique_ptr<Dispatcher> app;
    std::unique_ptr<Dispatcher> control;
    std::map<int, std::unique_ptr<Dispatcher>> cameras;
    int nextCamera = 1;
};

using Worker = CallWorker<RemoteObjects>;
enum Slot : Worker::Slot { kMoveSlot = 1, kOpenSlot };

// The activation's outcome, written by the thread before `state` is set.
struct Activation {
    std::mutex mutex;
    std::atomic<int> state{static_cast<int>(EarthConnection::State::pending)};
    HRESULT appResult = E_PENDING;
    bool haveControl = false;
    ControlMembers knows{};
};

ComPtr<IDispatch> Create(const wchar_t* classId, HRESULT& hr) {
    CLSID clsid;
    ComPtr<IDispatch> object;
    hr = CLSIDFromString(classId, &clsid);
    if (FAILED(hr)) return object;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(object.put()));
    if (SUCCEEDED(hr) && !object) hr = E_NOINTERFACE;
    return object;
}

void Activate(Activation& shared, RemoteObjects& objects) {
    HRESULT appResult = E_FAIL, controlResult = E_FAIL;
    // Both are asked for, even when the first cannot be had.
    ComPtr<IDispatch> app = Create(earth::kAppClassId, appResult);
    ComPtr<IDispatch> control = Create(earth::kControlClassId, controlResult);
    if (app) objects.app = std::make_unique<Dispatcher>(std::move(app), objects.lost);
    if (control) objects.control = std::make_unique<Dispatcher>(std::move(control), objects.lost);
    ControlMembers knows{};
    if (objects.control) {
        const wchar_t* names[kControlMembers] = {member::kCurrentView, member::kSetView, member::kSetViewParams,
                                                 member::kOpenFile};
        for (size_t i = 0; i < kControlMembers; ++i) knows[i] = objects.control->Knows(names[i]);
    }
    {
        std::lock_guard lock(shared.mutex);
        shared.appResult = appResult;
        shared.haveControl = objects.control != nullptr;
        shared.knows = knows;
    }
    shared.state = static_cast<int>(objects.app ? EarthConnection::State::connected : EarthConnection::State::failed);
}

// One connection's worker: COM is entered on its thread, and left only when it was entered.
std::shared_ptr<Worker> MakeWorker(const ComEarthOptions& options) {
    Worker::Hooks hooks{[](std::atomic<bool>& lost) { return std::make_unique<RemoteObjects>(lost); },
                        [] { return SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)); },
                        [] { CoUninitialize(); }};
    return std::make_shared<Worker>(std::move(hooks), options.budget, options.callBudgetMs, options.waitForSends);
}

// A camera move or file load answered yes, or going out in turn.
bool Sent(SendResult result) { return result == SendResult::queued || result == SendResult::done; }

using ThreadRef = std::shared_ptr<Worker>;

// ------------------------------------------------------------------ the objects as the program sees them

class ComCamera final : public EarthCamera {
public:
    ComCamera(ThreadRef thread, int id) : thread_(std::move(thread)), id_(id) {}
    ~ComCamera() override {
        thread_->Post([id = id_](RemoteObjects& o) { o.cameras.erase(id); });
    }
    ComCamera(const ComCamera&) = delete;
    ComCamera& operator=(const ComCamera&) = delete;

    const Worker* thread() const { return thread_.get(); }
    int id() const { return id_; }

    std::optional<double> Range() override { return Get(member::kRange); }
    bool SetRange(double metres) override { return Put(member::kRange, metres); }
    std::optional<double> Tilt() override { return Get(member::kTilt); }
    bool SetTilt(double degrees) override { return Put(member::kTilt, degrees); }

private:
    std::optional<double> Get(const wchar_t* name) {
        return thread_->Call<double>([id = id_, name](RemoteObjects& o) -> std::optional<double> {
            auto camera = o.cameras.find(id);
            if (camera == o.cameras.end()) return std::nullopt;
            Variant result;
            if (camera->second->Call(name, DISPATCH_PROPERTYGET, {}, &result.v) != EarthOutcome::ok)
                return std::nullopt;
            return AsDouble(result.v);
        });
    }
    bool Put(const wchar_t* name, double value) {
        return thread_->Call<bool>([id = id_, name, value](RemoteObjects& o) -> std::optional<bool> {
                   auto camera = o.cameras.find(id);
                   return camera != o.cameras.end() &&
                          camera->second->Call(name, DISPATCH_PROPERTYPUT, {Double(value)}, nullptr) ==
                              EarthOutcome::ok;
               })
            .value_or(false);
    }

    ThreadRef thread_;
    int id_;
};

// Calls `name` on the object `pick` chooses and keeps the camera it returns there.
std::unique_ptr<EarthCamera> FetchCamera(const ThreadRef& thread, std::unique_ptr<Dispatcher> RemoteObjects::*pick,
                                         const wchar_t* name, bool terrain) {
    std::optional<int> id = thread->Call<int>(
        [=](RemoteObjects& o) -> std::optional<int> {
            Dispatcher* object = (o.*pick).get();
            if (!object) return std::nullopt;
            Variant result;
            if (object->Call(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Flag(terrain)}, &result.v) !=
                EarthOutcome::ok)
                return std::nullopt;
            ComPtr<IDispatch> camera = AsDispatch(result.v);
            if (!camera) return std::nullopt;
            int id = o.nextCamera++;
            o.cameras[id] = std::make_unique<Dispatcher>(std::move(camera), o.lost);
            return id;
        },
        // Nobody will hold this camera: it is let go of at once.
        [](RemoteObjects& o, int& id) { o.cameras.erase(id); });
    if (!id) return nullptr;
    return std::make_unique<ComCamera>(thread, *id);
}

// Hands a camera of this connection to `name` on the object `pick` chooses, with `more` arguments after it.
bool SendCamera(const ThreadRef& thread, std::unique_ptr<Dispatcher> RemoteObjects::*pick, const wchar_t* name,
                EarthCamera& camera, std::vector<VARIANT> more) {
    auto* com = dynamic_cast<ComCamera*>(&camera);
    if (!com || com->thread() != thread.get()) return false;  // a camera of another connection is dead
    return thread
        ->Call<bool>([=, id = com->id()](RemoteObjects& o) -> std::optional<bool> {
            Dispatcher* object = (o.*pick).get();
            auto view = o.cameras.find(id);
            if (!object || view == o.cameras.end()) return false;
            std::vector<VARIANT> args{Borrowed(view->second->get())};
            args.insert(args.end(), more.begin(), more.end());
            return object->Call(name, DISPATCH_METHOD, args, nullptr) == EarthOutcome::ok;
        })
        .value_or(false);
}

class ComApp final : public EarthApp {
public:
    explicit ComApp(ThreadRef thread) : thread_(std::move(thread)) {}

    std::optional<int32_t> GetMainHwnd() override { return Handle(member::kGetMainHwnd); }
    std::optional<int32_t> GetRenderHwnd() override { return Handle(member::kGetRenderHwnd); }

    EarthOutcome IsInitialized() override {
        return thread_
            ->Call<EarthOutcome>([](RemoteObjects& o) -> std::optional<EarthOutcome> {
                if (!o.app) return EarthOutcome::failed;
                Variant result;
                EarthOutcome outcome =
                    o.app->Call(member::kIsInitialized, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result.v);
                if (outcome != EarthOutcome::ok) return outcome;
                std::optional<int64_t> ready = AsInteger(result.v);
                if (!ready) return EarthOutcome::failed;
                return *ready != 0 ? EarthOutcome::ok : EarthOutcome::notReady;
            })
            .value_or(EarthOutcome::timedOut);
    }

    std::unique_ptr<EarthCamera> GetCamera(bool considerTerrain) override {
        return FetchCamera(thread_, &RemoteObjects::app, member::kGetCamera, considerTerrain);
    }
    bool SetCamera(EarthCamera& camera, double speed) override {
        return SendCamera(thread_, &RemoteObjects::app, member::kSetCamera, camera, {Double(speed)});
    }
    bool SetCameraParams(double latitude, double longitude, double altitude, int32_t altitudeMode, double range,
                         double tilt, double azimuth, double speed) override {
        return Sent(thread_->Send(kMoveSlot, [=](RemoteObjects& o) {
            return o.app && o.app->Call(member::kSetCameraParams, DISPATCH_METHOD,
                                        {Double(latitude), Double(longitude), Double(altitude), Long(altitudeMode),
                                         Double(range), Double(tilt), Double(azimuth), Double(speed)},
                                        nullptr) == EarthOutcome::ok;
        }));
    }
    bool OpenKmlFile(const std::string& path, bool suppressMessages) override {
        return Sent(thread_->Send(
            kOpenSlot,
            [=](RemoteObjects& o) {
                BstrArg name(path);
                return o.app && name.bstr &&
                       o.app->Call(member::kOpenKmlFile, DISPATCH_METHOD, {name.Arg(), Long(suppressMessages ? 1 : 0)},
                                   nullptr) == EarthOutcome::ok;
            },
            SendWait::waited));
    }

private:
    std::optional<int32_t> Handle(const wchar_t* name) {
        return thread_->Call<int32_t>([name](RemoteObjects& o) -> std::optional<int32_t> {
            if (!o.app) return std::nullopt;
            Variant result;
            if (o.app->Call(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result.v) != EarthOutcome::ok)
                return std::nullopt;
            std::optional<int64_t> handle = AsInteger(result.v);
            if (!handle) return std::nullopt;
            return static_cast<int32_t>(static_cast<uint32_t>(*handle));
        });
    }

    ThreadRef thread_;
};

class ComControl final : public EarthControl {
public:
    explicit ComControl(ThreadRef thread) : thread_(std::move(thread)) {}

    std::unique_ptr<EarthCamera> CurrentView(bool terrain) override {
        return FetchCamera(thread_, &RemoteObjects::control, member::kCurrentView, terrain);
    }
    bool SetView(EarthCamera& camera, bool terrain, double speed) override {
        return SendCamera(thread_, &RemoteObjects::control, member::kSetView, camera, {Flag(terrain), Double(speed)});
    }
    bool SetViewParams(double latitude, double longitude, double range, double tilt, double azimuth, bool terrain,
                       double speed) override {
        return Sent(thread_->Send(kMoveSlot, [=](RemoteObjects& o) {
            return o.control && o.control->Call(member::kSetViewParams, DISPATCH_METHOD,
                                                {Double(latitude), Double(longitude), Double(range), Double(tilt),
                                                 Double(azimuth), Flag(terrain), Double(speed)},
                                                nullptr) == EarthOutcome::ok;
        }));
    }
    bool OpenFile(const std::string& path) override {
        // Waited for while Google Earth answers: it reads the file as it is now, with the point just added.
        return Sent(thread_->Send(
            kOpenSlot,
            [=](RemoteObjects& o) {
                BstrArg name(path);
                return o.control && name.bstr &&
                       o.control->Call(member::kOpenFile, DISPATCH_METHOD, {name.Arg()}, nullptr) == EarthOutcome::ok;
            },
            SendWait::waited));
    }

private:
    ThreadRef thread_;
};

class ComConnection final : public EarthConnection {
public:
    explicit ComConnection(const ComEarthOptions& options)
        : thread_(MakeWorker(options)), activation_(std::make_shared<Activation>()) {
        thread_->Post([activation = activation_](RemoteObjects& o) { Activate(*activation, o); });
        if (thread_->Lost()) {  // no thread could be had for it
            activation_->appResult = E_OUTOFMEMORY;
            activation_->state = static_cast<int>(State::failed);
        }
    }

    State Poll() override { return static_cast<State>(activation_->state.load()); }
    int32_t FailureCode() override {
        std::lock_guard lock(activation_->mutex);
        return static_cast<int32_t>(activation_->appResult);
    }
    std::unique_ptr<EarthApp> TakeApp() override {
        if (Poll() != State::connected || appTaken_) return nullptr;
        appTaken_ = true;
        return std::make_unique<ComApp>(thread_);
    }
    std::unique_ptr<EarthControl> TakeControl() override {
        if (Poll() != State::connected || controlTaken_) return nullptr;
        std::lock_guard lock(activation_->mutex);
        if (!activation_->haveControl) return nullptr;
        controlTaken_ = true;
        return std::make_unique<ComControl>(thread_);
    }
    ControlMembers ControlKnows() override {
        std::lock_guard lock(activation_->mutex);
        return activation_->knows;
    }
    bool Lost() override { return thread_->Lost(); }
    bool Stuck() override { return thread_->Stuck(); }

private:
    ThreadRef thread_;
    std::shared_ptr<Activation> activation_;
    bool appTaken_ = false;
    bool controlTaken_ = false;
};

class ComConnector final : public EarthConnector {
public:
    explicit ComConnector(const ComEarthOptions& options) : options_(options) {}
    std::unique_ptr<EarthConnection> Connect() override { return std::make_unique<ComConnection>(options_); }

private:
    ComEarthOptions options_;
};

}  // namespace

std::unique_ptr<EarthConnector> MakeComEarthConnector(const ComEarthOptions& options) {
    return std::make_unique<ComConnector>(options);
}

}  // namespace qv
