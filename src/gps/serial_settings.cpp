#include <array>
#include <charconv>

#include "gps/serial_port.h"

namespace qv {
namespace {

// The standard rates, and those modern receivers use up to 921600.
constexpr std::array<uint32_t, 19> kBaudRates = {110,   300,   600,    1200,   2400,   4800,   9600,
                                                 14400, 19200, 28800,  38400,  56000,  57600,  115200,
                                                 128000, 230400, 256000, 460800, 921600};

std::string_view Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

}  // namespace

std::optional<SerialSettings> ParseSerialSettings(std::string_view text) {
    std::array<std::string_view, 4> parts;
    size_t count = 0, start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != ',') continue;
        if (count == parts.size()) return std::nullopt;
        parts[count++] = Trim(text.substr(start, i - start));
        start = i + 1;
    }
    if (count != parts.size()) return std::nullopt;

    SerialSettings s;
    auto [end, ec] = std::from_chars(parts[0].data(), parts[0].data() + parts[0].size(), s.baud);
    if (ec != std::errc() || end != parts[0].data() + parts[0].size()) return std::nullopt;
    bool standard = false;
    for (uint32_t rate : kBaudRates) standard = standard || rate == s.baud;
    if (!standard) return std::nullopt;

    if (parts[1].size() != 1) return std::nullopt;
    switch (parts[1][0] | 0x20) {
    case 'n': s.parity = Parity::None; break;
    case 'e': s.parity = Parity::Even; break;
    case 'o': s.parity = Parity::Odd; break;
    case 'm': s.parity = Parity::Mark; break;
    case 's': s.parity = Parity::Space; break;
    default: return std::nullopt;
    }

    if (parts[2].size() != 1 || parts[2][0] < '4' || parts[2][0] > '8') return std::nullopt;
    s.dataBits = parts[2][0] - '0';

    if (parts[3] == "1") s.stopBits = StopBits::One;
    else if (parts[3] == "1.5") s.stopBits = StopBits::OneAndHalf;
    else if (parts[3] == "2") s.stopBits = StopBits::Two;
    else return std::nullopt;
    return s;
}

}  // namespace qv
