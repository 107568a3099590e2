#pragma once
#include <windows.h>

#include "gps/serial_port.h"

namespace qv {

// A COM port read without blocking. Its stored configuration, used until
// settings it accepts are given: port 1, 4800 baud, 8 data bits, no parity, 1 stop bit.
class Win32SerialPort final : public SerialPort {
public:
    Win32SerialPort() = default;
    ~Win32SerialPort() override { Close(); }
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    bool SetPortNumber(int32_t port) override;
    bool SetSettings(std::string_view settings) override;
    bool SetOpen(bool open) override;
    std::optional<std::string> ReadAll() override;

private:
    bool Apply();
    void Close();

    int32_t port_ = 1;
    SerialSettings settings_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace qv
