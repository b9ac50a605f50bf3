// helpers.h -- temporary folders, whole files, running a command and PNG pictures, for every
// test program
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <png.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <vector>

// A fresh folder under /tmp; removed by remove_tree.
inline std::string make_temp_dir() {
    char name[] = "/tmp/quellmoor-test-XXXXXX";
    if (!mkdtemp(name)) throw std::runtime_error("mkdtemp failed");
    return name;
}

// Removes a folder and everything in it.
inline void remove_tree(const std::string &dir) {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

// A fresh folder's name, the folder removed with it (also when a test stops early).
struct TempDir : std::string {
    TempDir() : std::string(make_temp_dir()) {}
    TempDir(const TempDir &) = delete;
    ~TempDir() { remove_tree(*this); }
};

// The whole of a file ("" when it cannot be read).
inline std::string read_text(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void write_text(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// What a command wrote and how it ended.
struct CommandResult {
    int status;      // its exit status; -1 when it could not run or a signal ended it
    std::string out; // what it wrote on stdout
    std::string err; // what it wrote on stderr
};

// Runs a shell command line and waits for it, keeping what it writes. Redirections in the line
// act inside it: "cmd 2>&1 >/dev/null" hands back cmd's stderr as out. The one way the tests run
// a command to its end (start_program in tests/shell starts one to signal it).
inline CommandResult run_command(const std::string &command) {
    TempDir dir;
    const std::string out = dir + "/out", err = dir + "/err";
    int raw = std::system(("(" + command + "\n) >'" + out + "' 2>'" + err + "'").c_str());
    int status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return {status, read_text(out), read_text(err)};
}

// 1 when the shell finds the program name.
inline bool have_program(const std::string &name) {
    return run_command("command -v " + name).status == 0;
}

// A PNG file's pixels as 8-bit RGB, or RGBA with alpha; no pixels when it cannot be read.
struct PngPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
};

inline PngPicture read_png(const std::string &path, bool alpha = false) {
    PngPicture p;
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return p;
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    p.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, p.pixels.data(), 0, nullptr)) return PngPicture{};
    p.width = int(image.width), p.height = int(image.height);
    return p;
}
