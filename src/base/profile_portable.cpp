#include "base/file_io.h"
#include "base/profile.h"
#include "base/text_codec.h"

#include <vector>

namespace qv {
namespace {

constexpr size_t kMostValueBytes = 254;

// The profile API works on characters, not bytes: a lead byte of the ANSI code
// page and the byte after it are one character, so that byte can never end a
// line, close a section name or be an equals sign.
struct Char {
    size_t pos;
    size_t len;
};

std::vector<Char> SplitChars(std::string_view text) {
    std::vector<Char> chars;
    chars.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        size_t len = (IsAnsiLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() && text[i + 1] != '\0') ? 2 : 1;
        chars.push_back({i, len});
        i += len;
    }
    return chars;
}

class Text {
public:
    explicit Text(std::string_view bytes) : bytes_(bytes), chars_(SplitChars(bytes)) {}
    size_t size() const { return chars_.size(); }
    // The single byte of a one-byte character, or -1 for a two-byte one.
    int Byte(size_t i) const { return chars_[i].len == 1 ? static_cast<unsigned char>(bytes_[chars_[i].pos]) : -1; }
    bool IsSpace(size_t i) const {
        const Char& c = chars_[i];
        if (c.len == 2) return false;
        int b = Byte(i);
        return (b >= 0x09 && b <= 0x0D) || b == 0x20 || b == 0x1A;
    }
    std::string_view Bytes(size_t from, size_t to) const {
        if (from >= to) return {};
        size_t begin = chars_[from].pos;
        size_t end = chars_[to - 1].pos + chars_[to - 1].len;
        return bytes_.substr(begin, end - begin);
    }

private:
    std::string_view bytes_;
    std::vector<Char> chars_;
};

// Names and values end at the first NUL, as the API's C strings do.
std::string_view UpToNul(std::string_view s) {
    size_t nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

bool SameName(std::string_view stored, std::string_view wanted) {
    stored = UpToNul(stored);
    if (stored.size() != wanted.size()) return false;
    for (size_t i = 0; i < stored.size(); ++i) {
        unsigned char a = static_cast<unsigned char>(stored[i]);
        unsigned char b = static_cast<unsigned char>(wanted[i]);
        if (a >= 'A' && a <= 'Z') a = static_cast<unsigned char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

std::string_view TrimAsciiSpaces(std::string_view s) {
    auto space = [](char c) { return (c >= 0x09 && c <= 0x0D) || c == ' ' || c == 0x1A; };
    while (!s.empty() && space(s.front())) s.remove_prefix(1);
    while (!s.empty() && space(s.back())) s.remove_suffix(1);
    return s;
}

void AppendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        unsigned u = bigEndian ? (static_cast<unsigned char>(bytes[i]) << 8) | static_cast<unsigned char>(bytes[i + 1])
                               : (static_cast<unsigned char>(bytes[i + 1]) << 8) | static_cast<unsigned char>(bytes[i]);
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
            unsigned lo = bigEndian ? (static_cast<unsigned char>(bytes[i + 2]) << 8) | static_cast<unsigned char>(bytes[i + 3])
                                    : (static_cast<unsigned char>(bytes[i + 3]) << 8) | static_cast<unsigned char>(bytes[i + 2]);
            if (lo >= 0xDC00 && lo < 0xE000) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, u);
    }
    return out;
}

// A file with a byte-order mark is Unicode; anything else is in the ANSI code page.
std::string ToAnsi(std::string_view file) {
    if (file.substr(0, 3) == "\xEF\xBB\xBF") return Utf8ToAnsi(file.substr(3));
    if (file.substr(0, 2) == "\xFF\xFE") return Utf8ToAnsi(Utf16ToUtf8(file.substr(2), false));
    if (file.substr(0, 2) == "\xFE\xFF") return Utf8ToAnsi(Utf16ToUtf8(file.substr(2), true));
    return std::string(file);
}

// Copies a value into a buffer of `bufferSize` characters the way the API does:
// matching quotes around it are dropped, and at most bufferSize - 1 characters
// are kept, then at most bufferSize - 1 bytes of whole characters.
std::string CopyValue(std::string_view value, size_t bufferSize) {
    if (bufferSize == 0) return {};
    Text t(UpToNul(value));
    size_t from = 0, count = t.size();
    bool quoted = false;
    if (count >= 2 && (t.Byte(0) == '"' || t.Byte(0) == '\'') && t.Byte(count - 1) == t.Byte(0)) {
        quoted = true;
        from = 1;
    }
    size_t rest = count - from;
    size_t kept = rest < bufferSize - 1 ? rest : bufferSize - 1;
    if (quoted && bufferSize >= rest && kept > 0) --kept;
    std::string_view chars = t.Bytes(from, from + kept);
    // Whole characters only, within bufferSize - 1 bytes.
    Text k(chars);
    size_t bytes = 0;
    for (size_t i = 0; i < k.size(); ++i) {
        size_t len = k.Bytes(i, i + 1).size();
        if (bytes + len > bufferSize - 1) break;
        bytes += len;
    }
    return std::string(chars.substr(0, bytes));
}

// A value the reader would change (blanks at its ends, matching quotes around it) is stored in quotes.
bool NeedsQuotes(std::string_view value) {
    auto space = [](char c) { return (c >= 0x09 && c <= 0x0D) || c == ' ' || c == 0x1A; };
    bool edges = !value.empty() && (space(value.front()) || space(value.back()));
    bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    return edges || quoted;
}

// One line of the file: where it starts, where its text ends and where the next line starts.
struct Line {
    size_t begin, end, next;
};

std::vector<Line> SplitLines(std::string_view all) {
    std::vector<Line> lines;
    for (size_t at = 0; at < all.size();) {
        size_t end = at;
        while (end < all.size() && all[end] != '\n' && all[end] != '\r') {
            bool pair = IsAnsiLeadByte(static_cast<unsigned char>(all[end])) && end + 1 < all.size() &&
                        all[end + 1] != '\0';
            end += pair ? 2 : 1;
        }
        if (end > all.size()) end = all.size();
        size_t next = end;
        if (next < all.size() && all[next] == '\r') ++next;
        if (next < all.size() && all[next] == '\n') ++next;
        lines.push_back({at, end, next});
        at = next;
    }
    return lines;
}

enum class LineKind { blank, section, key, other };

struct Parsed {
    LineKind kind = LineKind::other;
    std::string_view name;  // the section's or the key's
    size_t valueBegin = 0, valueEnd = 0;  // bytes into the line: a key's value, without the blanks around it
    bool hasEquals = false;
};

// A line as the reader above sees it.
Parsed ParseLine(std::string_view line) {
    Text t(line);
    Parsed p;
    size_t start = 0, end = t.size();
    while (start < end && t.IsSpace(start)) ++start;
    while (end > start && t.IsSpace(end - 1)) --end;
    if (start >= end) {
        p.kind = LineKind::blank;
        return p;
    }
    if (t.Byte(start) == '[') {
        size_t close = end - 1;
        while (close > start && t.Byte(close) != ']') --close;
        if (close > start) {
            size_t nameStart = start + 1, nameEnd = close;
            while (nameStart < nameEnd && t.IsSpace(nameStart)) ++nameStart;
            while (nameEnd > nameStart && t.IsSpace(nameEnd - 1)) --nameEnd;
            p.kind = LineKind::section;
            p.name = t.Bytes(nameStart, nameEnd);
            return p;
        }
    }
    size_t eq = start;
    while (eq < end && t.Byte(eq) != '=') ++eq;
    size_t nameEnd = eq;
    while (nameEnd > start && t.IsSpace(nameEnd - 1)) --nameEnd;
    p.kind = t.Byte(start) == ';' ? LineKind::other : LineKind::key;
    p.name = t.Bytes(start, nameEnd);
    p.hasEquals = eq < end;
    if (p.hasEquals) {
        size_t v = eq + 1;
        while (v < end && t.IsSpace(v)) ++v;
        p.valueBegin = t.Bytes(0, v).size();
        p.valueEnd = v < end ? t.Bytes(0, end).size() : p.valueBegin;
    }
    return p;
}

// The value as the file is to hold it, so that the reader gives back `value`.
std::string Stored(std::string_view value) {
    return NeedsQuotes(value) ? "\"" + std::string(value) + "\"" : std::string(value);
}


}  // namespace

std::string LookUpProfileText(std::string_view fileText, std::string_view section, std::string_view key,
                              std::string_view defaultText, size_t bufferSize) {
    while (!defaultText.empty() && defaultText.back() == ' ') defaultText.remove_suffix(1);
    section = TrimAsciiSpaces(section);
    key = TrimAsciiSpaces(key);

    std::string ansi = ToAnsi(fileText);
    std::string_view all = ansi;
    // Keys before the first section header belong to a section without a name;
    // only the first section of a name is searched, and its first key of a name.
    bool inWantedSection = section.empty();
    for (const Line& line : SplitLines(all)) {
        std::string_view text = all.substr(line.begin, line.end - line.begin);
        Parsed p = ParseLine(text);
        if (p.kind == LineKind::blank) continue;
        if (p.kind == LineKind::section) {
            if (inWantedSection) return CopyValue(defaultText, bufferSize);  // the section ended without the key
            inWantedSection = SameName(p.name, section);
            continue;
        }
        if (!inWantedSection || !SameName(p.name, key)) continue;
        if (!p.hasEquals) return CopyValue(defaultText, bufferSize);  // a key without '=' has no value
        return CopyValue(text.substr(p.valueBegin, p.valueEnd - p.valueBegin), bufferSize);
    }
    return CopyValue(defaultText, bufferSize);
}

std::optional<std::string> ProfileValueTrouble(std::string_view value) {
    // The reader gives back one byte fewer of a value in quotes.
    if (value.size() > kMostValueBytes - (NeedsQuotes(value) ? 1 : 0)) return "longer than 254 bytes";
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return "holds a line break or a NUL";
    // A lead byte must have its second byte, or the line's end would become part of a character.
    for (size_t i = 0; i < value.size(); ++i) {
        if (!IsAnsiLeadByte(static_cast<unsigned char>(value[i]))) continue;
        if (i + 1 >= value.size() || static_cast<unsigned char>(value[i + 1]) < 0x40 || value[i + 1] == 0x7F)
            return "is not text in the ANSI code page";
        ++i;
    }
    return std::nullopt;
}

std::optional<std::string> EditProfileText(std::string_view fileText, const std::vector<ProfileChange>& changes) {
    for (const ProfileChange& c : changes)
        if (ProfileValueTrouble(c.value) || TrimAsciiSpaces(c.section).empty() || TrimAsciiSpaces(c.key).empty())
            return std::nullopt;
    std::string text(fileText);
    const std::string eol = text.find("\r\n") == std::string::npos && text.find('\n') != std::string::npos ? "\n" : "\r\n";
    for (const ProfileChange& change : changes) {
        std::string_view section = TrimAsciiSpaces(change.section), key = TrimAsciiSpaces(change.key);
        std::vector<Line> lines = SplitLines(text);
        bool inSection = section.empty(), found = section.empty(), done = false;
        std::optional<Line> insertAfter;  // the section's last key, or its header
        for (const Line& line : lines) {
            Parsed p = ParseLine(std::string_view(text).substr(line.begin, line.end - line.begin));
            if (p.kind == LineKind::section) {
                if (inSection) break;  // only the first section of a name counts, as for the reader
                if (!found && SameName(p.name, section)) {
                    inSection = found = true;
                    insertAfter = line;
                }
                continue;
            }
            if (!inSection || p.kind != LineKind::key) continue;
            insertAfter = line;
            if (!SameName(p.name, key)) continue;
            std::string stored = Stored(change.value);
            if (p.hasEquals) {
                text.replace(line.begin + p.valueBegin, line.end - line.begin - p.valueBegin, stored);
            } else {
                text.replace(line.end, 0, "=" + stored);
            }
            done = true;
            break;
        }
        if (done) continue;
        // A line without its own end (the file's last, or one whose end a lone lead byte took as its second
        // byte) gets one before anything follows it; a file ending in half a character, two: the first is
        // taken into that character.
        auto ending = [&](const Line& line) -> std::string {
            if (line.next != line.end) return "";
            Text t(std::string_view(text).substr(line.begin, line.end - line.begin));
            bool half = line.end == text.size() && t.size() > 0 && t.Byte(t.size() - 1) >= 0 &&
                        IsAnsiLeadByte(static_cast<unsigned char>(text[line.end - 1]));
            return half ? eol + eol : eol;
        };
        std::string entry = std::string(key) + "=" + Stored(change.value) + eol;
        if (found && insertAfter) {
            text.insert(insertAfter->next, ending(*insertAfter) + entry);
        } else {
            std::string head;
            if (!lines.empty()) head += ending(lines.back());
            if (!text.empty()) head += eol;  // a blank line before the new section
            text += head + "[" + std::string(section) + "]" + eol + entry;
        }
    }
    return text;
}

std::string PortableProfileReader::ReadString(const std::string& path, std::string_view section, std::string_view key,
                                              std::string_view defaultText, size_t bufferSize) const {
    std::optional<std::string> file = ReadWholeFile(path);
    return LookUpProfileText(file ? *file : std::string(), section, key, defaultText, bufferSize);
}

}  // namespace qv
