// EarthStandIn.exe: a local COM server that answers the program's calls the
// way Google Earth's automation server does, journals every call, and draws a
// plain map of what it was told. It exists for the tests and the demo only.
//
//   EarthStandIn.exe /regserver     registers it under HKEY_CLASSES_ROOT
//   EarthStandIn.exe /unregserver   removes that registration
//   EarthStandIn.exe [-Embedding]   serves (COM starts it this way)
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/number_text.h"
#include "base/profile.h"
#include "base/text_codec.h"
#include "base/gdi_win32.h"
#include "earth/earth_members.h"
#include "standin_model.h"

namespace standin {
namespace {

namespace member = qv::earth::member;
using qv::GdiObject;
using qv::MemoryDc;
using qv::PaintDc;
using qv::Selection;

constexpr wchar_t kMainClass[] = L"QuorvaneEarthStandIn";
constexpr wchar_t kMapClass[] = L"QuorvaneEarthStandInMap";
constexpr wchar_t kPSDispatch[] = L"{00020420-0000-0000-C000-000000000046}";
constexpr HRESULT kApplicationUninitialized = static_cast<HRESULT>(0x80048002);  // E_APPLICATION_UNINITIALIZED
constexpr HRESULT kTeleported = static_cast<HRESULT>(0x00048003);                // S_TELEPORTED

// ---------------------------------------------------------------- server state

struct Server {
    std::string journalPath;
    Faults faults;
    Camera camera;
    std::vector<GeoPoint> track;
    std::string trackFile;
    long calls = 0;
    long sequence = 0;
    int cameraCount = 0;
    HWND main = nullptr;
    HWND map = nullptr;
    ULONGLONG started = GetTickCount64();
    bool watchPanel = false;  // mark the calls that come once Quorvane's panel has gone
    bool panelSeen = false;

    void Journal(const std::string& line) {
        if (journalPath.empty()) return;
        std::string mark;
        if (watchPanel) {
            if (FindWindowW(L"QuorvanePanel", nullptr)) panelSeen = true;
            else if (panelSeen) mark = " (panel gone)";
        }
        qv::AppendToFile(journalPath, std::to_string(++sequence) + " " + line + mark + "\n");
    }
    void Redraw() {
        if (map) InvalidateRect(map, nullptr, FALSE);
    }
};

Server g_server;

std::wstring ExePath() {
    wchar_t path[MAX_PATH * 2] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
    return path;
}

void LoadIni() {
    std::wstring exe = ExePath();
    std::wstring folder = exe.substr(0, exe.find_last_of(L'\\') + 1);
    std::string ini = qv::WideToUtf8(folder) + "EarthStandIn.ini";
    qv::Win32ProfileReader profile;
    auto read = [&](const char* section, const char* key) {
        return qv::AnsiToUtf8(profile.ReadString(ini, section, key, "", 1024));
    };
    g_server.journalPath = read("Journal", "Path");
    g_server.watchPanel = qv::ParseWholeNumber(read("Journal", "WatchPanel")).value_or(0) == 1;
    g_server.faults.refuse = ParseMemberList(read("Faults", "Refuse"));
    g_server.faults.slow = ParseMemberList(read("Faults", "Slow"));
    g_server.faults.slowMs = qv::ParseWholeNumber(read("Faults", "SlowMs")).value_or(0);
    g_server.faults.exitAtCall = qv::ParseWholeNumber(read("Faults", "ExitAtCall")).value_or(0);
    g_server.faults.initMs = qv::ParseWholeNumber(read("Faults", "InitMs")).value_or(0);
    g_server.faults.noControl = qv::ParseWholeNumber(read("Faults", "NoControl")).value_or(0) == 1;
    g_server.faults.hang = ParseMemberList(read("Faults", "Hang"));
    g_server.faults.teleported = qv::ParseWholeNumber(read("Faults", "Teleported")).value_or(0) == 1;
}

// ---------------------------------------------------------------- IDispatch objects

struct Member {
    const wchar_t* name;
    DISPID id;
};

// Reads argument `i` (in declared order) of a call.
bool ArgAs(DISPPARAMS* params, UINT i, VARTYPE type, VARIANT& out) {
    VariantInit(&out);
    if (!params || i >= params->cArgs) return false;
    return SUCCEEDED(VariantChangeType(&out, &params->rgvarg[params->cArgs - 1 - i], 0, type));
}

class DispatchObject : public IDispatch {
public:
    DispatchObject(std::string journalName, const wchar_t* extraIid) : journalName_(std::move(journalName)) {
        if (extraIid) CLSIDFromString(extraIid, &extraIid_);
        ++objects_;
    }
    virtual ~DispatchObject() { --objects_; }
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == extraIid_) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (const Member& m : Members())
                if (_wcsicmp(m.name, names[i]) == 0) ids[i] = m.id;
            if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT*) override {
        const wchar_t* name = nullptr;
        for (const Member& m : Members())
            if (m.id == id) name = m.name;
        if (!name) return DISP_E_MEMBERNOTFOUND;
        std::string memberName = qv::WideToUtf8(name);
        ++g_server.calls;
        if (g_server.faults.exitAtCall > 0 && g_server.calls >= g_server.faults.exitAtCall) {
            g_server.Journal(journalName_ + "." + memberName + " -> exit");
            ExitProcess(3);
        }
        if (g_server.faults.Refuses(memberName)) {
            g_server.Journal(journalName_ + "." + memberName + " -> refused");
            return Exception(excep, E_FAIL, L"refused by the [Faults] switches");
        }
        if (g_server.faults.Hangs(memberName)) {
            // A hung Google Earth: this call, and the server's window, never answer again.
            g_server.Journal(journalName_ + "." + memberName + " -> hang");
            for (;;) Sleep(INFINITE);
        }
        if (g_server.faults.Starting(static_cast<long long>(GetTickCount64() - g_server.started))) {
            if (memberName == "IsInitialized") {
                if (result) {
                    VariantInit(result);
                    result->vt = VT_I4;
                    result->lVal = 0;
                }
                g_server.Journal(journalName_ + "." + memberName + "() -> 0");
                return S_OK;
            }
            g_server.Journal(journalName_ + "." + memberName + " -> not initialised");
            return Exception(excep, kApplicationUninitialized, L"Google Earth is still starting");
        }
        if (g_server.faults.IsSlow(memberName)) Sleep(static_cast<DWORD>(g_server.faults.slowMs));
        try {
            return Call(id, memberName, flags, params, result);
        } catch (...) {
            return E_UNEXPECTED;  // nothing may unwind into the COM runtime
        }
    }

    static long Objects() { return objects_; }

protected:
    // A failure as a dual interface reports it: DISP_E_EXCEPTION, the code in EXCEPINFO.
    static HRESULT Exception(EXCEPINFO* excep, HRESULT code, const wchar_t* description) {
        if (excep) {
            *excep = EXCEPINFO{};
            excep->scode = code;
            excep->bstrSource = SysAllocString(L"EarthStandIn");
            excep->bstrDescription = SysAllocString(description);
        }
        return DISP_E_EXCEPTION;
    }
    virtual std::vector<Member> Members() const = 0;
    virtual HRESULT Call(DISPID id, const std::string& name, WORD flags, DISPPARAMS* params, VARIANT* result) = 0;
    const std::string& journalName() const { return journalName_; }

private:
    LONG refs_ = 1;
    IID extraIid_ = IID_NULL;
    std::string journalName_;
    static inline long objects_ = 0;
};

// A camera handed out: the control's (IKHViewInfo) or the application's (ICameraInfoGE), which name
// the focus point differently.
class CameraObject final : public DispatchObject {
public:
    CameraObject(const Camera& camera, int number, bool documented)
        : DispatchObject("camera" + std::to_string(number), documented ? nullptr : qv::earth::kCameraInterfaceId),
          camera_(camera),
          documented_(documented) {}

protected:
    std::vector<Member> Members() const override {
        if (documented_)
            return {{member::kFocusPointLatitude, 3}, {member::kFocusPointLongitude, 4}, {member::kRange, 1},
                    {member::kTilt, 2},  {member::kAzimuth, 5}, {member::kFocusPointAltitude, 6},
                    {member::kFocusPointAltitudeMode, 7}};
        return {{member::kRange, 1}, {member::kTilt, 2}, {member::kLatitude, 3}, {member::kLongitude, 4},
                {member::kAzimuth, 5}};
    }
    HRESULT Call(DISPID id, const std::string& name, WORD flags, DISPPARAMS* params, VARIANT* result) override {
        double* field = id == 1 ? &camera_.range : id == 2 ? &camera_.tilt : id == 3 ? &camera_.latitude
                      : id == 4 ? &camera_.longitude : id == 5 ? &camera_.azimuth : id == 6 ? &altitude_ : &mode_;
        if (flags & DISPATCH_PROPERTYPUT) {
            VARIANT v;
            if (!ArgAs(params, 0, VT_R8, v)) {
                g_server.Journal(journalName() + "." + name + " = ? -> bad argument");
                return DISP_E_TYPEMISMATCH;
            }
            *field = v.dblVal;
            g_server.Journal(journalName() + "." + name + " = " + JournalNumber(v.dblVal) + " -> ok");
            return S_OK;
        }
        if (result) {
            VariantInit(result);
            if (id == 7) {
                result->vt = VT_I4;
                result->lVal = static_cast<LONG>(*field);
            } else {
                result->vt = VT_R8;
                result->dblVal = *field;
            }
        }
        g_server.Journal(journalName() + "." + name + " -> " + JournalNumber(*field));
        return S_OK;
    }

private:
    Camera camera_;
    bool documented_;
    double altitude_ = 0;
    double mode_ = 1;  // relative to the ground
};

// The camera work both interfaces share.
namespace work {

std::string CameraText() {
    const Camera& c = g_server.camera;
    return "lat=" + JournalNumber(c.latitude) + " lon=" + JournalNumber(c.longitude) + " range=" +
           JournalNumber(c.range) + " tilt=" + JournalNumber(c.tilt) + " azimuth=" + JournalNumber(c.azimuth);
}

// What a successful camera call answers.
HRESULT Moved() { return g_server.faults.teleported ? kTeleported : S_OK; }
std::string MovedText() { return g_server.faults.teleported ? "ok (teleported)" : "ok"; }

HRESULT HandOutCamera(const std::string& call, DISPPARAMS* params, VARIANT* result, bool documented) {
    VARIANT terrain;
    std::string arg = ArgAs(params, 0, VT_I4, terrain) ? std::to_string(terrain.lVal) : "?";
    int number = ++g_server.cameraCount;
    auto* camera = new CameraObject(g_server.camera, number, documented);
    if (result) {
        VariantInit(result);
        result->vt = VT_DISPATCH;
        result->pdispVal = camera;  // the caller owns the one reference
    } else {
        camera->Release();
    }
    g_server.Journal(call + "(" + arg + ") -> camera" + std::to_string(number));
    return S_OK;
}

// Takes over the camera of argument 0 and journals the call with `more` arguments (declared types in order).
HRESULT TakeCamera(const std::string& call, DISPPARAMS* params, bool documented, std::vector<VARTYPE> more) {
    VARIANT view;
    bool ok = ArgAs(params, 0, VT_DISPATCH, view) && view.pdispVal;
    std::vector<std::string> args{"camera"};
    for (size_t i = 0; ok && i < more.size(); ++i) {
        VARIANT v;
        ok = ArgAs(params, static_cast<UINT>(i + 1), more[i], v);
        if (ok) args.push_back(more[i] == VT_I4 ? std::to_string(v.lVal) : JournalNumber(v.dblVal));
    }
    if (!ok) {
        VariantClear(&view);
        g_server.Journal(call + "(?) -> bad argument");
        return DISP_E_TYPEMISMATCH;
    }
    // The camera may come back through a proxy: read it through IDispatch like any client would.
    Camera c = g_server.camera;
    auto read = [&](const wchar_t* prop, double& into) {
        DISPID did;
        LPOLESTR names[] = {const_cast<LPOLESTR>(prop)};
        if (FAILED(view.pdispVal->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &did))) return;
        DISPPARAMS none{};
        VARIANT v;
        VariantInit(&v);
        if (SUCCEEDED(view.pdispVal->Invoke(did, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &v,
                                            nullptr, nullptr)) &&
            SUCCEEDED(VariantChangeType(&v, &v, 0, VT_R8)))
            into = v.dblVal;
        VariantClear(&v);
    };
    // Reading our own camera object back journals those reads too; keep them out.
    std::string saved = g_server.journalPath;
    long savedCalls = g_server.calls;
    g_server.journalPath.clear();
    read(documented ? member::kFocusPointLatitude : member::kLatitude, c.latitude);
    read(documented ? member::kFocusPointLongitude : member::kLongitude, c.longitude);
    read(member::kRange, c.range);
    read(member::kTilt, c.tilt);
    read(member::kAzimuth, c.azimuth);
    g_server.journalPath = saved;
    g_server.calls = savedCalls;
    VariantClear(&view);
    g_server.camera = c;
    g_server.Redraw();
    std::string list;
    for (const std::string& a : args) list += (list.empty() ? "" : ", ") + a;
    g_server.Journal(call + "(" + list + ") -> " + MovedText() + " " + CameraText());
    return Moved();
}

// Reads `types.size()` arguments; nothing when one does not convert.
std::optional<std::vector<VARIANT>> Args(DISPPARAMS* params, std::initializer_list<VARTYPE> types) {
    std::vector<VARIANT> out;
    UINT i = 0;
    for (VARTYPE t : types) {
        VARIANT v;
        if (!ArgAs(params, i++, t, v)) return std::nullopt;
        out.push_back(v);
    }
    return out;
}

std::string ArgText(const VARIANT& v) { return v.vt == VT_I4 ? std::to_string(v.lVal) : JournalNumber(v.dblVal); }

HRESULT Fly(const std::string& call, const std::vector<VARIANT>& v, Camera camera) {
    g_server.camera = camera;
    g_server.Redraw();
    std::string list;
    for (const VARIANT& a : v) list += (list.empty() ? "" : ", ") + ArgText(a);
    g_server.Journal(call + "(" + list + ") -> " + MovedText());
    return Moved();
}

HRESULT LoadKml(const std::string& call, DISPPARAMS* params, bool withSuppress) {
    VARIANT path, suppress;
    if (!ArgAs(params, 0, VT_BSTR, path) || (withSuppress && !ArgAs(params, 1, VT_I4, suppress))) {
        g_server.Journal(call + "(?) -> bad argument");
        return DISP_E_TYPEMISMATCH;
    }
    std::string file = qv::WideToUtf8(path.bstrVal ? path.bstrVal : L"");
    VariantClear(&path);
    std::string args = JournalText(file) + (withSuppress ? ", " + std::to_string(suppress.lVal) : "");
    std::optional<std::string> kml = qv::ReadWholeFile(file);
    if (!kml) {
        g_server.Journal(call + "(" + args + ") -> failed: cannot read");
        return E_FAIL;
    }
    g_server.track = ParseKmlCoordinates(*kml);
    g_server.trackFile = file;
    g_server.Redraw();
    g_server.Journal(call + "(" + args + ") -> ok " + std::to_string(g_server.track.size()) + " points");
    return S_OK;
}

HRESULT Answer(const std::string& call, VARIANT* result, LONG value) {
    if (result) {
        VariantInit(result);
        result->vt = VT_I4;
        result->lVal = value;
    }
    g_server.Journal(call + "() -> " + std::to_string(value));
    return S_OK;
}

}  // namespace work

class AppObject final : public DispatchObject {
public:
    AppObject() : DispatchObject("app", qv::earth::kAppInterfaceId) {}

protected:
    std::vector<Member> Members() const override {
        namespace id = qv::earth::dispid;
        return {{member::kGetMainHwnd, id::kGetMainHwnd},   {member::kGetRenderHwnd, id::kGetRenderHwnd},
                {member::kIsInitialized, id::kIsInitialized}, {member::kGetCamera, id::kGetCamera},
                {member::kSetCamera, id::kSetCamera},        {member::kSetCameraParams, id::kSetCameraParams},
                {member::kOpenKmlFile, id::kOpenKmlFile}};
    }
    HRESULT Call(DISPID id, const std::string& name, WORD, DISPPARAMS* params, VARIANT* result) override {
        namespace ids = qv::earth::dispid;
        const std::string call = "app." + name;
        switch (id) {
        case ids::kGetMainHwnd:
        case ids::kGetRenderHwnd: {
            HWND h = id == ids::kGetMainHwnd ? g_server.main : g_server.map;
            return work::Answer(call, result, static_cast<LONG>(reinterpret_cast<uintptr_t>(h)));
        }
        case ids::kIsInitialized:
            return work::Answer(call, result, 1);
        case ids::kGetCamera:
            return work::HandOutCamera(call, params, result, true);
        case ids::kSetCamera:
            return work::TakeCamera(call, params, true, {VT_R8});
        case ids::kSetCameraParams: {
            auto v = work::Args(params, {VT_R8, VT_R8, VT_R8, VT_I4, VT_R8, VT_R8, VT_R8, VT_R8});
            if (!v) break;
            // The focus point seen from `range` metres.
            return work::Fly(call, *v, {(*v)[0].dblVal, (*v)[1].dblVal, (*v)[4].dblVal, (*v)[5].dblVal, (*v)[6].dblVal});
        }
        default:
            return work::LoadKml(call, params, true);
        }
        g_server.Journal(call + "(?) -> bad argument");
        return DISP_E_TYPEMISMATCH;
    }
};

class ControlObject final : public DispatchObject {
public:
    ControlObject() : DispatchObject("control", qv::earth::kControlInterfaceId) {}

protected:
    std::vector<Member> Members() const override {
        return {{member::kCurrentView, 1}, {member::kSetView, 2}, {member::kSetViewParams, 3}, {member::kOpenFile, 4}};
    }
    HRESULT Call(DISPID id, const std::string& name, WORD, DISPPARAMS* params, VARIANT* result) override {
        const std::string call = "control." + name;
        switch (id) {
        case 1:
            return work::HandOutCamera(call, params, result, false);
        case 2:
            return work::TakeCamera(call, params, false, {VT_I4, VT_R8});
        case 3: {
            auto v = work::Args(params, {VT_R8, VT_R8, VT_R8, VT_R8, VT_R8, VT_I4, VT_R8});
            if (!v) {
                g_server.Journal(call + "(?) -> bad argument");
                return DISP_E_TYPEMISMATCH;
            }
            return work::Fly(call, *v, {(*v)[0].dblVal, (*v)[1].dblVal, (*v)[2].dblVal, (*v)[3].dblVal, (*v)[4].dblVal});
        }
        default:
            return work::LoadKml(call, params, false);
        }
    }
};

// ---------------------------------------------------------------- class factories

class Factory final : public IClassFactory {
public:
    explicit Factory(bool app) : app_(app) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives as long as the process
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        if (!app_ && g_server.faults.noControl) {
            g_server.Journal("create control -> failed");
            return CLASS_E_CLASSNOTAVAILABLE;
        }
        DispatchObject* object = app_ ? static_cast<DispatchObject*>(new AppObject) : new ControlObject;
        HRESULT hr = object->QueryInterface(riid, out);
        object->Release();
        g_server.Journal(std::string("create ") + (app_ ? "app" : "control") + (SUCCEEDED(hr) ? "" : " -> failed"));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    bool app_;
};

// ---------------------------------------------------------------- registration

bool SetKey(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

int Register(bool add) {
    const std::wstring exe = L"\"" + ExePath() + L"\"";
    struct ClassEntry { const wchar_t* id; const wchar_t* name; };
    const ClassEntry classes[] = {{qv::earth::kAppClassId, L"ApplicationGE (EarthStandIn)"},
                                  {qv::earth::kControlClassId, L"KHInterface (EarthStandIn)"}};
    const ClassEntry interfaces[] = {{qv::earth::kAppInterfaceId, L"IApplicationGE"},
                                     {qv::earth::kControlInterfaceId, L"IKHInterface"},
                                     {qv::earth::kCameraInterfaceId, L"IKHViewInfo"}};
    bool ok = true;
    for (const ClassEntry& c : classes) {
        std::wstring key = std::wstring(L"CLSID\\") + c.id;
        if (add) {
            ok = SetKey(key, nullptr, c.name) && SetKey(key + L"\\LocalServer32", nullptr, exe) && ok;
        } else {
            RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
        }
    }
    for (const ClassEntry& i : interfaces) {
        std::wstring key = std::wstring(L"Interface\\") + i.id;
        if (add) {
            // Marshalled as plain IDispatch, which is all the program uses.
            ok = SetKey(key, nullptr, i.name) && SetKey(key + L"\\ProxyStubClsid32", nullptr, kPSDispatch) &&
                 SetKey(key + L"\\ProxyStubClsid", nullptr, kPSDispatch) && ok;
        } else {
            RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
        }
    }
    return ok ? 0 : 1;
}

// ---------------------------------------------------------------- windows

void DrawMap(HWND hwnd, HDC target) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    int w = rc.right, h = rc.bottom;
    if (w <= 0 || h <= 0) return;
    MemoryDc dc(target);
    GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(target, w, h));
    Selection useBitmap(dc.get(), bitmap.get());

    GdiObject<HBRUSH> sea(CreateSolidBrush(RGB(16, 40, 72)));
    FillRect(dc.get(), &rc, sea.get());
    SetBkMode(dc.get(), TRANSPARENT);

    const Camera& c = g_server.camera;
    Projection p(c, w, h);
    GdiObject<HPEN> gridPen(CreatePen(PS_SOLID, 1, RGB(70, 110, 150)));
    GdiObject<HFONT> font(CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma"));
    Selection useFont(dc.get(), font.get());
    {
        Selection usePen(dc.get(), gridPen.get());
        SetTextColor(dc.get(), RGB(120, 160, 200));
        double step = p.GraticuleStep();
        double span = p.HalfSpanDegrees();
        double lonScale = std::max(0.01, std::cos(c.latitude * 3.14159265358979 / 180));
        double lonSpan = std::min(span / lonScale, 360.0);
        double lonStep = step;
        while (lonSpan / lonStep > 40) lonStep *= 2;
        // Latitude labels a quarter along their line, longitude labels three quarters, so they never meet.
        auto line = [&](GeoPoint a, GeoPoint b, const std::string& label, double along) {
            double x1, y1, x2, y2;
            p.ToScreen(a, x1, y1);
            p.ToScreen(b, x2, y2);
            MoveToEx(dc.get(), static_cast<int>(x1), static_cast<int>(y1), nullptr);
            LineTo(dc.get(), static_cast<int>(x2), static_cast<int>(y2));
            double lx = x1 + (x2 - x1) * along, ly = y1 + (y2 - y1) * along;
            std::wstring text = qv::Utf8ToWide(label);
            TextOutW(dc.get(), static_cast<int>(lx) + 3, static_cast<int>(ly) + 2, text.c_str(),
                     static_cast<int>(text.size()));
        };
        if (std::isfinite(step) && step > 0 && span / step < 200) {
            auto label = [](double degrees, double spacing) {
                int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(spacing) + 1e-9)));
                char text[32];
                std::snprintf(text, sizeof text, "%.*f", decimals, degrees);
                return std::string(text);
            };
            for (long k = std::lround(std::floor((c.latitude - span) / step)); k * step <= c.latitude + span; ++k)
                line({k * step, c.longitude - lonSpan}, {k * step, c.longitude + lonSpan}, label(k * step, step), 0.25);
            for (long k = std::lround(std::floor((c.longitude - lonSpan) / lonStep)); k * lonStep <= c.longitude + lonSpan;
                 ++k)
                line({c.latitude - span, k * lonStep}, {c.latitude + span, k * lonStep}, label(k * lonStep, lonStep), 0.75);
        }
    }
    if (g_server.track.size() >= 2) {
        GdiObject<HPEN> trackPen(CreatePen(PS_SOLID, 3, RGB(255, 255, 0)));
        Selection usePen(dc.get(), trackPen.get());
        // Only the stretches that cross the view are drawn: a long track is mostly off the map.
        std::vector<POINT> pts, run;
        for (const GeoPoint& g : g_server.track) {
            double x, y;
            p.ToScreen(g, x, y);
            pts.push_back({static_cast<LONG>(std::lround(std::clamp(x, -1e6, 1e6))),
                           static_cast<LONG>(std::lround(std::clamp(y, -1e6, 1e6)))});
        }
        auto crosses = [&](const POINT& a, const POINT& b) {
            return std::max(a.x, b.x) >= -10 && std::min(a.x, b.x) <= w + 10 && std::max(a.y, b.y) >= -10 &&
                   std::min(a.y, b.y) <= h + 10;
        };
        auto draw = [&] {
            if (run.size() >= 2) Polyline(dc.get(), run.data(), static_cast<int>(run.size()));
            run.clear();
        };
        for (size_t i = 1; i < pts.size(); ++i) {
            if (!crosses(pts[i - 1], pts[i])) {
                draw();
                continue;
            }
            if (run.empty()) run.push_back(pts[i - 1]);
            run.push_back(pts[i]);
        }
        draw();
    }
    {
        // The view's centre, where the program's marker belongs.
        GdiObject<HPEN> centrePen(CreatePen(PS_SOLID, 1, RGB(255, 255, 255)));
        Selection usePen(dc.get(), centrePen.get());
        MoveToEx(dc.get(), w / 2 - 12, h / 2, nullptr);
        LineTo(dc.get(), w / 2 + 13, h / 2);
        MoveToEx(dc.get(), w / 2, h / 2 - 12, nullptr);
        LineTo(dc.get(), w / 2, h / 2 + 13);
    }
    std::string readout = "EarthStandIn (not Google Earth)   lat " + qv::ShortestDoubleText(c.latitude) + "   lon " +
                          qv::ShortestDoubleText(c.longitude) + "   eye " + qv::ShortestDoubleText(c.range) +
                          " m   tilt " + qv::ShortestDoubleText(c.tilt) + "   azimuth " +
                          qv::ShortestDoubleText(c.azimuth) + "   track " + std::to_string(g_server.track.size()) +
                          " points";
    std::wstring text = qv::Utf8ToWide(readout);
    RECT strip{0, h - 26, w, h};
    GdiObject<HBRUSH> stripBrush(CreateSolidBrush(RGB(0, 0, 0)));
    FillRect(dc.get(), &strip, stripBrush.get());
    SetTextColor(dc.get(), RGB(255, 255, 255));
    TextOutW(dc.get(), 8, h - 22, text.c_str(), static_cast<int>(text.size()));
    BitBlt(target, 0, 0, w, h, dc.get(), 0, 0, SRCCOPY);
}

LRESULT CALLBACK MapProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PaintDc paint(hwnd);
        DrawMap(hwnd, paint.get());
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        if (g_server.map) MoveWindow(g_server.map, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

bool CreateWindows(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = MainProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.lpszClassName = kMainClass;
    RegisterClassExW(&wc);
    wc.lpfnWndProc = MapProc;
    wc.lpszClassName = kMapClass;
    RegisterClassExW(&wc);

    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    g_server.main = CreateWindowExW(0, kMainClass, L"EarthStandIn - stand-in for Google Earth", WS_OVERLAPPEDWINDOW,
                                    0, 60, sw, sh - 60, nullptr, nullptr, instance, nullptr);
    if (!g_server.main) return false;
    RECT rc;
    GetClientRect(g_server.main, &rc);
    g_server.map = CreateWindowExW(0, kMapClass, L"EarthStandIn map", WS_CHILD | WS_VISIBLE, 0, 0, rc.right, rc.bottom,
                                   g_server.main, nullptr, instance, nullptr);
    ShowWindow(g_server.main, SW_SHOWNOACTIVATE);
    UpdateWindow(g_server.main);
    return g_server.map != nullptr;
}

int Serve(HINSTANCE instance) {
    LoadIni();
    if (!CreateWindows(instance)) return 1;
    static Factory appFactory(true), controlFactory(false);
    CLSID appId, controlId;
    CLSIDFromString(qv::earth::kAppClassId, &appId);
    CLSIDFromString(qv::earth::kControlClassId, &controlId);
    DWORD appCookie = 0, controlCookie = 0;
    CoRegisterClassObject(appId, &appFactory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &appCookie);
    CoRegisterClassObject(controlId, &controlFactory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &controlCookie);
    g_server.Journal("start");
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (appCookie) CoRevokeClassObject(appCookie);
    if (controlCookie) CoRevokeClassObject(controlCookie);
    g_server.Journal("stop");
    return 0;
}

}  // namespace
}  // namespace standin

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    std::wstring args = commandLine ? commandLine : L"";
    auto has = [&](const wchar_t* word) {
        std::wstring lower = args;
        for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
        return lower.find(word) != std::wstring::npos;
    };
    if (has(L"regserver") && !has(L"unregserver")) return standin::Register(true);
    if (has(L"unregserver")) return standin::Register(false);
    HRESULT com = CoInitialize(nullptr);
    int rc = standin::Serve(instance);
    if (SUCCEEDED(com)) CoUninitialize();
    return rc;
}
