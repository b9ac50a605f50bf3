// archive.cpp -- the data file system: the archive, its LZW decoder and plain files

#include "data/archive.h"

#include "data/error.h"
#include "data/memory.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

// Where the open archive's bytes come from: a read-only file or a block held by the caller.
struct ArchiveSource {
    std::FILE *file;
    const uint8_t *memory;
    uint64_t size;
    char label[512]; // the path, for messages
};

static ArchiveSource source;
static ArchiveEntry *entries; // one block, count records
static int entry_count;
static int archive_opened;

static char data_dir[1024];

static uint32_t read_le32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// 1 when all n bytes at offset were read.
static int source_read(uint64_t offset, void *buf, size_t n) {
    if (offset > source.size || n > source.size - offset) return 0;
    if (source.memory) {
        mem_copy(buf, source.memory + offset, n);
        return 1;
    }
    if (std::fseek(source.file, long(offset), SEEK_SET) != 0) return 0;
    return std::fread(buf, 1, n, source.file) == n;
}

static int is_regular_file(const char *path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) ? 1 : 0;
}

// Size of an open file by seeking to its end and back; -1 when it cannot be told.
static long file_size(std::FILE *f) {
    if (std::fseek(f, 0, SEEK_END) != 0) return -1;
    long size = std::ftell(f);
    if (std::fseek(f, 0, SEEK_SET) != 0) return -1;
    return size;
}

// ---- opening the archive -------------------------------------------------------------------

// Reads and checks one header at offset; end is where the entry area stops (the trailer).
static int read_entry(int index, uint64_t offset, uint64_t end, ArchiveEntry *e) {
    uint8_t header[ARCHIVE_HEADER_SIZE];
    if (end - offset < ARCHIVE_HEADER_SIZE || !source_read(offset, header, sizeof header)) {
        data_error("%s: entry %d header at offset %llu runs past the entries", source.label, index,
                   (unsigned long long)offset);
        return 0;
    }
    if (!std::memchr(header, 0, ARCHIVE_NAME_SIZE)) {
        data_error("%s: entry %d has a name without terminator", source.label, index);
        return 0;
    }
    mem_copy(e->name, header, ARCHIVE_NAME_SIZE);
    e->unpacked_size = read_le32(header + 128);
    e->stored_size = read_le32(header + 132);
    e->data_offset = offset + ARCHIVE_HEADER_SIZE;
    if (e->stored_size > end - e->data_offset) {
        data_error("%s: entry %d (\"%s\") claims %u stored bytes, past the end of the entries",
                   source.label, index, e->name, e->stored_size);
        return 0;
    }
    return 1;
}

// Checks the trailer and reads every header; the source is set up.
static int open_source() {
    uint8_t trailer[ARCHIVE_TRAILER_SIZE];
    if (source.size < uint64_t(ARCHIVE_TRAILER_SIZE)) {
        data_error("%s: too short to be an archive (%llu bytes)", source.label,
                   (unsigned long long)source.size);
        return 0;
    }
    uint64_t end = source.size - ARCHIVE_TRAILER_SIZE;
    if (!source_read(end, trailer, sizeof trailer)) {
        data_error("%s: cannot read the archive trailer", source.label);
        return 0;
    }
    if (std::memcmp(trailer + 16, ARCHIVE_MAGIC, ARCHIVE_MAGIC_SIZE) != 0) {
        data_error("%s: not an archive (no QVX.VFS trailer)", source.label);
        return 0;
    }
    uint64_t offset = read_le32(trailer + 4);
    int32_t count = int32_t(read_le32(trailer + 8));
    if (offset > end) {
        data_error("%s: first entry offset %llu lies past the entries", source.label,
                   (unsigned long long)offset);
        return 0;
    }
    if (count < 0 || uint64_t(count) > (end - offset) / ARCHIVE_HEADER_SIZE) {
        data_error("%s: entry count %d does not fit in the file", source.label, count);
        return 0;
    }
    entries = static_cast<ArchiveEntry *>(mem_alloc(size_t(count) * sizeof(ArchiveEntry)));
    if (!entries) {
        data_error("%s: out of memory for %d entries", source.label, count);
        return 0;
    }
    for (int i = 0; i < count; i++) {
        if (!read_entry(i, offset, end, &entries[i])) return 0;
        offset = entries[i].data_offset + entries[i].stored_size;
    }
    entry_count = count;
    return 1;
}

static void set_label(const char *label) {
    std::snprintf(source.label, sizeof source.label, "%s", label ? label : "(archive)");
}

static int finish_open() {
    if (open_source()) {
        archive_opened = 1;
        return 1;
    }
    archive_close();
    return 0;
}

int archive_open(const char *path) {
    archive_close();
    set_label(path);
    if (!path || !is_regular_file(path)) {
        data_error("%s: no such archive file", source.label);
        return 0;
    }
    source.file = std::fopen(path, "rb");
    if (!source.file) {
        data_error("%s: cannot open the archive: %s", source.label, std::strerror(errno));
        return 0;
    }
    long size = file_size(source.file);
    if (size < 0) {
        data_error("%s: cannot tell the archive's size", source.label);
        archive_close();
        return 0;
    }
    source.size = uint64_t(size);
    return finish_open();
}

int archive_open_memory(const uint8_t *data, size_t size, const char *label) {
    archive_close();
    set_label(label);
    static const uint8_t empty[1] = {0};
    source.memory = data ? data : empty;
    source.size = data ? size : 0;
    return finish_open();
}

void archive_close() {
    if (source.file) std::fclose(source.file);
    mem_free(entries);
    source.file = nullptr;
    source.memory = nullptr;
    source.size = 0;
    entries = nullptr;
    entry_count = 0;
    archive_opened = 0;
}

int archive_is_open() {
    return archive_opened;
}

int archive_entry_count() {
    return entry_count;
}

const ArchiveEntry *archive_entry(int index) {
    if (index < 0 || index >= entry_count) return nullptr;
    return &entries[index];
}

// ---- loading entries -----------------------------------------------------------------------

// The most bytes a code stream of in_size bytes can decode to. It holds at most n codes of 9
// bits or more; each code's string is at most one byte longer than the longest before it and
// never longer than the dictionary, so the output is at most min(n(n+1)/2, n * 16384).
static uint64_t lzw_max_output(uint64_t in_size) {
    uint64_t codes = in_size * 8 / (LZW_CODE_SIZE + 1);
    if (codes < uint64_t(LZW_DICT_SIZE)) return codes * (codes + 1) / 2;
    return codes * LZW_DICT_SIZE;
}

static uint8_t *unpack_entry(const ArchiveEntry *e, uint8_t *stored) {
    if (e->unpacked_size > lzw_max_output(e->stored_size)) {
        data_error("%s: archive %s claims %u bytes packed into %u, more than the code can hold",
                   e->name, source.label, e->unpacked_size, e->stored_size);
        return nullptr;
    }
    auto *out = static_cast<uint8_t *>(mem_alloc(e->unpacked_size));
    if (!out) {
        data_error("%s: out of memory for %u bytes", e->name, e->unpacked_size);
        return nullptr;
    }
    size_t written = 0;
    int ended =
        lzw_unpack_count(LZW_CODE_SIZE, out, e->unpacked_size, stored, e->stored_size, &written);
    if (ended && written == e->unpacked_size) return out;
    if (!ended && written < e->unpacked_size)
        data_error("%s: packed data in %s is corrupt after %zu of %u bytes", e->name, source.label,
                   written, e->unpacked_size);
    else if (!ended)
        data_error("%s: packed data in %s has no end code after its %u bytes", e->name,
                   source.label, e->unpacked_size);
    else
        data_error("%s: packed data in %s ends after %zu of %u bytes", e->name, source.label,
                   written, e->unpacked_size);
    mem_free(out);
    return nullptr;
}

uint8_t *archive_load_entry(int index, size_t *size) {
    const ArchiveEntry *e = archive_entry(index);
    if (!e) {
        data_error("%s: no entry %d", source.label, index);
        return nullptr;
    }
    auto *stored = static_cast<uint8_t *>(mem_alloc(e->stored_size));
    if (!stored) {
        data_error("%s: out of memory for %u bytes", e->name, e->stored_size);
        return nullptr;
    }
    if (!source_read(e->data_offset, stored, e->stored_size)) {
        data_error("%s: cannot read its data from %s", e->name, source.label);
        mem_free(stored);
        return nullptr;
    }
    if (e->stored_size == e->unpacked_size) {
        if (size) *size = e->stored_size;
        return stored;
    }
    uint8_t *out = unpack_entry(e, stored);
    mem_free(stored);
    if (out && size) *size = e->unpacked_size;
    return out;
}

static char lower_ascii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

static int names_equal(const char *a, const char *b) {
    for (; *a && *b; a++, b++)
        if (lower_ascii(*a) != lower_ascii(*b)) return 0;
    return *a == *b;
}

// The file name and extension of a path: drive and directories dropped.
static const char *base_name(const char *path) {
    const char *base = path;
    for (const char *p = path; *p; p++)
        if (*p == '\\' || *p == '/' || *p == ':') base = p + 1;
    return base;
}

int archive_find(const char *name) {
    const char *base = base_name(name);
    if (!*base) return -1;
    for (int i = 0; i < entry_count; i++)
        if (names_equal(entries[i].name, base)) return i;
    return -1;
}

static uint8_t *load_from_archive(const char *name, size_t *size) {
    int index = archive_find(name);
    if (index >= 0) return archive_load_entry(index, size);
    if (!*base_name(name))
        data_error("%s: no file name", name);
    else
        data_error("%s: not in the archive %s", name, source.label);
    return nullptr;
}

// ---- plain files ---------------------------------------------------------------------------

void file_set_data_dir(const char *dir) {
    std::snprintf(data_dir, sizeof data_dir, "%s", dir ? dir : "");
}

// The path of a plain file: the data folder, then the name with '/' for '\'. 0 when too long.
static int plain_path(const char *name, char *path, size_t path_size) {
    int n = data_dir[0] ? std::snprintf(path, path_size, "%s/%s", data_dir, name)
                        : std::snprintf(path, path_size, "%s", name);
    if (n < 0 || size_t(n) >= path_size) return 0;
    for (char *p = path; *p; p++)
        if (*p == '\\') *p = '/';
    return 1;
}

static uint8_t *read_plain(const char *name, const char *path, size_t *size) {
    std::FILE *f = std::fopen(path, "rb");
    if (!f) {
        data_error("%s: cannot open %s: %s", name, path, std::strerror(errno));
        return nullptr;
    }
    long length = file_size(f);
    uint8_t *block = nullptr;
    if (length < 0)
        data_error("%s: cannot tell the size of %s", name, path);
    else if (length == 0)
        data_error("%s: %s is empty", name, path);
    else if (!(block = static_cast<uint8_t *>(mem_alloc(size_t(length)))))
        data_error("%s: out of memory for %ld bytes", name, length);
    if (block) {
        size_t got = std::fread(block, 1, size_t(length), f);
        if (got == 0) {
            data_error("%s: cannot read %s", name, path);
            mem_free(block);
            block = nullptr;
        } else if (size) {
            *size = got;
        }
    }
    std::fclose(f);
    return block;
}

// A file missing from a folder of plain files is named; when the folder it would be in is not
// there either (no data at all, or a folder that cannot be read), that is what is said, with the
// system's reason when there is more to it than an empty folder.
static void report_missing(const char *name, const char *path) {
    char folder[2048], here[1024];
    std::snprintf(folder, sizeof folder, "%s", path);
    char *slash = std::strrchr(folder, '/');
    if (slash) *slash = '\0';
    if (!slash || access(folder, X_OK) == 0) {
        data_error("%s: no such file", name);
        return;
    }
    int reason = errno;
    const char *dir = data_dir[0] ? data_dir : ".";
    const char *why = nullptr;
    if (access(dir, X_OK) != 0)
        why = std::strerror(errno);
    else if (reason != ENOENT && reason != ENOTDIR)
        why = std::strerror(reason);
    if (!std::strcmp(dir, ".") && getcwd(here, sizeof here)) dir = here;
    if (why)
        data_error("no quellmor.dat in %s (looked for %s too): %s", dir, name, why);
    else
        data_error("no quellmor.dat in %s (looked for %s too)", dir, name);
}

static uint8_t *load_plain(const char *name, size_t *size) {
    char path[2048];
    if (!plain_path(name, path, sizeof path)) {
        data_error("%s: path too long", name);
        return nullptr;
    }
    if (!is_regular_file(path)) {
        // Our data files are written in lower case; the names the show asks for may not be.
        for (char *p = path + (base_name(path) - path); *p; p++) *p = lower_ascii(*p);
        if (!is_regular_file(path)) {
            report_missing(name, path);
            return nullptr;
        }
    }
    return read_plain(name, path, size);
}

uint8_t *file_load(const char *name, size_t *size) {
    if (!name) {
        data_error("(null): no file name");
        return nullptr;
    }
    if (archive_opened) return load_from_archive(name, size);
    return load_plain(name, size);
}

// ---- LZW decoder ---------------------------------------------------------------------------
//
// Codes are packed least significant bit first. Every dictionary string is a previous string
// followed by the first byte of the one after it, so it already lies in the output: the
// dictionary keeps where it starts and its length, and decoding a code is a copy from earlier
// output (never overlapping what is being written). Loading is single-threaded, so the tables
// are static.

static size_t lzw_start[LZW_DICT_SIZE];
static uint32_t lzw_length[LZW_DICT_SIZE];

struct BitReader {
    const uint8_t *in;
    size_t size;
    uint64_t bit; // bits consumed
};

// The next code of width bits, or -1 when fewer bits are left.
static int read_code(BitReader *br, int width) {
    if (br->bit + uint64_t(width) > uint64_t(br->size) * 8) return -1;
    size_t at = size_t(br->bit >> 3);
    uint32_t bits = br->in[at];
    if (at + 1 < br->size) bits |= uint32_t(br->in[at + 1]) << 8;
    if (at + 2 < br->size) bits |= uint32_t(br->in[at + 2]) << 16;
    bits >>= br->bit & 7;
    br->bit += uint64_t(width);
    return int(bits & ((1u << width) - 1));
}

static void copy_back(uint8_t *out, size_t to, size_t from, size_t len) {
    if (len < 16) {
        for (size_t i = 0; i < len; i++) out[to + i] = out[from + i];
    } else {
        std::memcpy(out + to, out + from, len);
    }
}

int lzw_unpack_count(int code_size, uint8_t *out, size_t out_size, const uint8_t *in,
                     size_t in_size, size_t *written) {
    size_t op = 0, prev_start = 0, prev_len = 0;
    int result = 0;
    if (written) *written = 0;
    if (code_size < 2 || code_size > 8 || (!in && in_size)) return 0;
    const int clear = 1 << code_size, end = clear + 1, first_free = clear + 2;
    BitReader br{in, in_size, 0};
    int width = 0, limit = 0, next = 0, c = clear;
    for (;;) {
        if (c == clear) {
            // A stream starts, and starts again after each clear code, with one literal.
            width = code_size + 1;
            limit = 2 * clear;
            next = first_free;
            c = read_code(&br, width);
            if (c < 0 || c >= clear || op >= out_size) break;
            prev_start = op;
            prev_len = 1;
            out[op++] = uint8_t(c);
        }
        c = read_code(&br, width);
        if (c < 0) break;
        if (c == end) {
            result = 1;
            break;
        }
        if (c == clear) continue;
        // A code may name an existing string or the one about to be made (the previous one
        // and its first byte); anything past that, or a full dictionary, is a corrupt stream.
        if (c > next || next >= LZW_DICT_SIZE) break;
        size_t len = c < clear ? 1 : c < next ? lzw_length[c] : prev_len + 1;
        if (len > out_size - op) break;
        if (c < clear) {
            out[op] = uint8_t(c);
        } else if (c < next) {
            copy_back(out, op, lzw_start[c], len);
        } else {
            copy_back(out, op, prev_start, prev_len);
            out[op + prev_len] = out[prev_start];
        }
        lzw_start[next] = prev_start;
        lzw_length[next] = uint32_t(prev_len + 1);
        next++;
        prev_start = op;
        prev_len = len;
        op += len;
        // The width grows one code earlier than in GIF: at 511 codes it is 10 bits.
        if (next >= limit - 1) {
            limit *= 2;
            width++;
        }
    }
    if (written) *written = op;
    return result;
}

int lzw_unpack(int code_size, uint8_t *out, size_t out_size, const uint8_t *in, size_t in_size) {
    return lzw_unpack_count(code_size, out, out_size, in, in_size, nullptr);
}
