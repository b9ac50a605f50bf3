// pack.cpp -- the LZW compressor and the archive writer of quellmoor-pack

#include "pack.h"

#include "data/archive.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <zlib.h>

namespace {

constexpr uint32_t CLEAR_CODE = 1u << LZW_CODE_SIZE;
constexpr uint32_t END_CODE = CLEAR_CODE + 1;
constexpr uint32_t FIRST_FREE = CLEAR_CODE + 2;

// Open-addressed dictionary of (prefix code, byte) -> code, at most half full.
constexpr uint32_t HASH_SLOTS = 32768;

struct LzwWriter {
    std::vector<uint8_t> out;
    uint64_t bits = 0; // pending bits, LSB first
    int pending = 0;
    uint32_t keys[HASH_SLOTS]; // (prefix << 8 | byte) + 1; 0 = empty slot
    uint16_t codes[HASH_SLOTS];
    // The decoder's view, mirrored so both agree on every code's width.
    uint32_t next = FIRST_FREE;
    int width = LZW_CODE_SIZE + 1;
    uint32_t limit = 2 * CLEAR_CODE;
    bool fresh = true; // the next code is the literal that starts a run
};

void reset(LzwWriter *w) {
    std::memset(w->keys, 0, sizeof w->keys);
    w->next = FIRST_FREE;
    w->width = LZW_CODE_SIZE + 1;
    w->limit = 2 * CLEAR_CODE;
    w->fresh = true;
}

void put_bits(LzwWriter *w, uint32_t code, int width) {
    w->bits |= uint64_t(code) << w->pending;
    w->pending += width;
    while (w->pending >= 8) {
        w->out.push_back(uint8_t(w->bits));
        w->bits >>= 8;
        w->pending -= 8;
    }
}

// Writes a string's code; the decoder adds a dictionary entry for every code but a run's first.
void emit(LzwWriter *w, uint32_t code) {
    put_bits(w, code, w->width);
    if (!w->fresh && ++w->next >= w->limit - 1) {
        w->limit *= 2;
        w->width++;
    }
    w->fresh = false;
}

uint32_t slot_of(const LzwWriter *w, uint32_t key) {
    uint32_t slot = (key * 2654435761u) >> 17; // 15 bits
    while (w->keys[slot] != 0 && w->keys[slot] != key) slot = (slot + 1) & (HASH_SLOTS - 1);
    return slot;
}

} // namespace

std::vector<uint8_t> lzw_pack(const uint8_t *data, size_t size) {
    if (size == 0) return {};
    auto *w = new LzwWriter;
    reset(w);
    uint32_t cur = data[0];
    for (size_t i = 1; i < size; i++) {
        uint32_t key = (cur << 8 | data[i]) + 1;
        uint32_t slot = slot_of(w, key);
        if (w->keys[slot] == key) {
            cur = w->codes[slot];
            continue;
        }
        emit(w, cur);
        if (w->next >= uint32_t(PACK_CLEAR_AT)) {
            put_bits(w, CLEAR_CODE, w->width);
            reset(w);
        } else {
            // The decoder makes this same entry, at the same number, on the next code.
            w->keys[slot] = key;
            w->codes[slot] = uint16_t(w->next);
        }
        cur = data[i];
    }
    emit(w, cur);
    put_bits(w, END_CODE, w->width);
    if (w->pending > 0) w->out.push_back(uint8_t(w->bits));
    std::vector<uint8_t> out = std::move(w->out);
    delete w;
    return out;
}

std::string pack_check_name(const std::string &name) {
    if (name.empty()) return "empty name";
    if (name.size() >= size_t(ARCHIVE_NAME_SIZE))
        return "name longer than " + std::to_string(ARCHIVE_NAME_SIZE - 1) + " bytes";
    if (name.find_first_of("\\/:") != std::string::npos)
        return "name holds '\\', '/' or ':', so it could never be looked up";
    if (name.find('\0') != std::string::npos) return "name holds a zero byte";
    return "";
}

bool pack_make_entry(const std::string &name, const uint8_t *data, size_t size, bool store,
                     PackEntry *entry, std::string *error) {
    std::string why = pack_check_name(name);
    if (!why.empty()) {
        *error = name + ": " + why;
        return false;
    }
    if (size > UINT32_MAX) {
        *error = name + ": larger than 4 GB";
        return false;
    }
    entry->name = name;
    entry->unpacked_size = uint32_t(size);
    entry->stored.clear();
    if (!store) entry->stored = lzw_pack(data, size);
    // Only a strictly smaller stream is kept: one of equal length would read as stored.
    if (store || entry->stored.empty() || entry->stored.size() >= size)
        entry->stored.assign(data, data + size);
    return true;
}

static void put_le32(std::vector<uint8_t> *out, uint32_t v) {
    for (int i = 0; i < 4; i++) out->push_back(uint8_t(v >> (8 * i)));
}

static uint32_t get_le32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

static uint32_t crc_of(const uint8_t *data, size_t size) {
    return uint32_t(crc32_z(crc32_z(0, nullptr, 0), data, size));
}

static const uint8_t SUM_MAGIC[4] = {'Q', 'S', 'U', 'M'};

std::vector<uint8_t> pack_archive(const std::vector<PackEntry> &entries) {
    std::vector<uint8_t> out;
    size_t table_size = 4 + 4 + 4 * entries.size() + 4;
    out.resize(table_size, 0);
    std::vector<uint32_t> sums;
    for (const PackEntry &e : entries) {
        size_t at = out.size();
        out.resize(at + ARCHIVE_NAME_SIZE, 0);
        std::memcpy(out.data() + at, e.name.data(), e.name.size());
        put_le32(&out, e.unpacked_size);
        put_le32(&out, uint32_t(e.stored.size()));
        out.insert(out.end(), e.stored.begin(), e.stored.end());
        sums.push_back(crc_of(out.data() + at, out.size() - at));
    }
    std::vector<uint8_t> table(SUM_MAGIC, SUM_MAGIC + 4);
    put_le32(&table, uint32_t(entries.size()));
    for (uint32_t sum : sums) put_le32(&table, sum);
    put_le32(&table, crc_of(table.data(), table.size()));
    std::memcpy(out.data(), table.data(), table_size);
    put_le32(&out, 0);                        // reserved
    put_le32(&out, uint32_t(table_size));     // first entry offset
    put_le32(&out, uint32_t(entries.size())); // entry count
    put_le32(&out, 0);                        // reserved
    out.insert(out.end(), ARCHIVE_MAGIC, ARCHIVE_MAGIC + ARCHIVE_MAGIC_SIZE);
    return out;
}

int pack_check_sums(const std::vector<uint8_t> &file, std::vector<std::string> *problems) {
    size_t count = size_t(archive_entry_count());
    size_t table_size = 4 + 4 + 4 * count + 4;
    if (file.size() < table_size || std::memcmp(file.data(), SUM_MAGIC, 4) != 0) return -1;
    const ArchiveEntry *first = archive_entry(0);
    if (get_le32(file.data() + 4) != count ||
        (first && first->data_offset != table_size + ARCHIVE_HEADER_SIZE) ||
        get_le32(file.data() + table_size - 4) != crc_of(file.data(), table_size - 4)) {
        problems->push_back("the checksum table is damaged");
        return 1;
    }
    int bad = 0;
    for (size_t i = 0; i < count; i++) {
        const ArchiveEntry *e = archive_entry(int(i));
        size_t at = size_t(e->data_offset) - ARCHIVE_HEADER_SIZE;
        size_t size = ARCHIVE_HEADER_SIZE + size_t(e->stored_size);
        if (at + size > file.size() ||
            crc_of(file.data() + at, size) != get_le32(file.data() + 8 + 4 * i)) {
            problems->push_back(std::string(e->name) +
                                ": checksum does not match, the entry is damaged");
            bad++;
        }
    }
    return bad;
}

bool pack_write_file(const std::string &path, const std::vector<uint8_t> &bytes,
                     std::string *error) {
    std::string temp = path + ".part";
    std::FILE *f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        *error = path + ": cannot create " + temp + ": " + std::strerror(errno);
        return false;
    }
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    std::error_code ec;
    if (ok) std::filesystem::rename(temp, path, ec);
    if (!ok || ec) {
        *error = path + ": cannot write: " + (ec ? ec.message() : std::strerror(errno));
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

bool pack_read_file(const std::string &path, std::vector<uint8_t> *bytes, std::string *error) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        *error = path + ": not a readable file";
        return false;
    }
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        *error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    bytes->clear();
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes->insert(bytes->end(), chunk, chunk + got);
    bool ok = !std::ferror(f);
    std::fclose(f);
    if (!ok) *error = path + ": read error";
    return ok;
}
