// show_record.h -- the record of the show's frames (tests/shell/show.digests): the digests a
// --digests run writes, folded into one line per part and one per 100 ticks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Frame {
    int tick, part;
    uint64_t digest;
};

// The frames of a --digests list: one "TICK PART DIGEST" line each.
std::vector<Frame> read_frames(const std::string &text);

// v in hexadecimal, digits wide.
std::string hex(uint64_t v, int digits = 16);

// The lines of the record: "part P FIRST LAST DIGEST" per part, in the order they played, and
// "ticks FIRST DIGEST BYTES" per block of 100 ticks.
std::vector<std::string> fold_show(const std::vector<Frame> &frames);

// The lines of a record file, without its comments.
std::vector<std::string> record_lines(const std::string &path);

// The screen that --frames wrote into folder for tick.
std::string frame_file(const std::string &folder, int tick);
