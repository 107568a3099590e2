#include "gps/serial_port_win32.h"

#include <string>

namespace qv {
namespace {

// Well over a second of input at any line speed a receiver uses.
constexpr DWORD kInputBuffer = 64 * 1024;

}  // namespace

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
    if (handle_ != INVALID_HANDLE_VALUE && !Apply()) {
        settings_ = previous;
        Apply();
        return false;
    }
    return true;
}

bool Win32SerialPort::Apply() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb)) return false;
    dcb.BaudRate = settings_.baud;
    dcb.ByteSize = static_cast<BYTE>(settings_.dataBits);
    switch (settings_.parity) {
    case Parity::None: dcb.Parity = NOPARITY; break;
    case Parity::Even: dcb.Parity = EVENPARITY; break;
    case Parity::Odd: dcb.Parity = ODDPARITY; break;
    case Parity::Mark: dcb.Parity = MARKPARITY; break;
    case Parity::Space: dcb.Parity = SPACEPARITY; break;
    }
    dcb.fParity = settings_.parity != Parity::None;
    dcb.StopBits = settings_.stopBits == StopBits::One ? ONESTOPBIT
                   : settings_.stopBits == StopBits::Two ? TWOSTOPBITS : ONE5STOPBITS;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;  // some receivers take their power from DTR
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    return SetCommState(handle_, &dcb) != FALSE;
}

bool Win32SerialPort::SetOpen(bool open) {
    if (!open) {
        Close();
        return true;
    }
    if (handle_ != INVALID_HANDLE_VALUE) return true;
    std::wstring name = L"\\\\.\\COM" + std::to_wstring(port_);
    // Read only: nothing is ever sent to the receiver.
    handle_ = CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    SetupComm(handle_, kInputBuffer, 512);
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;  // a read returns at once with what has arrived
    if (!Apply() || !SetCommTimeouts(handle_, &timeouts)) {
        Close();
        return false;
    }
    PurgeComm(handle_, PURGE_RXCLEAR);
    return true;
}

std::optional<std::string> Win32SerialPort::ReadAll() {
    if (handle_ == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string text;
    char chunk[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(handle_, chunk, sizeof chunk, &got, nullptr)) {
            if (text.empty()) return std::nullopt;
            break;
        }
        if (got == 0) break;
        text.append(chunk, got);
        if (text.size() >= 1024 * 1024) break;  // the rest waits for the next tick
    }
    return text;
}

void Win32SerialPort::Close() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

}  // namespace qv
