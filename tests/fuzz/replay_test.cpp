// Replays the kept fuzz inputs through the fuzz targets. A target that finds a fault aborts (or
// the sanitizer stops the program); the last file named on stderr is the one that did it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using OneInput = int (*)(const uint8_t *, size_t);
using Initialize = int (*)(int *, char ***);

extern "C" {
int fuzz_archive_one_input(const uint8_t *, size_t);
int fuzz_jpeg_one_input(const uint8_t *, size_t);
int fuzz_lzw_one_input(const uint8_t *, size_t);
int fuzz_music_module_one_input(const uint8_t *, size_t);
int fuzz_object_one_input(const uint8_t *, size_t);
int fuzz_object_initialize(int *, char ***);
int fuzz_scene_one_input(const uint8_t *, size_t);
int fuzz_scene_initialize(int *, char ***);
int fuzz_tga_one_input(const uint8_t *, size_t);
}

namespace {

struct Target {
    const char *name;
    OneInput one_input;
    Initialize initialize;
};

const Target targets[] = {{"archive", fuzz_archive_one_input, nullptr},
                          {"jpeg", fuzz_jpeg_one_input, nullptr},
                          {"lzw", fuzz_lzw_one_input, nullptr},
                          {"music_module", fuzz_music_module_one_input, nullptr},
                          {"object", fuzz_object_one_input, fuzz_object_initialize},
                          {"scene", fuzz_scene_one_input, fuzz_scene_initialize},
                          {"tga", fuzz_tga_one_input, nullptr}};

namespace fs = std::filesystem;

// Every file kept for a target, sorted so that runs are repeatable.
std::vector<fs::path> inputs(const std::string &name) {
    std::vector<fs::path> files;
    for (const char *kind : {"corpus", "regressions", "seeds"}) {
        fs::path dir = fs::path(QM_FUZZ_DIR) / kind / name;
        if (!fs::is_directory(dir)) continue;
        for (const auto &e : fs::directory_iterator(dir))
            if (e.is_regular_file()) files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

struct FuzzReplay : testing::TestWithParam<Target> {};

TEST_P(FuzzReplay, EveryKeptInputPasses) {
    const Target &t = GetParam();
    if (t.initialize) t.initialize(nullptr, nullptr);
    std::vector<fs::path> files = inputs(t.name);
    EXPECT_FALSE(files.empty()) << "no inputs kept for " << t.name;
    for (const fs::path &file : files) {
        std::fprintf(stderr, "replaying %s\n", file.c_str());
        std::ifstream in(file, std::ios::binary);
        std::vector<uint8_t> data(std::istreambuf_iterator<char>(in), {});
        EXPECT_EQ(t.one_input(data.data(), data.size()), 0) << file;
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, testing::ValuesIn(targets),
                         [](const auto &info) { return std::string(info.param.name); });

// A target added to fuzz/ (with its seeds) must be added to the table above too.
TEST(FuzzReplayTable, NamesEveryTargetWithSeeds) {
    for (const auto &e : fs::directory_iterator(fs::path(QM_FUZZ_DIR) / "seeds")) {
        std::string name = e.path().filename();
        EXPECT_TRUE(std::any_of(std::begin(targets), std::end(targets), [&](const Target &t) {
            return name == t.name;
        })) << name;
    }
}

} // namespace
