// The line splitter with its carry-over, fed in reads of fuzzed sizes: lines
// never hold a line end, no line or tail outgrows the bound, and how the text
// is cut into reads changes nothing.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "gps/line_splitter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    size_t chunk = 1 + data[0] % 97;
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    auto run = [&](size_t step) {
        qv::LineSplitter splitter;
        std::vector<std::string> lines;
        for (size_t at = 0; at < text.size(); at += step) {
            splitter.Feed(text.substr(at, step), [&](std::string_view l) {
                if (l.find_first_of("\r\n") != std::string_view::npos || l.size() > qv::LineSplitter::kMaxTail)
                    std::abort();
                lines.emplace_back(l);
            });
            if (splitter.tail().size() > qv::LineSplitter::kMaxTail) std::abort();
        }
        return lines;
    };
    if (run(chunk) != run(text.size() + 1)) std::abort();
    return 0;
}
