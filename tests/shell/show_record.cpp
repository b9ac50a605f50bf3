// show_record.cpp -- folding the show's frame digests into the lines of its record.

#include "show_record.h"

#include "data/digest.h"
#include "helpers.h"

#include <cstdio>
#include <sstream>

namespace {

constexpr int BLOCK_TICKS = 100;

uint64_t fold(uint64_t so_far, uint64_t d) {
    uint64_t pair[2] = {so_far, d};
    return digest_bytes(pair, sizeof pair, 0);
}

} // namespace

std::vector<Frame> read_frames(const std::string &text) {
    std::vector<Frame> frames;
    std::istringstream in(text);
    Frame f;
    std::string d;
    while (in >> f.tick >> f.part >> d) {
        f.digest = std::stoull(d, nullptr, 16);
        frames.push_back(f);
    }
    return frames;
}

std::string hex(uint64_t v, int digits) {
    char text[17];
    std::snprintf(text, sizeof text, "%0*llx", digits, static_cast<unsigned long long>(v));
    return text;
}

std::string frame_file(const std::string &folder, int tick) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06d.png", tick);
    return folder + name;
}

std::vector<std::string> fold_show(const std::vector<Frame> &frames) {
    std::vector<std::string> parts, blocks;
    for (size_t i = 0; i < frames.size();) {
        size_t j = i;
        uint64_t d = 0;
        for (; j < frames.size() && frames[j].part == frames[i].part; j++)
            d = fold(d, frames[j].digest);
        parts.push_back("part " + std::to_string(frames[i].part) + " " +
                        std::to_string(frames[i].tick) + " " + std::to_string(frames[j - 1].tick) +
                        " " + hex(d));
        i = j;
    }
    for (size_t i = 0; i < frames.size();) {
        int block = frames[i].tick / BLOCK_TICKS;
        uint64_t d = 0;
        std::string bytes;
        for (; i < frames.size() && frames[i].tick / BLOCK_TICKS == block; i++) {
            d = fold(d, frames[i].digest);
            bytes += hex(frames[i].digest & 0xFF, 2);
        }
        blocks.push_back("ticks " + std::to_string(block * BLOCK_TICKS) + " " + hex(d) + " " +
                         bytes);
    }
    parts.insert(parts.end(), blocks.begin(), blocks.end());
    return parts;
}

std::vector<std::string> record_lines(const std::string &path) {
    std::vector<std::string> lines;
    std::istringstream in(read_text(path));
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    return lines;
}
