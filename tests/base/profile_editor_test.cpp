#include <gtest/gtest.h>

#include "base/profile.h"

namespace qv {
namespace {

struct EditCase {
    const char* name;
    std::string before;
    std::vector<ProfileChange> changes;
    std::string after;
};

const std::string kGbkComment = "; \xCA\xB1\xC7\xF8\xA3\xAC\xB1\xB1\xBE\xA9\xCA\xB1\xBC\xE4\r\n";  // 时区，北京时间
// A GBK character whose second byte is ']' (0x5D) in a section name, and one whose second byte is '='... none is:
// '=' is below any trail byte; '[' and ']' are not.
const std::string kTrailBracket = "\x81\x5D";

TEST(ProfileEditor, ChangesOnlyTheValuesAndKeepsEveryOtherByte) {
    const std::vector<EditCase> cases = {
        {"a value replaced; comments, blank lines, order and unknown keys kept",
         "; head\r\n\r\n[GE]\r\nEyeHigh=5000\r\nUnknown=x\r\n\r\n[GPS]\r\n" + kGbkComment + "TimeZone=8\r\nPort=0\r\n",
         {{"GPS", "Port", "3"}, {"GE", "EyeHigh", "1200"}},
         "; head\r\n\r\n[GE]\r\nEyeHigh=1200\r\nUnknown=x\r\n\r\n[GPS]\r\n" + kGbkComment + "TimeZone=8\r\nPort=3\r\n"},
        {"names ignore letter case and blanks; the blanks around the old value stay at its start",
         "[gps]\r\n  port =  7  \r\n", {{"GPS", "Port", "12"}}, "[gps]\r\n  port =  12\r\n"},
        {"the first of duplicate keys, as the reader takes it", "[GPS]\r\nPort=1\r\nPort=2\r\n",
         {{"GPS", "Port", "3"}}, "[GPS]\r\nPort=3\r\nPort=2\r\n"},
        {"only the first section of a name, as the reader searches", "[GPS]\r\nPort=1\r\n[GPS]\r\nTalkers=GP\r\n",
         {{"GPS", "Talkers", "GP,GN"}}, "[GPS]\r\nPort=1\r\nTalkers=GP,GN\r\n[GPS]\r\nTalkers=GP\r\n"},
        {"a missing key goes after the section's last key, before its trailing comments and blank lines",
         "[GPS]\r\n; port\r\nPort=1\r\n\r\n; the next section\r\n[Track]\r\nA=1\r\n", {{"GPS", "Talkers", "GP"}},
         "[GPS]\r\n; port\r\nPort=1\r\nTalkers=GP\r\n\r\n; the next section\r\n[Track]\r\nA=1\r\n"},
        {"a section with no key yet: right under its header", "[Log]\r\n; nothing\r\n",
         {{"Log", "WriteLog", "1"}}, "[Log]\r\nWriteLog=1\r\n; nothing\r\n"},
        {"a missing section at the end, after a blank line; a last line without its end gets one",
         "[GE]\r\nEyeHigh=5000", {{"Web", "Enabled", "1"}, {"Web", "Port", "8642"}},
         "[GE]\r\nEyeHigh=5000\r\n\r\n[Web]\r\nEnabled=1\r\nPort=8642\r\n"},
        {"a key in the last section whose last line has no end", "[GE]\r\nEyeHigh=5000",
         {{"GE", "AppName", "x"}}, "[GE]\r\nEyeHigh=5000\r\nAppName=x\r\n"},
        {"an empty file gets the section", "", {{"GPS", "Port", "3"}}, "[GPS]\r\nPort=3\r\n"},
        {"an LF-only file keeps LF", "[GPS]\nPort=1\n", {{"GPS", "Talkers", "GP"}, {"Web", "Enabled", "1"}},
         "[GPS]\nPort=1\nTalkers=GP\n\n[Web]\nEnabled=1\n"},
        {"a key without '=' gets one", "[GPS]\r\nPort\r\n", {{"GPS", "Port", "4"}}, "[GPS]\r\nPort=4\r\n"},
        {"an empty value", "[GPS]\r\nSetting=4800,n,8,1\r\nPort=\r\n", {{"GPS", "Setting", ""}, {"GPS", "Port", "5"}},
         "[GPS]\r\nSetting=\r\nPort=5\r\n"},
        {"values with ';' and '=' are written as they are", "[Web]\r\nTileAttribution=x\r\n",
         {{"Web", "TileAttribution", "&copy; a=b"}}, "[Web]\r\nTileAttribution=&copy; a=b\r\n"},
        {"a value the reader would trim or unquote goes in quotes", "[GPS]\r\nSetting=\r\nTalkers=\r\n",
         {{"GPS", "Setting", " 4800,n,8,1 "}, {"GPS", "Talkers", "'GP'"}},
         "[GPS]\r\nSetting=\" 4800,n,8,1 \"\r\nTalkers=\"'GP'\"\r\n"},
        {"a commented-out key is not the key", "[GPS]\r\n;Port=9\r\n", {{"GPS", "Port", "2"}},
         "[GPS]\r\nPort=2\r\n;Port=9\r\n"},
        {"GBK values and a GBK section name whose second byte is ']'",
         "[" + kTrailBracket + "]\r\nPort=1\r\n[Track]\r\nTrackTempFile=D:\\GPS\\\xB5\xB1\xC7\xB0.kml\r\n",
         {{"Track", "TrackTempFile", "D:\\\xB9\xEC\xBC\xA3\\\xB5\xB1\xC7\xB0.kml"}, {"GPS", "Port", "2"}},
         "[" + kTrailBracket + "]\r\nPort=1\r\n[Track]\r\nTrackTempFile=D:\\\xB9\xEC\xBC\xA3\\\xB5\xB1\xC7\xB0.kml\r\n"
         "\r\n[GPS]\r\nPort=2\r\n"},
    };
    for (const EditCase& c : cases) {
        std::optional<std::string> after = EditProfileText(c.before, c.changes);
        ASSERT_TRUE(after) << c.name;
        EXPECT_EQ(*after, c.after) << c.name;
        for (const ProfileChange& change : c.changes)
            EXPECT_EQ(LookUpProfileText(*after, change.section, change.key, "\x01", 255), change.value)
                << c.name << ": " << change.section << "/" << change.key << " reads back";
    }
}

TEST(ProfileEditor, AValueThatCannotBeReadBackIsRefusedAndNothingIsWritten) {
    EXPECT_FALSE(ProfileValueTrouble(std::string(254, 'x')));
    EXPECT_TRUE(ProfileValueTrouble(std::string(255, 'x')));
    EXPECT_TRUE(ProfileValueTrouble("a\r\nPort=1"));
    EXPECT_TRUE(ProfileValueTrouble(std::string("a\0b", 3)));
    EXPECT_FALSE(EditProfileText("[GPS]\r\nPort=1\r\n", {{"GPS", "Port", "2"}, {"GPS", "Setting", std::string(300, '9')}}));
    EXPECT_FALSE(EditProfileText("[GPS]\r\n", {{"", "Port", "2"}})) << "keys outside a section are not written";
}

}  // namespace
}  // namespace qv
