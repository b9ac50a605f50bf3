// main.cpp -- quellmoor-pack: creates, lists, extracts and verifies data archives

#include "pack.h"

#include "data/answer.h"
#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <getopt.h>
#include <string>
#include <system_error>
#include <vector>

static const char USAGE[] = "usage: quellmoor-pack create OUT.dat [--store] FILE...\n"
                            "       quellmoor-pack list ARCHIVE\n"
                            "       quellmoor-pack extract ARCHIVE [NAME...] [-C DIR]\n"
                            "       quellmoor-pack verify ARCHIVE\n";

static int usage() {
    std::fputs(USAGE, stderr);
    return 2;
}

static int fail(const std::string &message) {
    std::fprintf(stderr, "quellmoor-pack: %s\n", message.c_str());
    return 1;
}

static bool same_name(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++)
        if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)b[i])) return false;
    return true;
}

static int create(const std::string &out, const std::vector<std::string> &files, bool store) {
    std::vector<PackEntry> entries;
    for (const std::string &file : files) {
        std::vector<uint8_t> data;
        std::string error;
        if (!pack_read_file(file, &data, &error)) return fail(error);
        std::string name = std::filesystem::path(file).filename().string();
        for (const PackEntry &e : entries)
            if (same_name(e.name, name))
                return fail(file + ": a second entry named \"" + name + "\" could never be loaded");
        PackEntry entry;
        if (!pack_make_entry(name, data.data(), data.size(), store, &entry, &error))
            return fail(file + ": " + error);
        entries.push_back(std::move(entry));
    }
    std::string error;
    if (!pack_write_file(out, pack_archive(entries), &error)) return fail(error);
    return 0;
}

static int open_archive(const char *path) {
    if (archive_open(path)) return 1;
    fail(data_last_error());
    return 0;
}

static int list(const char *path) {
    if (!open_archive(path)) return 1;
    for (int i = 0; i < archive_entry_count(); i++) {
        const ArchiveEntry *e = archive_entry(i);
        std::printf("%-40s %10u %10u %s\n", e->name, e->unpacked_size, e->stored_size,
                    e->stored_size == e->unpacked_size ? "stored" : "compressed");
    }
    archive_close();
    return 0;
}

// Every entry must decode to its size with an end code, and match its checksum when the
// archive carries them.
static int verify(const char *path) {
    std::vector<uint8_t> file;
    std::string error;
    if (!pack_read_file(path, &file, &error)) return fail(error);
    if (!open_archive(path)) return 1;
    int count = archive_entry_count(), bad = 0;
    for (int i = 0; i < count; i++) {
        uint8_t *data = archive_load_entry(i, nullptr);
        if (!data) {
            fail(data_last_error());
            bad++;
        }
        mem_free(data);
    }
    std::vector<std::string> problems;
    int damaged = pack_check_sums(file, &problems);
    archive_close();
    for (const std::string &p : problems) fail(p);
    if (bad || damaged > 0)
        return fail(std::string(path) + ": damaged (" + std::to_string(bad) + " of " +
                    std::to_string(count) + " entries do not decode, " +
                    std::to_string(problems.size()) + " checksum faults)");
    std::printf("%s: %d entries, all sound%s\n", path, count,
                damaged < 0 ? " (no checksums to compare)" : "");
    return 0;
}

// Writes entry index into dir; a name that would leave dir is refused.
static int extract_entry(int index, const std::string &dir) {
    std::string name = archive_entry(index)->name;
    if (!pack_check_name(name).empty() || name == "." || name == "..")
        return fail(name + ": refused to extract: " +
                    (pack_check_name(name).empty() ? "not a file name" : pack_check_name(name)));
    size_t size = 0;
    uint8_t *data = archive_load_entry(index, &size);
    if (!data) return fail(data_last_error());
    std::vector<uint8_t> bytes(data, data + size);
    mem_free(data);
    std::string error;
    if (!pack_write_file((std::filesystem::path(dir) / name).string(), bytes, &error))
        return fail(error);
    return 0;
}

static int extract(const char *path, const std::vector<std::string> &names,
                   const std::string &dir) {
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) return fail(dir + ": no such folder");
    if (!open_archive(path)) return 1;
    int status = 0;
    if (names.empty())
        for (int i = 0; i < archive_entry_count(); i++) status |= extract_entry(i, dir);
    for (const std::string &name : names) {
        int index = archive_find(name.c_str());
        status |=
            index < 0 ? fail(name + ": not in the archive " + path) : extract_entry(index, dir);
    }
    archive_close();
    return status;
}

// What the command line asks for: the command and its words, with the options taken out.
struct PackRequest {
    std::vector<std::string> words; // the command, the archive, then names or files
    bool store = false;             // create: --store
    const char *dir = nullptr;      // extract: -C DIR
};

enum { PACK_HELP = 'h', PACK_DIR = 'C', PACK_VERSION = 256, PACK_STORE };

static const option pack_options[] = {
    {"help", no_argument, nullptr, PACK_HELP},
    {"version", no_argument, nullptr, PACK_VERSION},
    {"store", no_argument, nullptr, PACK_STORE},
    {nullptr, 0, nullptr, 0},
};

// Reads the options into *request; returns -1 to go on, else the exit status.
static int parse_args(int argc, char **argv, PackRequest *request) {
    opterr = 0; // the messages are ours
    for (int code; (code = getopt_long(argc, argv, ":hC:", pack_options, nullptr)) != -1;) {
        if (code == PACK_HELP) return answer_print("quellmoor-pack", USAGE) ? 0 : 1;
        if (code == PACK_VERSION)
            return answer_print("quellmoor-pack", "quellmoor-pack " QM_VERSION "\n") ? 0 : 1;
        if (code == PACK_STORE) {
            request->store = true;
        } else if (code == PACK_DIR) {
            request->dir = optarg;
        } else if (code == '?') {
            const std::string word = optopt ? std::string("-") + char(optopt) : argv[optind - 1];
            std::fprintf(stderr, "quellmoor-pack: unknown option '%s'\n", word.c_str());
            return usage();
        } else {
            return usage(); // ':', -C without its folder
        }
    }
    request->words.assign(argv + optind, argv + argc);
    return -1;
}

int main(int argc, char **argv) {
    PackRequest request;
    if (int status = parse_args(argc, argv, &request); status >= 0) return status;
    const std::vector<std::string> &words = request.words;
    if (words.size() < 2) return usage();
    const std::string &command = words[0];
    const std::vector<std::string> rest(words.begin() + 2, words.end());
    if (request.store && command != "create") return usage();
    if (request.dir && command != "extract") return usage();
    if (command == "create") return create(words[1], rest, request.store);
    if (command == "list" && rest.empty()) return list(words[1].c_str());
    if (command == "verify" && rest.empty()) return verify(words[1].c_str());
    if (command == "extract")
        return extract(words[1].c_str(), rest, request.dir ? request.dir : ".");
    return usage();
}
