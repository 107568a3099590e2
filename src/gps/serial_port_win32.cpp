#include "gps/serial_port_win32.h"

// clang-format off
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>

#include "base/text_codec.h"

namespace qv {
namespace {

// Well over a second of input at any line speed a receiver uses.
constexpr DWORD kInputBuffer = 64 * 1024;

// "COM12" -> 12; anything else -> nothing.
std::optional<int32_t> ComNumber(const std::wstring& name) {
    if (name.size() < 4 || _wcsnicmp(name.c_str(), L"COM", 3) != 0) return std::nullopt;
    int32_t n = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < L'0' || name[i] > L'9' || n > 100000) return std::nullopt;
        n = n * 10 + (name[i] - L'0');
    }
    return n > 0 ? std::optional<int32_t>(n) : std::nullopt;
}

}  // namespace

void ConfigureDcb(DCB& dcb, const SerialSettings& settings) {
    dcb.BaudRate = settings.baud;
    dcb.ByteSize = static_cast<BYTE>(settings.dataBits);
    switch (settings.parity) {
    case Parity::None: dcb.Parity = NOPARITY; break;
    case Parity::Even: dcb.Parity = EVENPARITY; break;
    case Parity::Odd: dcb.Parity = ODDPARITY; break;
    case Parity::Mark: dcb.Parity = MARKPARITY; break;
    case Parity::Space: dcb.Parity = SPACEPARITY; break;
    }
    dcb.fParity = settings.parity != Parity::None;
    dcb.StopBits = settings.stopBits == StopBits::One ? ONESTOPBIT
                   : settings.stopBits == StopBits::Two ? TWOSTOPBITS : ONE5STOPBITS;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;  // some receivers take their power from DTR
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    // Nothing left as the driver had it: a framing error (a wrong speed tried) must not abort the reads,
    // a receiver that does not drive DSR must still be heard, and no byte is replaced.
    dcb.fAbortOnError = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fErrorChar = FALSE;
}

bool ApplySerialSettings(HANDLE port, const SerialSettings& settings) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb)) return false;
    ConfigureDcb(dcb, settings);
    return SetCommState(port, &dcb) != FALSE;
}

HANDLE OpenSerialForReading(int32_t number, const SerialSettings& settings) {
    std::wstring name = L"\\\\.\\COM" + std::to_wstring(number);
    // Read only: nothing is ever sent to the receiver.
    HANDLE h = CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return h;
    SetupComm(h, kInputBuffer, 512);
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;  // a read returns at once with what has arrived
    if (!ApplySerialSettings(h, settings) || !SetCommTimeouts(h, &timeouts)) {
        CloseHandle(h);
        return INVALID_HANDLE_VALUE;
    }
    PurgeComm(h, PURGE_RXCLEAR);
    return h;
}

std::optional<std::string> ReadSerialPort(HANDLE port) {
    // A device that has gone (unplugged, off the bus) can no longer be asked for its state.
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port, &errors, &status)) return std::nullopt;
    std::string text;
    char chunk[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(port, chunk, sizeof chunk, &got, nullptr)) {
            // A line error (a framing error at a wrong speed) is cleared and reading goes on; only a port
            // that can no longer be asked for its state has gone.
            if (!ClearCommError(port, &errors, &status)) return std::nullopt;
            break;
        }
        if (got == 0) break;
        text.append(chunk, got);
        if (text.size() >= 1024 * 1024) break;  // the rest waits for the next tick
    }
    return text;
}

bool Win32SerialPort::SetPortNumber(int32_t port) {
    if (port < 1 || port > 255 || handle_ != INVALID_HANDLE_VALUE) return false;
    port_ = port;
    return true;
}

bool Win32SerialPort::SetSettings(std::string_view text) {
    std::optional<SerialSettings> parsed = ParseSerialSettings(text);
    if (!parsed) return false;
    SerialSettings previous = settings_;
    settings_ = *parsed;
    if (handle_ != INVALID_HANDLE_VALUE && !ApplySerialSettings(handle_, settings_)) {
        settings_ = previous;
        ApplySerialSettings(handle_, settings_);
        return false;
    }
    return true;
}

bool Win32SerialPort::SetOpen(bool open) {
    if (!open) {
        Close();
        return true;
    }
    if (handle_ != INVALID_HANDLE_VALUE) return true;
    handle_ = OpenSerialForReading(port_, settings_);
    return handle_ != INVALID_HANDLE_VALUE;
}

std::optional<std::string> Win32SerialPort::ReadAll() {
    if (handle_ == INVALID_HANDLE_VALUE) return std::nullopt;
    return ReadSerialPort(handle_);
}

void Win32SerialPort::Close() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

// ------------------------------------------------------------------ the search's ports

namespace {

}  // namespace

// The ports whose open is still under way.
struct PortsOpening {
    std::mutex mutex;
    std::set<int32_t> ports;
};

namespace {

// Shared by a probe and the thread that opens its port; whichever ends last closes it.
struct Opening {
    std::mutex mutex;
    std::atomic<int> state{static_cast<int>(ProbePort::State::opening)};
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool abandoned = false;  // the probe is gone: the thread closes what it opened
};

class Win32ProbePort final : public ProbePort {
public:
    Win32ProbePort(int32_t number, const SerialSettings& settings, std::shared_ptr<PortsOpening> ports)
        : opening_(std::make_shared<Opening>()) {
        {
            std::lock_guard lock(ports->mutex);
            if (!ports->ports.insert(number).second) {
                opening_->state = static_cast<int>(State::failed);  // still opening from an earlier search
                return;
            }
        }
        // Opening a Bluetooth port can block for many seconds: it is done aside.
        std::thread([opening = opening_, number, settings, ports] {
            HANDLE h = OpenSerialForReading(number, settings);
            {
                std::lock_guard lock(ports->mutex);
                ports->ports.erase(number);
            }
            std::lock_guard lock(opening->mutex);
            if (opening->abandoned) {
                if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
                return;
            }
            opening->handle = h;
            opening->state = static_cast<int>(h != INVALID_HANDLE_VALUE ? State::open : State::failed);
        }).detach();
    }
    ~Win32ProbePort() override {
        std::lock_guard lock(opening_->mutex);
        opening_->abandoned = true;
        if (opening_->handle != INVALID_HANDLE_VALUE) CloseHandle(opening_->handle);
        opening_->handle = INVALID_HANDLE_VALUE;
    }
    Win32ProbePort(const Win32ProbePort&) = delete;
    Win32ProbePort& operator=(const Win32ProbePort&) = delete;

    State Poll() override { return static_cast<State>(opening_->state.load()); }
    bool SetSettings(const SerialSettings& settings) override {
        HANDLE h = Handle();
        if (h == INVALID_HANDLE_VALUE || !ApplySerialSettings(h, settings)) return false;
        PurgeComm(h, PURGE_RXCLEAR);
        return true;
    }
    std::optional<std::string> Read() override {
        HANDLE h = Handle();
        if (h == INVALID_HANDLE_VALUE) return std::nullopt;
        return ReadSerialPort(h);
    }
    // Hands the open port over; the probe no longer closes it.
    HANDLE Release() {
        std::lock_guard lock(opening_->mutex);
        return std::exchange(opening_->handle, INVALID_HANDLE_VALUE);
    }

private:
    HANDLE Handle() {
        if (Poll() != State::open) return INVALID_HANDLE_VALUE;
        std::lock_guard lock(opening_->mutex);
        return opening_->handle;
    }
    std::shared_ptr<Opening> opening_;
};

}  // namespace

bool Win32SerialPort::Adopt(std::unique_ptr<ProbePort>& probe, int32_t port, const SerialSettings& settings) {
    auto* win32 = dynamic_cast<Win32ProbePort*>(probe.get());
    if (!win32 || win32->Poll() != ProbePort::State::open) return false;
    HANDLE h = win32->Release();
    if (h == INVALID_HANDLE_VALUE) return false;
    Close();
    handle_ = h;
    port_ = port;
    settings_ = settings;
    probe.reset();
    return true;
}

Win32PortFinder::Win32PortFinder() : opening_(std::make_shared<PortsOpening>()) {}

namespace {

// A handle of the setup or registry API, closed with `Close` unless it is none (null or INVALID_HANDLE_VALUE,
// which these calls give back on failure).
template <class Handle, auto Close>
class Owned {
public:
    explicit Owned(Handle h = nullptr) : h_(h) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() {
        if (*this) Close(h_);
    }
    explicit operator bool() const { return h_ && h_ != reinterpret_cast<Handle>(INVALID_HANDLE_VALUE); }
    Handle get() const { return h_; }
    Handle* out() { return &h_; }

private:
    Handle h_;
};
using DeviceList = Owned<HDEVINFO, SetupDiDestroyDeviceInfoList>;
using RegistryKey = Owned<HKEY, RegCloseKey>;

}  // namespace

std::map<int32_t, std::string> PortDeviceNames() {
    std::map<int32_t, std::string> names;
    DeviceList devices(SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT));
    if (!devices) return names;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(devices.get(), i, &device); ++i) {
        RegistryKey key(SetupDiOpenDevRegKey(devices.get(), &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ));
        if (!key) continue;
        wchar_t port[64] = L"";
        DWORD size = sizeof port - sizeof(wchar_t), type = 0;
        if (RegQueryValueExW(key.get(), L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(port), &size) !=
                ERROR_SUCCESS ||
            type != REG_SZ)
            continue;
        std::optional<int32_t> number = ComNumber(port);
        wchar_t name[512] = L"";
        if (!number || !SetupDiGetDeviceRegistryPropertyW(devices.get(), &device, SPDRP_FRIENDLYNAME, nullptr,
                                                          reinterpret_cast<BYTE*>(name), sizeof name - sizeof(wchar_t),
                                                          nullptr))
            continue;
        names[*number] = WideToUtf8(name);
    }
    return names;
}

std::vector<int32_t> Win32PortFinder::ListPorts() {
    std::set<int32_t> ports;
    // The ports the drivers announce...
    RegistryKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, key.out()) ==
        ERROR_SUCCESS) {
        for (DWORD i = 0;; ++i) {
            wchar_t name[256], data[256];
            DWORD nameSize = 256, dataSize = sizeof data, type = 0;
            LONG rc = RegEnumValueW(key.get(), i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data),
                                    &dataSize);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
            data[std::min<DWORD>(dataSize / sizeof(wchar_t), 255)] = L'\0';
            if (auto n = ComNumber(data)) ports.insert(*n);
        }
    }
    // ...and every COM device name there is.
    std::wstring names(64 * 1024, L'\0');
    DWORD n = QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()));
    for (size_t at = 0; at < n && names[at] != L'\0';) {
        std::wstring name(names.c_str() + at);
        if (auto number = ComNumber(name)) ports.insert(*number);
        at += name.size() + 1;
    }
    return {ports.begin(), ports.end()};
}

std::unique_ptr<ProbePort> Win32PortFinder::Open(int32_t port, const SerialSettings& settings) {
    return std::make_unique<Win32ProbePort>(port, settings, opening_);
}

}  // namespace qv
