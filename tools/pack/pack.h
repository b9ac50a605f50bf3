// pack.h -- writes archives: the LZW compressor and the archive writer of quellmoor-pack
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Codes decoded before a clear code: the writer clears while codes are still 14 bits wide.
constexpr int PACK_CLEAR_AT = 16382;

// One archive entry ready to be written.
struct PackEntry {
    std::string name;            // file name and extension, at most 127 bytes
    uint32_t unpacked_size;      // bytes the entry loads as
    std::vector<uint8_t> stored; // the data as it goes into the archive
};

// The LZW code stream of size bytes (code size 8), as lzw_unpack reads it. Empty data gives an
// empty stream: it has no code stream and must be stored.
std::vector<uint8_t> lzw_pack(const uint8_t *data, size_t size);

// Why name cannot be an archive entry name, or "" when it can.
std::string pack_check_name(const std::string &name);

// An entry holding data: packed when that makes it smaller, else (or with store) stored as it
// is. A packed stream never has the same length as the data, which would read as stored.
// Returns false with *error set when the name is refused or the data is too large.
bool pack_make_entry(const std::string &name, const uint8_t *data, size_t size, bool store,
                     PackEntry *entry, std::string *error);

// The archive file holding the entries in order: a checksum table, headers and data, trailer.
// The table sits before the first entry (the trailer's first-entry offset skips it, so the
// program never sees it): "QSUM", entry count, the CRC-32 of each entry's header and data, and
// the CRC-32 of the table so far.
std::vector<uint8_t> pack_archive(const std::vector<PackEntry> &entries);

// Checks an archive file's checksum table against its entries, which the archive code has open
// (archive_open on the same bytes). Appends one message per damaged entry to problems and
// returns their number; returns -1 when the file carries no checksum table.
int pack_check_sums(const std::vector<uint8_t> &file, std::vector<std::string> *problems);

// Writes bytes to path through a temporary file next to it, so a failed write leaves no
// half archive. Returns false with *error set on failure.
bool pack_write_file(const std::string &path, const std::vector<uint8_t> &bytes,
                     std::string *error);

// Reads a whole file. Returns false with *error set on failure.
bool pack_read_file(const std::string &path, std::vector<uint8_t> *bytes, std::string *error);
