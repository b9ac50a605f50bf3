// archive.h -- the data file system: one archive of stored or LZW-packed entries, or plain files.
//
// Every data file of the show is read with file_load. While an archive is open, names are looked
// up in it by file name and extension only ("data\loading.jpg" finds the entry "loading.jpg",
// without regard to case); otherwise they are read as plain files below the data folder.
//
// Archive layout (integers 32-bit little-endian): entries back to back, each a 136-byte header
// (128-byte zero-terminated name, unpacked size, stored size) followed by its stored data, then a
// 23-byte trailer (reserved, first-entry offset, entry count, reserved, "QVX.VFS"). An entry whose
// stored size equals its unpacked size is stored as it is; any other is an LZW code stream.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int ARCHIVE_NAME_SIZE = 128; // name field, terminator included
constexpr int ARCHIVE_HEADER_SIZE = 136;
constexpr int ARCHIVE_TRAILER_SIZE = 23;
constexpr const char ARCHIVE_MAGIC[] = "QVX.VFS"; // 7 bytes on disk, no terminator
constexpr int ARCHIVE_MAGIC_SIZE = 7;

// LZW code stream constants for the archive's code size of 8.
constexpr int LZW_CODE_SIZE = 8;
constexpr int LZW_DICT_SIZE = 16384; // codes the dictionary holds
constexpr int LZW_MAX_WIDTH = 14;    // a writer clears before codes would grow wider

// One entry of the open archive, as its header says.
struct ArchiveEntry {
    char name[ARCHIVE_NAME_SIZE]; // zero-terminated
    uint32_t unpacked_size;
    uint32_t stored_size;
    uint64_t data_offset; // where the stored data starts in the archive
};

// Opens an archive file read-only and checks its trailer and every header against the file.
// 1: the archive is now the source of all file_load calls; 0: not (reason in data_last_error(),
// and no archive is open). An archive already open is closed first.
int archive_open(const char *path);

// Opens an archive held in memory; label names it in messages. The caller keeps data valid and
// unchanged until archive_close. Returns as archive_open.
int archive_open_memory(const uint8_t *data, size_t size, const char *label);

// Closes the archive (tests, shut-down); file_load reads plain files again.
void archive_close();

// 1 while an archive is open.
int archive_is_open();

// Number of entries of the open archive (0 when none is open).
int archive_entry_count();

// The header of entry index, or nullptr when out of range. Valid until archive_close.
const ArchiveEntry *archive_entry(int index);

// Index of the first entry named as name's file name and extension (drive and directories
// dropped, case ignored), or -1.
int archive_find(const char *name);

// Entry index unpacked into a mem_alloc block of its unpacked size, or nullptr (reason in
// data_last_error()). A packed entry must decode to exactly its unpacked size and end with the
// end code. The caller owns the block.
uint8_t *archive_load_entry(int index, size_t *size);

// Plain files are looked up relative to this folder (nullptr or "" = the current folder).
// The string is copied.
void file_set_data_dir(const char *dir);

// The whole file in a mem_alloc block, its length in *size, or nullptr (reason in
// data_last_error()). From the open archive when there is one (no fall-back to plain files),
// else from disk: backslashes become '/', and the name is tried as given, then with its file
// name in lower case. The caller owns the block.
uint8_t *file_load(const char *name, size_t *size);

// Decodes an LZW code stream (codes LSB first, widths code_size + 1 up to 15, growing one code
// early) into out. 1 when the end code was reached; 0 when the input ran out, the output would
// overflow, or the stream is malformed. Output written so far is kept.
int lzw_unpack(int code_size, uint8_t *out, size_t out_size, const uint8_t *in, size_t in_size);

// As lzw_unpack, and *written receives the number of bytes written to out.
int lzw_unpack_count(int code_size, uint8_t *out, size_t out_size, const uint8_t *in,
                     size_t in_size, size_t *written);
