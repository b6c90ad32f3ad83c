// Runs a fuzz target once over each input named on the command line (a file, or
// a folder read recursively), without a fuzzing engine: the seeds and the crash
// inputs found so far replay as a test with any compiler. A crash, a trap or a
// failed check ends the program as it would end the fuzzer; the input that did
// it is the last one named on standard error.
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool readFile(const std::filesystem::path& path, std::vector<char>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path path(argv[i]);
        std::error_code error;
        if (fs::is_directory(path, error)) {
            std::vector<fs::path> found;
            for (const auto& entry : fs::recursive_directory_iterator(path, error))
                if (entry.is_regular_file())
                    found.push_back(entry.path());
            std::sort(found.begin(), found.end());
            inputs.insert(inputs.end(), found.begin(), found.end());
        } else if (fs::is_regular_file(path, error)) {
            inputs.push_back(path);
        } else {
            std::fprintf(stderr, "%s: no such input\n", argv[i]);
            return 1;
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s INPUT... (files or folders); no input given\n", argc > 0 ? argv[0] : "replay");
        return 1;
    }
    std::vector<char> bytes;
    for (const fs::path& input : inputs) {
        if (!readFile(input, bytes)) {
            std::fprintf(stderr, "%s: cannot be read\n", input.c_str());
            return 1;
        }
        std::fprintf(stderr, "Running: %s\n", input.c_str());
        std::fflush(stderr);
        // A buffer of the input's exact size, never a null one (as the engine's).
        std::vector<uint8_t> data;
        data.reserve(bytes.size() + 1);
        data.assign(bytes.begin(), bytes.end());
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::fprintf(stderr, "Replayed %zu inputs\n", inputs.size());
    return 0;
}
