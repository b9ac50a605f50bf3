// lzw.cpp -- fuzzes the LZW decoder on arbitrary streams, and the packer and decoder together

#include "pack.h"

#include "data/archive.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

// Input: two bytes of output size, then a code stream. The output buffer is exactly that size,
// so the sanitizer sees any write past it. The whole input is also packed and must come back.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size >= 2) {
        size_t out_size = size_t(data[0]) | size_t(data[1]) << 8;
        std::vector<uint8_t> out(out_size);
        size_t written = 0;
        lzw_unpack_count(LZW_CODE_SIZE, out.data(), out_size, data + 2, size - 2, &written);
        if (written > out_size) std::abort();
    }
    std::vector<uint8_t> stream = lzw_pack(data, size);
    std::vector<uint8_t> back(size);
    size_t written = 0;
    int ended =
        lzw_unpack_count(LZW_CODE_SIZE, back.data(), size, stream.data(), stream.size(), &written);
    if (size > 0 && (!ended || written != size || std::memcmp(back.data(), data, size) != 0))
        std::abort();
    return 0;
}
