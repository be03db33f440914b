// Runs saved inputs through a fuzz entry point without libFuzzer, so that the
// committed corpus (crash reproducers included) replays in every normal build.
// Each argument is a file or a directory whose regular files are all replayed,
// in name order so that a failure is reproducible.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        const std::size_t before = inputs.size();
        if (fs::is_regular_file(argv[i], error))
            inputs.push_back(argv[i]);
        else if (fs::is_directory(argv[i], error))
            for (const fs::directory_entry& entry : fs::directory_iterator(argv[i], error))
                if (entry.is_regular_file(error))
                    inputs.push_back(entry.path());
        std::sort(inputs.begin() + static_cast<std::ptrdiff_t>(before), inputs.end());
        if (error || inputs.size() == before) {
            std::fprintf(stderr, "%s: no inputs in %s\n", argv[0], argv[i]);
            return 2;
        }
    }
    // No arguments would make the replay pass without testing anything.
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s FILE_OR_DIRECTORY...\n", argv[0]);
        return 2;
    }
    for (const fs::path& input : inputs) {
        std::ifstream file(input, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                              std::istreambuf_iterator<char>()};
        if (!file) {
            std::fprintf(stderr, "%s: cannot read %s\n", argv[0], input.c_str());
            return 2;
        }
        // Name the input first: if it aborts, the last line says which one.
        std::fprintf(stderr, "replaying %s (%zu bytes)\n", input.c_str(), bytes.size());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("%zu inputs replayed, none failed\n", inputs.size());
    return 0;
}
