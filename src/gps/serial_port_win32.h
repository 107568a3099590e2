#pragma once
#include <windows.h>
#include <map>
#include <string>

#include "gps/port_search.h"
#include "gps/serial_port.h"

namespace qv {

// The line settings in a DCB, every flag that matters set, none left as the driver had it.
void ConfigureDcb(DCB& dcb, const SerialSettings& settings);
// The line settings on an open port; false when the driver refuses them.
bool ApplySerialSettings(HANDLE port, const SerialSettings& settings);
// Opens COM`number` for reading only, reads returning at once: the handle, or INVALID_HANDLE_VALUE.
HANDLE OpenSerialForReading(int32_t number, const SerialSettings& settings);
// Everything waiting on the port, up to a megabyte; nothing when the port has
// gone (a line error is cleared and is no reason).
std::optional<std::string> ReadSerialPort(HANDLE port);

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
    bool Adopt(std::unique_ptr<ProbePort>& probe, int32_t port, const SerialSettings& settings) override;

private:
    void Close();

    int32_t port_ = 1;
    SerialSettings settings_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// The COM ports of this machine, each opened on a thread of its own. A port
// whose last open has not returned yet (a Bluetooth port that blocks) is not
// opened again meanwhile, so a port that never answers costs one thread, not one a search.
// The name Windows gives each present port's device, as Device Manager shows it
// ("USB-SERIAL CH340 (COM3)"), by port number; ports it knows no name for are left out.
std::map<int32_t, std::string> PortDeviceNames();

class Win32PortFinder final : public PortFinder {
public:
    Win32PortFinder();
    std::vector<int32_t> ListPorts() override;
    std::unique_ptr<ProbePort> Open(int32_t port, const SerialSettings& settings) override;

private:
    std::shared_ptr<struct PortsOpening> opening_;
};

}  // namespace qv
