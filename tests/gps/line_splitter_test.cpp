#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gps/line_splitter.h"

namespace qv {
namespace {

std::vector<std::string> SplitInChunks(const std::string& text, size_t chunk) {
    LineSplitter splitter;
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size(); at += chunk)
        splitter.Feed(std::string_view(text).substr(at, chunk), [&](std::string_view l) { lines.emplace_back(l); });
    return lines;
}

TEST(LineSplitter, EndsLinesAtCrLfCrOrLf) {
    EXPECT_EQ(SplitInChunks("a\r\nb\r\n", 100), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(SplitInChunks("a\nb\n", 100), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(SplitInChunks("a\rb\r", 100), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(SplitInChunks("a\r\n\r\nb\n", 100), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(SplitInChunks("a\r\rb\r", 100), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(SplitInChunks("a\n\rb\r", 100), (std::vector<std::string>{"a", "", "b"}));  // LF CR is two ends
}

TEST(LineSplitter, KeepsTheUnfinishedTailForTheNextRead) {
    const std::string text =
        "$GPGGA,1,2,3\r\n$GPRMC,4,5,6\r\n$GPGSA,7,8\r\n$GPGSV,9\n$GPVTG,10\r$GPRMC,11,12\r\n$GPGGA,13";
    const std::vector<std::string> expected = {"$GPGGA,1,2,3", "$GPRMC,4,5,6", "$GPGSA,7,8",
                                               "$GPGSV,9",     "$GPVTG,10",    "$GPRMC,11,12"};
    for (size_t chunk = 1; chunk <= text.size(); ++chunk) EXPECT_EQ(SplitInChunks(text, chunk), expected) << chunk;
    LineSplitter splitter;
    splitter.Feed(text, [](std::string_view) {});
    EXPECT_EQ(splitter.tail(), "$GPGGA,13");
}

TEST(LineSplitter, DropsAnOverlongLineWhole) {
    std::string junk(LineSplitter::kMaxTail + 10, 'x');
    junk.replace(100, 6, "$GPRMC");
    std::string text = "$GPGGA,ok\r\n" + junk + "\r\n$GPRMC,after\r\n";
    for (size_t chunk : {size_t{1}, size_t{7}, size_t{480}, size_t{5000}, text.size()}) {
        LineSplitter splitter;
        std::vector<std::string> lines;
        size_t largestTail = 0;
        for (size_t at = 0; at < text.size(); at += chunk) {
            splitter.Feed(std::string_view(text).substr(at, chunk), [&](std::string_view l) { lines.emplace_back(l); });
            largestTail = std::max(largestTail, splitter.tail().size());
        }
        EXPECT_EQ(lines, (std::vector<std::string>{"$GPGGA,ok", "$GPRMC,after"})) << chunk;
        EXPECT_LE(largestTail, LineSplitter::kMaxTail);
    }
}

}  // namespace
}  // namespace qv
