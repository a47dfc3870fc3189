// Runs a fuzz target over every file of the folders (or the files) given, once each, as the
// test of its corpus in builds without libFuzzer. A broken property aborts the run and the
// file's name is the last line printed.
#include "fuzz_support.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    int inputs = 0;
    auto run = [&inputs](const fs::path& file) {
        std::fprintf(stderr, "%s\n", file.string().c_str());
        std::ifstream in(file, std::ios::binary);
        const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
        ++inputs;
    };
    for (int i = 1; i < argc; ++i) {
        const fs::path path = argv[i];
        if (!fs::exists(path)) {
            std::fprintf(stderr, "%s: no such file or folder\n", argv[i]);
            return 1;
        }
        if (fs::is_directory(path)) {
            for (const fs::directory_entry& entry : fs::directory_iterator(path))
                if (entry.is_regular_file()) run(entry.path());
        } else {
            run(path);
        }
    }
    std::printf("%d inputs\n", inputs);
    return inputs > 0 ? 0 : 1;  // an empty corpus tests nothing
}
