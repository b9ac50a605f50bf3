// layers_test.cpp -- includes point down the layers: data, platform, fillers, engine, stage,
// parts, shell. A folder of src/ includes only itself and the folders below it; the tools
// include their own files and the layers up to the engine. And a header declares only what
// another file uses: a routine of one file is static there.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
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

// A file's text without its // comments.
std::string code_of(const fs::path &path) {
    std::ifstream in(path);
    std::string text;
    for (std::string line; std::getline(in, line);) text += line.substr(0, line.find("//")) + "\n";
    return text;
}

// The identifiers of a text.
std::set<std::string> words_of(const std::string &text) {
    std::set<std::string> words;
    for (size_t i = 0; i < text.size();) {
        if (!std::isalpha(static_cast<unsigned char>(text[i])) && text[i] != '_') {
            i++;
            continue;
        }
        size_t j = i;
        while (j < text.size() &&
               (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_'))
            j++;
        words.insert(text.substr(i, j - i));
        i = j;
    }
    return words;
}

bool is_word_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// The routine a line at the left margin begins to declare ("int name(" or "const T *name("), or
// "" for anything else: records, constants, templates, aliases, indented lines.
std::string routine_begun(const std::string &line) {
    static const std::string not_routines[] = {"struct",        "enum",     "class",   "constexpr",
                                               "static_assert", "using",    "typedef", "template",
                                               "extern",        "namespace"};
    if (line.empty() || !std::isalpha(static_cast<unsigned char>(line[0]))) return "";
    for (const std::string &word : not_routines)
        if (line.rfind(word, 0) == 0 && !is_word_char(line[word.size()])) return "";
    size_t end = line.find('(');
    if (end == std::string::npos) return "";
    while (end > 0 && line[end - 1] == ' ') end--;
    size_t start = end;
    while (start > 0 && is_word_char(line[start - 1])) start--;
    if (start == end || start == 0 || std::isdigit(static_cast<unsigned char>(line[start])))
        return "";
    for (size_t i = 0; i < start; i++)
        if (!is_word_char(line[i]) && std::string(" *&:<>,").find(line[i]) == std::string::npos)
            return "";
    if (std::string(" *&").find(line[start - 1]) == std::string::npos) return "";
    return line.substr(start, end - start);
}

// The routines a header declares without defining them (an inline body is no declaration).
std::vector<std::string> routines_declared(const std::string &header) {
    std::vector<std::string> names;
    std::istringstream lines(header);
    size_t at = 0;
    for (std::string line; std::getline(lines, line); at += line.size() + 1) {
        const std::string name = routine_begun(line);
        if (name.empty()) continue;
        const size_t end = header.find_first_of(";{", at + line.find('('));
        if (end != std::string::npos && header[end] == ';') names.push_back(name);
    }
    return names;
}

TEST(Exports, TheRoutineFinderSeesDeclarationsOnly) {
    const std::string header = "// a comment(x);\n"
                               "int plain(int a);\n"
                               "const Image *two_lines(const Image *a,\n"
                               "                       int b);\n"
                               "inline int body(int a) {\n    return other(a);\n}\n"
                               "struct Rec {\n    int member(int);\n};\n"
                               "constexpr int SIZE(4);\n"
                               "using Hook = int (*)(int);\n"
                               "void (*no_routine)(void);\n";
    EXPECT_EQ(routines_declared(header), (std::vector<std::string>{"plain", "two_lines"}));
}

// A routine that a header declares has a user besides the file that defines it (tests and
// benchmarks count); otherwise it is static in that file, or gone.
TEST(Exports, EveryDeclaredRoutineIsUsedOutsideItsOwnFile) {
    std::map<fs::path, std::set<std::string>> words;
    std::map<fs::path, std::string> headers;
    for (const char *top : {"src", "tools", "tests", "bench", "fuzz"})
        for (const auto &entry : fs::recursive_directory_iterator(ROOT / top)) {
            const std::string ext = entry.path().extension();
            if (ext != ".h" && ext != ".cpp") continue;
            const std::string code = code_of(entry.path());
            words[entry.path()] = words_of(code);
            if (ext == ".h" && (std::string(top) == "src" || std::string(top) == "tools"))
                headers[entry.path()] = code;
        }
    std::vector<std::string> lonely;
    size_t routines = 0;
    for (const auto &[header, code] : headers)
        for (const std::string &name : routines_declared(code)) {
            routines++;
            int files = 0; // the one defining it, and its users
            for (const auto &[file, names] : words) files += file != header && names.count(name);
            if (files < 2)
                lonely.push_back(
                    fs::relative(header, ROOT).string() + ": " + name +
                    (files ? " is used only by the file that defines it" : " is used by nothing"));
        }
    EXPECT_GT(routines, 300u); // the headers were read
    EXPECT_EQ(lonely, std::vector<std::string>{});
}

} // namespace
