#include "mapview/earth_win32.h"

#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <map>
#include <string>
#include <vector>

#include "app/text_codec.h"
#include "mapview/com_ptr.h"
#include "mapview/earth_members.h"

namespace qv {
namespace {

// A VARIANT that is always cleared.
struct Variant {
    VARIANT v;
    Variant() { VariantInit(&v); }
    ~Variant() { VariantClear(&v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

// Calls members of one IDispatch by name, remembering their ids, and keeps
// the last failure's description for diagnosis.
class Dispatcher {
public:
    explicit Dispatcher(ComPtr<IDispatch> object) : object_(std::move(object)) {}
    IDispatch* get() const { return object_.get(); }

    // `args` in the order the member declares them.
    HRESULT Call(const wchar_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* result) {
        DISPID id;
        HRESULT hr = IdOf(name, &id);
        if (FAILED(hr)) return hr;
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
        if (hr == DISP_E_EXCEPTION) Remember(name, excep);
        if (excep.bstrSource) SysFreeString(excep.bstrSource);
        if (excep.bstrDescription) SysFreeString(excep.bstrDescription);
        if (excep.bstrHelpFile) SysFreeString(excep.bstrHelpFile);
        return hr;
    }

    const std::wstring& lastError() const { return lastError_; }

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

    void Remember(const wchar_t* name, const EXCEPINFO& excep) {
        lastError_ = std::wstring(name) + L": ";
        if (excep.bstrDescription) lastError_ += excep.bstrDescription;
        OutputDebugStringW((L"Quorvane: Google Earth call failed: " + lastError_ + L"\n").c_str());
    }

    ComPtr<IDispatch> object_;
    std::map<std::wstring, DISPID> ids_;
    std::wstring lastError_;
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
VARIANT Terrain(bool terrain) { return Long(terrain ? -1 : 0); }

std::optional<double> AsDouble(VARIANT& value) {
    if (FAILED(VariantChangeType(&value, &value, 0, VT_R8))) return std::nullopt;
    return value.dblVal;
}

std::optional<int32_t> AsHandle(VARIANT& value) {
    if (FAILED(VariantChangeType(&value, &value, 0, VT_I8))) return std::nullopt;
    return static_cast<int32_t>(static_cast<uint32_t>(value.llVal));
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

class ComCamera final : public EarthCamera {
public:
    explicit ComCamera(ComPtr<IDispatch> camera) : camera_(std::move(camera)) {}
    IDispatch* dispatch() const { return camera_.get(); }

    std::optional<double> Range() override { return Get(earth::member::kRange); }
    bool SetRange(double metres) override { return Put(earth::member::kRange, metres); }
    std::optional<double> Tilt() override { return Get(earth::member::kTilt); }
    bool SetTilt(double degrees) override { return Put(earth::member::kTilt, degrees); }

private:
    std::optional<double> Get(const wchar_t* name) {
        Variant result;
        if (FAILED(camera_.Call(name, DISPATCH_PROPERTYGET, {}, &result.v))) return std::nullopt;
        return AsDouble(result.v);
    }
    bool Put(const wchar_t* name, double value) {
        return SUCCEEDED(camera_.Call(name, DISPATCH_PROPERTYPUT, {Double(value)}, nullptr));
    }

    Dispatcher camera_;
};

class ComApp final : public EarthApp {
public:
    explicit ComApp(ComPtr<IDispatch> app) : app_(std::move(app)) {}
    std::optional<int32_t> GetMainHwnd() override { return Handle(earth::member::kGetMainHwnd); }
    std::optional<int32_t> GetRenderHwnd() override { return Handle(earth::member::kGetRenderHwnd); }

private:
    std::optional<int32_t> Handle(const wchar_t* name) {
        Variant result;
        if (FAILED(app_.Call(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result.v))) return std::nullopt;
        return AsHandle(result.v);
    }

    Dispatcher app_;
};

class ComControl final : public EarthControl {
public:
    explicit ComControl(ComPtr<IDispatch> control) : control_(std::move(control)) {}

    std::unique_ptr<EarthCamera> CurrentView(bool terrain) override {
        Variant result;
        if (FAILED(control_.Call(earth::member::kCurrentView, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {Terrain(terrain)},
                                 &result.v)))
            return nullptr;
        ComPtr<IDispatch> camera = AsDispatch(result.v);
        if (!camera) return nullptr;
        return std::make_unique<ComCamera>(std::move(camera));
    }

    bool SetView(EarthCamera& camera, bool terrain, double speed) override {
        auto* com = dynamic_cast<ComCamera*>(&camera);
        if (!com) return false;
        VARIANT view;
        VariantInit(&view);
        view.vt = VT_DISPATCH;
        view.pdispVal = com->dispatch();  // borrowed for the call
        return SUCCEEDED(control_.Call(earth::member::kSetView, DISPATCH_METHOD, {view, Terrain(terrain), Double(speed)},
                                       nullptr));
    }

    bool SetViewParams(double latitude, double longitude, double range, double tilt, double azimuth, bool terrain,
                       double speed) override {
        return SUCCEEDED(control_.Call(earth::member::kSetViewParams, DISPATCH_METHOD,
                                       {Double(latitude), Double(longitude), Double(range), Double(tilt),
                                        Double(azimuth), Terrain(terrain), Double(speed)},
                                       nullptr));
    }

    bool OpenFile(const std::string& path) override {
        BSTR name = SysAllocString(Utf8ToWide(path).c_str());
        if (!name) return false;
        VARIANT arg;
        VariantInit(&arg);
        arg.vt = VT_BSTR;
        arg.bstrVal = name;
        HRESULT hr = control_.Call(earth::member::kOpenFile, DISPATCH_METHOD, {arg}, nullptr);
        SysFreeString(name);
        return SUCCEEDED(hr);
    }

private:
    Dispatcher control_;
};

ComPtr<IDispatch> Create(const wchar_t* classId) {
    CLSID clsid;
    ComPtr<IDispatch> object;
    if (FAILED(CLSIDFromString(classId, &clsid))) return object;
    CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(object.put()));
    return object;
}

class ComConnector final : public EarthConnector {
public:
    std::unique_ptr<EarthApp> CreateApp() override {
        ComPtr<IDispatch> app = Create(earth::kAppClassId);
        if (!app) return nullptr;
        return std::make_unique<ComApp>(std::move(app));
    }
    std::unique_ptr<EarthControl> CreateControl() override {
        ComPtr<IDispatch> control = Create(earth::kControlClassId);
        if (!control) return nullptr;
        return std::make_unique<ComControl>(std::move(control));
    }
};

}  // namespace

std::unique_ptr<EarthConnector> MakeComEarthConnector() { return std::make_unique<ComConnector>(); }

}  // namespace qv
