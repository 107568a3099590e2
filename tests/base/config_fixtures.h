#pragma once
// Config.ini files that both the portable reader and the real profile API
// must read alike. Bytes are as on disk: ANSI code page 936 unless a
// byte-order mark says otherwise.
#include <optional>
#include <string>
#include <vector>

namespace qv::test {

struct ConfigFixture {
    std::string name;
    std::optional<std::string> bytes;  // nothing: no Config.ini at all
};

inline std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

inline std::vector<ConfigFixture> ConfigFixtures() {
    const std::string zhong = "\xD6\xD0", wen = "\xCE\xC4";  // 中 文 in GBK
    const std::string full =
        "[GE]\r\nAppName=Google Earth\r\nWinMapName=Map\r\nEyeHigh=1200\r\n"
        "[GPS]\r\nPort=3\r\nSetting=4800,n,8,1\r\nTimeZone=-5\r\nTalkers=GP, gn\r\nOpenAtStart=1\r\n"
        "[Track]\r\nTrackTempFile=C:\\Temp\\track.kml\r\nPrecisionInTrack=0.001\r\n"
        "[Log]\r\nWriteLog=1\r\n";
    std::string lf = full;
    for (size_t p; (p = lf.find("\r\n")) != std::string::npos;) lf.replace(p, 2, "\n");
    std::string cr = full;
    for (size_t p; (p = cr.find("\r\n")) != std::string::npos;) cr.replace(p, 2, "\r");
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919 + 13) % 251 + (i % 3 == 0 ? 0 : 5));
    // Keep the garbage off the lines we read: it ends in a line break.
    garbage += "\r\n";

    return {
        {"missing file", std::nullopt},
        {"empty file", std::string()},
        {"every key, CR LF", full},
        {"every key, LF", lf},
        {"every key, CR alone", cr},
        {"missing keys", "[GE]\r\nAppName=Only\r\n[Log]\r\n"},
        {"empty values", "[GE]\r\nAppName=\r\nWinMapName=\r\nEyeHigh=\r\n[GPS]\r\nPort=\r\nSetting=\r\nTimeZone=\r\n"
                         "[Track]\r\nTrackTempFile=\r\nPrecisionInTrack=\r\n[Log]\r\nWriteLog=\r\n"},
        {"blanks", "  [GE]  \r\n  AppName  =   two words   \r\n\tEyeHigh\t=\t 2.5 \t\r\n[GPS]\r\nTimeZone =  3.5\r\n"
                   "Port= 7 \r\n[Log]\r\nWriteLog =  1  \r\n"},
        {"comments", "; Quorvane settings\r\n[GE]\r\n; EyeHigh=111\r\n# EyeHigh=222\r\nEyeHigh=333 ; metres\r\n"
                     "[Log]\r\n;WriteLog=1\r\nWriteLog=0\r\n"},
        {"duplicate sections", "[GE]\r\nAppName=first\r\n[GPS]\r\nPort=2\r\n[GE]\r\nAppName=second\r\nEyeHigh=900\r\n"
                               "[GPS]\r\nTimeZone=4\r\n"},
        {"duplicate keys", "[GE]\r\nEyeHigh=100\r\nEyeHigh=200\r\n[GPS]\r\nPort=5\r\nport=6\r\n"},
        {"letter case", "[ge]\r\neyehigh=4321\r\nAPPNAME=Upper\r\n[gPs]\r\nTIMEZONE=9\r\n[LOG]\r\nwritelog=1\r\n"},
        {"quoted values", "[GE]\r\nAppName=\"quoted text\"\r\nWinMapName='single'\r\nEyeHigh=\" 77 \"\r\n"
                          "[GPS]\r\nSetting=\"4800,n,8,1\r\nTimeZone=\"\r\n"
                          "[Track]\r\nTrackTempFile=\"a\"b\"\r\nPrecisionInTrack='0.01'\r\n[Log]\r\nWriteLog=\"1\"\r\n"},
        {"300-byte values", "[GE]\r\nAppName=" + Repeat("0123456789", 30) + "\r\nWinMapName=\"" +
                                Repeat("abcdefghij", 30) + "\"\r\n[Track]\r\nTrackTempFile=\"" + Repeat("x", 253) +
                                "\"\r\n"},
        {"Chinese values", "[GE]\r\nAppName=" + zhong + wen + "\r\nWinMapName=" + zhong + " " + wen +
                               "\r\n[Track]\r\nTrackTempFile=D:\\" + zhong + wen + "\\track.kml\r\n"},
        {"300 bytes of Chinese", "[GE]\r\nAppName=" + Repeat(zhong + wen, 75) + "\r\nWinMapName=a" +
                                     Repeat(zhong, 150) + "\r\n"},
        {"binary garbage", garbage + "[GE]\r\nEyeHigh=4000\r\n" + garbage + "[Log]\r\nWriteLog=1\r\n" + garbage},
        {"headers out of shape", "AppName=before any section\r\n[ GE ]\r\nEyeHigh=10\r\n[GE\r\nEyeHigh=20\r\n"
                                 "[GPS] trailing\r\nTimeZone=2\r\n[Track]]\r\nPrecisionInTrack=0.5\r\n"},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF[GE]\r\nAppName=\xE4\xB8\xAD\xE6\x96\x87\r\nEyeHigh=808\r\n"},
        {"NUL inside a value", std::string("[GE]\r\nAppName=ab\0cd\r\nEyeHigh=12\0" "34\r\n", 36)},
        {"ideographic spaces", "[GE]\r\nAppName=\xA1\xA1" + zhong + "\xA1\xA1\r\nEyeHigh=\xA1\xA1" "55\r\n"},
        {"lead byte before a bracket", "[GE\x81]\r\nEyeHigh=66\r\n[GE]\r\nEyeHigh=67\r\n[GPS]\r\nTimeZone\x81=1\r\n"
                                       "TimeZone=2\r\n"},
        {"key without equals sign", "[GE]\r\nEyeHigh\r\nAppName\r\n[Track]\r\nPrecisionInTrack\r\n"},
    };
}

}  // namespace qv::test
