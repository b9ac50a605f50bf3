// main.cpp -- quellmoor-pack: creates, lists, extracts and verifies data archives

#include "pack.h"

#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
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

int main(int argc, char **argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) return std::fputs(USAGE, stdout) < 0;
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
        return std::printf("quellmoor-pack %s\n", QM_VERSION) < 0;
    if (argc < 3) return usage();
    std::string command = argv[1];
    std::vector<std::string> rest(argv + 3, argv + argc);
    if (command == "create") {
        std::vector<std::string> files;
        bool store = false;
        for (const std::string &arg : rest) {
            if (arg == "--store")
                store = true;
            else
                files.push_back(arg);
        }
        return create(argv[2], files, store);
    }
    if (command == "list" && rest.empty()) return list(argv[2]);
    if (command == "verify" && rest.empty()) return verify(argv[2]);
    if (command == "extract") {
        std::vector<std::string> names;
        std::string dir = ".";
        for (size_t i = 0; i < rest.size(); i++) {
            if (rest[i] != "-C")
                names.push_back(rest[i]);
            else if (i + 1 < rest.size())
                dir = rest[++i];
            else
                return usage();
        }
        return extract(argv[2], names, dir);
    }
    return usage();
}
