// Paths as the library's callers write them (Shift-JIS, '\' or '/' between components, case not
// significant) turned into paths of the Linux file system (UTF-8, '/', case significant).
#pragma once

#include <string>

namespace zq {

// The file-system form of a path, nothing looked up: each component converted to UTF-8, separators
// '/', empty components dropped; a leading separator keeps the path absolute.
std::string FileSystemPath(const char *sjisPath);

// As FileSystemPath, but a component that does not exist under its exact name is replaced by the
// entry of its directory that matches it ignoring case (the first in byte order when several do).
// Components after one that matches nothing are kept as written.
std::string ResolveFilePath(const char *sjisPath);

// Where the last separator of a Shift-JIS path is (skipping the second bytes of double-byte
// characters), or std::string::npos.
size_t LastPathSeparator(const char *sjisPath);

// True when two UTF-8 names are equal ignoring case (Unicode simple upper-casing).
bool NamesEqualIgnoringCase(const char *a, const char *b);

// True when a UTF-8 name matches a find pattern, ignoring case: '?' is any one character, '*' any
// run of characters; "*.*" matches every name and a trailing ".*" also matches a name without it.
bool NameMatchesPattern(const char *name, const char *pattern);

}  // namespace zq
