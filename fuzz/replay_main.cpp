// Replays saved inputs through a fuzz target without libFuzzer: every regular file in the
// directories (or the files) named on the command line goes once through LLVMFuzzerTestOneInput.
// A directory that does not exist is skipped, so an empty crash folder may be left out. A fault
// shows as a crash or a sanitizer report; the program prints each file before it runs it, so the
// last name printed is the culprit.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace fs = std::filesystem;

namespace {

bool Replay(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return false;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::printf("%s (%zu bytes)\n", file.c_str(), bytes.size());
    std::fflush(stdout);
    // An empty input still gets a valid pointer, as libFuzzer gives it.
    const uint8_t none = 0;
    LLVMFuzzerTestOneInput(bytes.empty() ? &none : bytes.data(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
    int replayed = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const fs::path path = argv[i];
        std::error_code error;
        if (fs::is_regular_file(path, error)) {
            ok = Replay(path) && ok;
            ++replayed;
            continue;
        }
        if (!fs::is_directory(path, error)) {
            std::printf("%s: not there, skipped\n", path.c_str());
            continue;
        }
        std::vector<fs::path> files;
        for (const fs::directory_entry &entry : fs::recursive_directory_iterator(path, error)) {
            if (entry.is_regular_file()) files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        for (const fs::path &file : files) {
            ok = Replay(file) && ok;
            ++replayed;
        }
    }
    std::printf("replayed %d inputs\n", replayed);
    return ok ? 0 : 1;
}
