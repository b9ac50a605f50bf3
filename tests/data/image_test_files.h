// Helpers of the picture reader tests: a scratch folder and running ImageMagick.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A folder of its own below /tmp, removed with everything in it afterwards.
struct TempFolder {
    std::filesystem::path path;
    TempFolder() {
        char pattern[] = "/tmp/qm_picture_XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    std::string file(const std::string &name) const { return (path / name).string(); }
    void write(const std::string &name, const Bytes &b) const {
        std::ofstream(path / name, std::ios::binary).write((const char *)b.data(), b.size());
    }
};

// What a shell command writes to its output, or nothing when it fails.
inline Bytes run_command(const std::string &command) {
    Bytes out;
    FILE *f = popen(command.c_str(), "r");
    if (!f) return out;
    uint8_t chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) out.insert(out.end(), chunk, chunk + n);
    return pclose(f) == 0 ? out : Bytes();
}

// A binary PPM of w x h RGB samples, as ImageMagick reads it.
inline Bytes ppm(int w, int h, const Bytes &rgb) {
    std::string head = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    Bytes out(head.begin(), head.end());
    out.insert(out.end(), rgb.begin(), rgb.end());
    return out;
}
