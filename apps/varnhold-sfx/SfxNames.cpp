// The same refusals as the zip layer's, without Qt: a name that could land outside the target, or that the
// program's later runs would take for one of their own work files, is never extracted.

#include "SfxNames.h"

#include <cstdio>

namespace sfx {

namespace {

// ".NAME.vhw-PID-N" (libzip may add ".XXXXXX"): the program's work files, swept by later runs.
bool isWorkFileName(std::string_view name) {
    if (name.empty() || name[0] != '.') return false;
    const size_t at = name.rfind(".vhw-");
    if (at == std::string_view::npos || at == 0) return false;
    std::string_view rest = name.substr(at + 5);
    const size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos) return false;
    for (char c : rest.substr(0, dash))
        if (c < '0' || c > '9') return false;
    if (rest.substr(0, dash).find_first_not_of('0') == std::string_view::npos) return false;
    std::string_view counter = rest.substr(dash + 1);
    counter = counter.substr(0, counter.find('.'));
    if (counter.empty()) return false;
    for (char c : counter)
        if (c < '0' || c > '9') return false;
    return true;
}

std::vector<std::string_view> split(std::string_view name) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t slash; (slash = name.find('/', start)) != std::string_view::npos; start = slash + 1)
        parts.push_back(name.substr(start, slash - start));
    parts.push_back(name.substr(start));
    return parts;
}

// Length of the UTF-8 sequence at text[i] and its code point; 0 when the bytes there are not UTF-8.
size_t decodeUtf8(std::string_view text, size_t i, char32_t& cp) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned lead = byte(i);
    size_t len = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > text.size()) return 0;
    cp = len == 1 ? lead : lead & (0x7f >> len);
    for (size_t k = 1; k < len; ++k) {
        if ((byte(i + k) & 0xc0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3f);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[len] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return 0;
    return len;
}

bool turnsDirection(char32_t cp) {
    return cp == 0x061c || cp == 0x200e || cp == 0x200f || (cp >= 0x202a && cp <= 0x202e) ||
           (cp >= 0x2066 && cp <= 0x2069) || cp == 0x2028 || cp == 0x2029;
}

} // namespace

std::string unsafeNameReason(std::string_view name) {
    if (name.empty()) return "empty name";
    if (name[0] == '/') return "absolute path";
    // A backslash is an ordinary character of a file name here: it separates nothing and cannot climb out.
    const bool letter = (name[0] | 0x20) >= 'a' && (name[0] | 0x20) <= 'z';
    if (name.size() >= 2 && name[1] == ':' && letter) return "drive letter in name";
    const std::vector<std::string_view> parts = split(name);
    for (std::string_view part : parts) {
        if (part == "..") return "name climbs out of the folder (..)";
        if (isWorkFileName(part)) return "name of a work file of this program";
    }
    // A file named "." would replace the folder itself.
    if (name.back() != '/' && parts.back() == ".") return "invalid file name";
    return {};
}

std::vector<std::string> nameSteps(std::string_view name) {
    std::vector<std::string> steps;
    for (std::string_view part : split(name))
        if (!part.empty() && part != ".") steps.emplace_back(part);
    return steps;
}

std::string printable(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    char hex[16];
    for (size_t i = 0; i < name.size();) {
        char32_t cp = 0;
        const size_t len = decodeUtf8(name, i, cp);
        if (len == 0) { // a byte that is not UTF-8, as the package holds it
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(name[i]));
            out += hex;
            ++i;
            continue;
        }
        if (cp == '\n')
            out += "\\n";
        else if (cp == '\t')
            out += "\\t";
        else if (cp == '\r')
            out += "\\r";
        else if (cp == '\\')
            out += "\\\\";
        else if (cp < 0x20 || (cp >= 0x7f && cp <= 0x9f)) {
            std::snprintf(hex, sizeof hex, "\\x%02x", unsigned(cp));
            out += hex;
        } else if (turnsDirection(cp)) {
            std::snprintf(hex, sizeof hex, "\\u%04x", unsigned(cp));
            out += hex;
        } else
            out.append(name.substr(i, len));
        i += len;
    }
    return out;
}

std::string defaultFolderFor(std::string_view programFile) {
    std::string_view base = programFile.substr(programFile.rfind('/') + 1);
    const size_t dot = base.rfind('.');
    if (dot != std::string_view::npos && dot > 0) base = base.substr(0, dot);
    return std::string(base.empty() ? "extracted" : base);
}

} // namespace sfx
