// The default table's find operations: a pattern path whose last component may hold '*' and '?'
// lists the matching entries of its directory (in the directory's own order, "." and ".."
// included, names compared ignoring case), each reported as a FileInfo with Shift-JIS name, sizes
// and local dates. The directory part of the pattern is resolved like any other path.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/file_layer.h"
#include "core/path_resolve.h"
#include "core/timing.h"
#include "platform/sjis.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr int kPatternSize = 3 * kFilePathSize;

// A search over a plain directory.
struct PlainSearch {
    DIR *directory;
    char pattern[kPatternSize];  // UTF-8
};

// The search record handed out as the search handle.
struct FindRecord {
    int32_t isArchive;
    int32_t archiveIndex;
    PlainSearch *inner;
};

void FillInfo(DIR *directory, const char *name, FileInfo *out) {
    std::memset(out, 0, sizeof *out);
    Utf8ToSjis(name, out->name, sizeof out->name);
    struct statx st;
    const int fd = dirfd(directory);
    if (statx(fd, name, AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME, &st) != 0 &&
        statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME, &st) != 0) {
        return;
    }
    out->isDirectory = S_ISDIR(st.stx_mode) ? 1 : 0;
    out->sizeLow = static_cast<uint32_t>(st.stx_size);
    out->sizeHigh = static_cast<uint32_t>(st.stx_size >> 32);
    // A file system that does not record creation times gives the last-write time instead.
    const int64_t created = (st.stx_mask & STATX_BTIME) ? st.stx_btime.tv_sec : st.stx_mtime.tv_sec;
    DateFromTime(created, &out->created);
    DateFromTime(st.stx_mtime.tv_sec, &out->lastWritten);
}

// Moves to the next matching entry and reports it; false when none is left.
bool NextMatch(PlainSearch *search, FileInfo *out) {
    while (const dirent *entry = readdir(search->directory)) {
        if (!NameMatchesPattern(entry->d_name, search->pattern)) continue;
        if (out != nullptr) FillInfo(search->directory, entry->d_name, out);
        return true;
    }
    return false;
}

FindRecord *RecordOf(intptr_t search) {
    return search == -1 || search == 0 ? nullptr : reinterpret_cast<FindRecord *>(search);
}

}  // namespace

intptr_t DefaultFindFirst(const char *pattern, FileInfo *out) {
    if (pattern == nullptr) return -1;
    ArchivePathResolution inArchive;
    if (ResolveArchivePath(pattern, &inArchive)) return -1;  // archive searches come with the archive layer

    const size_t separator = LastPathSeparator(pattern);
    const std::string directoryPart = separator == std::string::npos ? "" : std::string(pattern, separator + 1);
    const char *namePart = separator == std::string::npos ? pattern : pattern + separator + 1;
    if (namePart[0] == '\0') return -1;
    const std::string directory = directoryPart.empty() ? "." : ResolveFilePath(directoryPart.c_str());

    auto *record = static_cast<FindRecord *>(TrackedAllocZero(static_cast<int>(sizeof(FindRecord)), "", 0));
    auto *search = static_cast<PlainSearch *>(TrackedAllocZero(static_cast<int>(sizeof(PlainSearch)), "", 0));
    if (record == nullptr || search == nullptr) {
        TrackedFree(record);
        TrackedFree(search);
        return -1;
    }
    SjisToUtf8(namePart, search->pattern, sizeof search->pattern);
    search->directory = opendir(directory.c_str());
    if (search->directory == nullptr || !NextMatch(search, out)) {
        if (search->directory != nullptr) closedir(search->directory);
        TrackedFree(search);
        TrackedFree(record);
        return -1;
    }
    record->inner = search;
    return reinterpret_cast<intptr_t>(record);
}

int DefaultFindNext(intptr_t search, FileInfo *out) {
    FindRecord *record = RecordOf(search);
    if (record == nullptr || record->isArchive) return -1;
    return NextMatch(record->inner, out) ? 0 : -1;
}

int DefaultFindEnd(intptr_t search) {
    FindRecord *record = RecordOf(search);
    if (record == nullptr) return -1;
    if (!record->isArchive) {
        closedir(record->inner->directory);
        TrackedFree(record->inner);
    }
    TrackedFree(record);
    return 0;
}

}  // namespace zq
