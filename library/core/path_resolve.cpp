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
#include <ctime>
#include <mutex>
#include <unordered_map>
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

// Directory listings for the case-insensitive fallback, so that many lookups in one directory
// (every picture's "_a" companion that is not there) read it once. A listing is kept only when
// the directory had been left unchanged for a while before it was read, and it is used only while
// the directory's identity and modification time stay the same: a change made within the file
// system's timestamp granularity of the read could leave the time as it was, so such a directory
// is read again every time.
struct DirectoryListing {
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified = {};
    std::unordered_map<std::u32string, std::string> byFoldedName;  // the first in byte order
};

constexpr size_t kMaxCachedDirectories = 64;
constexpr time_t kSettledSeconds = 2;

struct ListingCache {
    std::mutex lock;
    std::unordered_map<std::string, DirectoryListing> listings;
};

ListingCache &Listings() {
    static ListingCache cache;
    return cache;
}

bool ReadListing(const std::string &directory, DirectoryListing *listing) {
    DIR *dir = opendir(directory.c_str());
    if (dir == nullptr) return false;
    while (const dirent *entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        auto [it, added] = listing->byFoldedName.try_emplace(Folded(entry->d_name), entry->d_name);
        if (!added && std::strcmp(entry->d_name, it->second.c_str()) < 0) it->second = entry->d_name;
    }
    closedir(dir);
    return true;
}

// The entry of `directory` equal to `name` ignoring case; the first in byte order when several are.
bool FindEntryIgnoringCase(const std::string &directory, const std::string &name, std::string *match) {
    const std::string where = directory.empty() ? "." : directory;
    struct stat st;
    if (stat(where.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    const std::u32string key = Folded(name.c_str());
    ListingCache &cache = Listings();
    std::lock_guard<std::mutex> guard(cache.lock);
    auto cached = cache.listings.find(where);
    if (cached != cache.listings.end()) {
        const DirectoryListing &l = cached->second;
        if (l.device == st.st_dev && l.inode == st.st_ino && l.modified.tv_sec == st.st_mtim.tv_sec &&
            l.modified.tv_nsec == st.st_mtim.tv_nsec) {
            auto found = l.byFoldedName.find(key);
            if (found == l.byFoldedName.end()) return false;
            *match = found->second;
            return true;
        }
        cache.listings.erase(cached);
    }
    DirectoryListing listing;
    listing.device = st.st_dev;
    listing.inode = st.st_ino;
    listing.modified = st.st_mtim;
    if (!ReadListing(where, &listing)) return false;
    auto found = listing.byFoldedName.find(key);
    const bool matched = found != listing.byFoldedName.end();
    if (matched) *match = found->second;
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    if (now.tv_sec - st.st_mtim.tv_sec > kSettledSeconds) {
        if (cache.listings.size() >= kMaxCachedDirectories) cache.listings.clear();
        cache.listings.emplace(where, std::move(listing));
    }
    return matched;
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
