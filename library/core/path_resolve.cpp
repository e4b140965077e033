// Path resolution for the file access layer: Shift-JIS components become UTF-8 components of a
// '/' path, and a missing exact name falls back to a case-insensitive match within its directory,
// component by component, as on the file system the library was written for. Case folding uses
// the C.UTF-8 locale's upper-casing (ASCII only where that locale is missing).
#include "core/path_resolve.h"

#include <dirent.h>
#include <locale.h>
#include <sys/stat.h>
#include <wctype.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/sjis.h"

namespace zq {
namespace {

constexpr bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// One component in UTF-8; pure ASCII is taken as it is.
std::string ComponentToUtf8(const char *sjis, size_t length) {
    bool ascii = true;
    for (size_t i = 0; i < length; ++i) ascii = ascii && static_cast<unsigned char>(sjis[i]) < 0x80;
    std::string in(sjis, length);
    if (ascii) return in;
    std::vector<char> out(3 * length + 1);
    SjisToUtf8(in.c_str(), out.data(), out.size());
    return std::string(out.data());
}

// The components of a Shift-JIS path in UTF-8, without empty ones.
std::vector<std::string> SplitPath(const char *sjisPath, bool *absolute) {
    std::vector<std::string> components;
    *absolute = sjisPath[0] != '\0' && IsSeparator(sjisPath[0]);
    size_t start = 0;
    size_t i = 0;
    for (;;) {
        const char c = sjisPath[i];
        if (c == '\0' || IsSeparator(c)) {
            if (i > start) components.push_back(ComponentToUtf8(sjisPath + start, i - start));
            if (c == '\0') break;
            start = ++i;
            continue;
        }
        i += IsSjisLeadByte(static_cast<unsigned char>(c)) && sjisPath[i + 1] != '\0' ? 2 : 1;
    }
    return components;
}

std::string Join(const std::string &directory, const std::string &name) {
    if (directory.empty()) return name;
    if (directory.back() == '/') return directory + name;
    return directory + "/" + name;
}

std::string Assemble(bool absolute, const std::vector<std::string> &components) {
    std::string path = absolute ? "/" : "";
    for (const std::string &c : components) path = Join(path, c);
    return path;
}

// The entry of `directory` equal to `name` ignoring case; the first in byte order when several are.
bool FindEntryIgnoringCase(const std::string &directory, const std::string &name, std::string *match) {
    DIR *dir = opendir(directory.empty() ? "." : directory.c_str());
    if (dir == nullptr) return false;
    bool found = false;
    while (const dirent *entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        if (!NamesEqualIgnoringCase(entry->d_name, name.c_str())) continue;
        if (!found || std::strcmp(entry->d_name, match->c_str()) < 0) *match = entry->d_name;
        found = true;
    }
    closedir(dir);
    return found;
}

locale_t FoldingLocale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

// Bytes that are not valid UTF-8 stand for themselves, apart from every character.
constexpr char32_t kStrayByteBase = 0x110000;

// The next character of a UTF-8 text, upper-cased; advances `p`.
char32_t NextFoldedChar(const unsigned char *&p) {
    const unsigned char lead = *p;
    int extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : -1;
    char32_t c = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
    for (int k = 1; k <= extra; ++k) {
        if ((p[k] & 0xC0) != 0x80) {
            extra = -1;
            break;
        }
        c = (c << 6) | (p[k] & 0x3F);
    }
    if (extra < 0) {
        ++p;
        return kStrayByteBase + lead;
    }
    p += 1 + extra;
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
    const locale_t locale = FoldingLocale();
    return locale != static_cast<locale_t>(0) ? static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), locale)) : c;
}

std::u32string Folded(const char *text) {
    std::u32string out;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    while (*p != 0) out.push_back(NextFoldedChar(p));
    return out;
}

// Glob matching with '*' and '?', backtracking to the last '*'.
bool GlobMatch(const std::u32string &name, const std::u32string &pattern) {
    size_t n = 0, p = 0;
    size_t starAt = std::u32string::npos, starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == U'*') {
            starAt = p++;
            starName = n;
        } else if (starAt != std::u32string::npos) {
            p = starAt + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*') ++p;
    return p == pattern.size();
}

}  // namespace

std::string FileSystemPath(const char *sjisPath) {
    bool absolute = false;
    const std::vector<std::string> components = SplitPath(sjisPath, &absolute);
    return Assemble(absolute, components);
}

std::string ResolveFilePath(const char *sjisPath) {
    bool absolute = false;
    const std::vector<std::string> components = SplitPath(sjisPath, &absolute);
    std::string path = absolute ? "/" : "";
    bool lookUp = true;
    for (const std::string &c : components) {
        std::string next = Join(path, c);
        if (lookUp && c != "." && c != "..") {
            struct stat st;
            if (lstat(next.c_str(), &st) != 0) {
                std::string match;
                if (errno == ENOENT && FindEntryIgnoringCase(path, c, &match)) {
                    next = Join(path, match);
                } else {
                    lookUp = false;
                }
            }
        }
        path = std::move(next);
    }
    return path;
}

size_t LastPathSeparator(const char *sjisPath) {
    size_t last = std::string::npos;
    for (size_t i = 0; sjisPath[i] != '\0';) {
        if (IsSeparator(sjisPath[i])) last = i;
        i += IsSjisLeadByte(static_cast<unsigned char>(sjisPath[i])) && sjisPath[i + 1] != '\0' ? 2 : 1;
    }
    return last;
}

bool NamesEqualIgnoringCase(const char *a, const char *b) {
    const unsigned char *p = reinterpret_cast<const unsigned char *>(a);
    const unsigned char *q = reinterpret_cast<const unsigned char *>(b);
    while (*p != 0 && *q != 0) {
        if (NextFoldedChar(p) != NextFoldedChar(q)) return false;
    }
    return *p == 0 && *q == 0;
}

bool NameMatchesPattern(const char *name, const char *pattern) {
    const std::u32string folded = Folded(name);
    const std::u32string glob = Folded(pattern);
    if (glob == U"*.*") return true;
    if (GlobMatch(folded, glob)) return true;
    const size_t n = glob.size();
    return n >= 2 && glob[n - 2] == U'.' && glob[n - 1] == U'*' && GlobMatch(folded, glob.substr(0, n - 2));
}

}  // namespace zq
