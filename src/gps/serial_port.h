#pragma once
// The serial port of the receiver: the four operations the program uses.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qv {

class ProbePort;

enum class Parity : char { None = 'n', Even = 'e', Odd = 'o', Mark = 'm', Space = 's' };
enum class StopBits { One, OneAndHalf, Two };

struct SerialSettings {
    uint32_t baud = 4800;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;
    bool operator==(const SerialSettings&) const = default;
};

class SerialPort {
public:
    virtual ~SerialPort() = default;
    // False when refused; the port then keeps its previous number or settings.
    virtual bool SetPortNumber(int32_t port) = 0;
    virtual bool SetSettings(std::string_view settings) = 0;  // "4800,n,8,1"
    // False when the port is absent, busy or refused.
    virtual bool SetOpen(bool open) = 0;
    // Everything received since the last read; nothing while the port is closed
    // or when it can no longer be read (the device has gone).
    virtual std::optional<std::string> ReadAll() = 0;
    // Takes over a port that was opened elsewhere (by the search) as it is,
    // with the given number and settings. False when it cannot: the caller
    // then opens the port itself.
    virtual bool Adopt(std::unique_ptr<ProbePort>& /*probe*/, int32_t /*port*/, const SerialSettings& /*settings*/) {
        return false;
    }
};


// Reads "baud,parity,data,stop": a standard baud rate, parity n, e, o, m or s
// in either case, 4 to 8 data bits, 1, 1.5 or 2 stop bits. Anything else gives nothing.
std::optional<SerialSettings> ParseSerialSettings(std::string_view text);

}  // namespace qv
