// layers_test.cpp -- includes point down the layers: data, platform, fillers, engine, stage,
// parts, shell. A folder of src/ includes only itself and the folders below it; the tools
// include their own files and the layers up to the engine.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path ROOT = fs::path(QM_TEST_DIR).parent_path();

// Bottom up; a layer may include the ones before it.
const std::vector<std::string> LAYERS = {"data",  "platform", "fillers", "engine",
                                         "stage", "parts",    "shell"};
// What a tool may reach of the program: nothing of the show above the engine.
const std::string TOOL_CEILING = "engine";

int rank_of(const std::string &layer) {
    for (size_t i = 0; i < LAYERS.size(); i++)
        if (LAYERS[i] == layer) return int(i);
    return -1;
}

// The reason the include in file (a path below the root) breaks the layering, or "".
std::string breach(const fs::path &file, const std::string &include) {
    fs::path local = ROOT / file.parent_path() / include;
    auto first = file.begin();
    std::string top = first->string();
    fs::path tool_root = file.begin() == file.end() ? fs::path() : ROOT / top / *std::next(first);
    if (fs::exists(local)) return "";
    if (top == "tools" && fs::exists(tool_root / include)) return ""; // the tool's own file
    int target = rank_of(fs::path(include).begin()->string());
    if (target < 0) return ""; // a library's header
    int allowed = top == "tools" ? rank_of(TOOL_CEILING) : rank_of(std::next(first)->string());
    if (target <= allowed) return "";
    return file.string() + " includes \"" + include + "\" from a layer above its own";
}

// The quoted includes of a file: lines of the form #include "NAME" (blanks allowed around '#').
std::vector<std::string> includes_of(const fs::path &path) {
    std::vector<std::string> found;
    std::ifstream in(path);
    char name[256];
    for (std::string line; std::getline(in, line);)
        if (std::sscanf(line.c_str(), " # include \"%255[^\"]\"", name) == 1) found.push_back(name);
    return found;
}

TEST(Layers, TheBreachesOfOldAreRefused) {
    EXPECT_NE(breach("src/data/preload.cpp", "shell/clock.h"), "");
    EXPECT_NE(breach("src/data/preload.cpp", "parts/parts.h"), "");
    EXPECT_NE(breach("src/engine/render.h", "shell/clock.h"), "");
    EXPECT_NE(breach("src/engine/render.h", "stage/clock.h"), "");
    EXPECT_NE(breach("src/fillers/fillers.h", "engine/object.h"), "");
    EXPECT_NE(breach("tools/view/main.cpp", "shell/frames.h"), "");
    EXPECT_NE(breach("src/parts/glow.cpp", "shell/display.h"), "");
    EXPECT_NE(breach("src/stage/music.cpp", "parts/parts.h"), "");
    // Down the stack, a tool's own folders and libraries are fine.
    EXPECT_EQ(breach("src/parts/glow.cpp", "stage/display.h"), "");
    EXPECT_EQ(breach("src/shell/setup.cpp", "parts/parts.h"), "");
    EXPECT_EQ(breach("src/engine/render.cpp", "fillers/fillers.h"), "");
    EXPECT_EQ(breach("tools/forge/parts/glow.cpp", "parts/parts.h"), "");
    EXPECT_EQ(breach("tools/view/main.cpp", "engine/render.h"), "");
}

TEST(Layers, EveryIncludeOfTheProgramAndToolsPointsDown) {
    std::vector<std::string> found;
    size_t files = 0, includes = 0;
    for (const char *top : {"src", "tools"}) {
        for (const auto &entry : fs::recursive_directory_iterator(ROOT / top)) {
            std::string ext = entry.path().extension();
            if (ext != ".h" && ext != ".cpp") continue;
            files++;
            fs::path file = fs::relative(entry.path(), ROOT);
            for (const std::string &include : includes_of(entry.path())) {
                includes++;
                if (std::string why = breach(file, include); !why.empty()) found.push_back(why);
            }
        }
    }
    EXPECT_GT(files, 100u);
    EXPECT_GT(includes, 2 * files); // the lines were read
    EXPECT_EQ(found, std::vector<std::string>{});
}

} // namespace
