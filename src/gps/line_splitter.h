#pragma once
// Cuts the receiver's text into lines. A read ends wherever the second ends,
// usually inside a sentence, so the unfinished tail waits for the next read.
#include <string>
#include <string_view>

namespace qv {

class LineSplitter {
public:
    // A line longer than this is no sentence: it is dropped whole, and its
    // tail is never held longer than this while it arrives.
    static constexpr size_t kMaxTail = 4096;

    // Calls onLine(std::string_view) for every line completed by `text`; a
    // line ends at CR LF, CR or LF. The line end is not part of the line.
    template <class OnLine>
    void Feed(std::string_view text, OnLine&& onLine) {
        size_t start = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            char c = text[i];
            if (c != '\r' && c != '\n') continue;
            bool secondHalfOfCrLf = c == '\n' && i == 0 && lastWasCr_;  // CR ended the last read
            lastWasCr_ = c == '\r';
            if (secondHalfOfCrLf || (c == '\n' && i > 0 && text[i - 1] == '\r')) {
                start = i + 1;
                continue;
            }
            std::string_view piece = text.substr(start, i - start);
            start = i + 1;
            if (discarding_) {
                discarding_ = false;
                tail_.clear();
                continue;
            }
            if (tail_.empty()) {
                if (piece.size() <= kMaxTail) onLine(piece);
            } else if (tail_.size() + piece.size() <= kMaxTail) {
                tail_.append(piece);
                std::string line = std::move(tail_);
                tail_.clear();
                onLine(std::string_view(line));
            } else {
                tail_.clear();
            }
        }
        if (!text.empty()) lastWasCr_ = text.back() == '\r';
        std::string_view rest = text.substr(start);
        if (discarding_ || rest.empty()) return;
        if (tail_.size() + rest.size() > kMaxTail) {
            tail_.clear();
            discarding_ = true;
        } else {
            tail_.append(rest);
        }
    }

    const std::string& tail() const { return tail_; }

private:
    std::string tail_;
    bool lastWasCr_ = false;
    bool discarding_ = false;
};

}  // namespace qv
