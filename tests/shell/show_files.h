// show_files.h -- small pictures and data folders written by the tests, in place of the show's
// real data.
#pragma once

#include "helpers.h"

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

// Writes a LightWave object (LWOB) of `points` points at the origin and nothing else.
void write_points_object(const std::string &path, int points);

// Copies the show's data as the forge made it (plain files in forge_dir/data) into dir/data,
// leaving out the file named `skip`. Returns false when the forge has not made it.
bool copy_forge_data(const std::string &forge_dir, const std::string &dir,
                     const std::string &skip = "");

// Starts program with args, "NAME=value" entries added to the environment, its stdout and
// stderr going to log_path. Returns its process id.
pid_t start_program(const std::string &program, const std::vector<std::string> &args,
                    const std::string &log_path, const std::vector<std::string> &env = {});

// Waits up to limit for pid to end. Returns its exit status, 256 + the signal's number when a
// signal ended it, or -1 (after killing it) when it did not end in time.
int wait_program(pid_t pid, std::chrono::milliseconds limit);

// The program ends within a second of Ctrl-C or kill; a busy shared machine gets some slack, and
// the sanitizers' shut-down (every block freed and checked) more.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::chrono::milliseconds STOP_LIMIT{6000};
#else
constexpr std::chrono::milliseconds STOP_LIMIT{2000};
#endif

// The headless screen (24 bits), the frame buffer and the stepped clock, as the show has them
// while it plays; close_headless_stage ends them and frees every block.
void open_headless_stage();
void close_headless_stage();

// Sends signal to pid and waits for it to end; returns its status as wait_program does. The test
// fails when ending took longer than STOP_LIMIT.
int stop_program(pid_t pid, int signal);
