// The score files: one little-endian signed 32-bit integer each, below "save" in the working
// directory. The game's paths use '\'; they are turned into this system's paths here.
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "game.h"

namespace gazumo {
namespace {

std::string LocalPath(const char *path) {
    std::string local = path;
    for (char &c : local) {
        if (c == '\\') c = '/';
    }
    return local;
}

}  // namespace

bool ReadScoreFile(const char *path, int *value) {
    FILE *file = std::fopen(LocalPath(path).c_str(), "rb");
    if (file == nullptr) return false;
    uint8_t bytes[4];
    if (std::fread(bytes, 4, 1, file) == 1) {
        *value = static_cast<int>(static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                                  static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
    }
    std::fclose(file);
    return true;
}

bool WriteScoreFile(const char *path, int value) {
    const std::string local = LocalPath(path);
    const size_t slash = local.rfind('/');
    if (slash != std::string::npos) mkdir(local.substr(0, slash).c_str(), 0755);
    FILE *file = std::fopen(local.c_str(), "wb");
    const uint32_t v = static_cast<uint32_t>(value);
    const uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                              static_cast<uint8_t>(v >> 24)};
    bool ok = file != nullptr && std::fwrite(bytes, 4, 1, file) == 1;
    if (file != nullptr) ok = std::fclose(file) == 0 && ok;
    if (!ok) std::fprintf(stderr, "gazumo: cannot write %s: %s\n", local.c_str(), std::strerror(errno));
    return ok;
}

}  // namespace gazumo
