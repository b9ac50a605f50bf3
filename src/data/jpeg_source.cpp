// jpeg_source.cpp -- decodes JPEG pictures from memory through the JPEG library

#include "data/jpeg_source.h"

#include "data/error.h"
#include "data/memory.h"

#include <csetjmp>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

// The library's working memory is capped so that a damaged header cannot make it ask for
// gigabytes (a progressive picture keeps all its coefficients).
constexpr long JPEG_MEMORY_LIMIT = 256L << 20;

// The library's error manager, extended with a way back to the loader instead of exit().
struct JpegErrors {
    jpeg_error_mgr mgr;
    jmp_buf jump;
    const char *name;
};

// Hands the library the file one byte per call; past the end, an end-of-image marker.
struct MemorySource {
    jpeg_source_mgr mgr;
    const uint8_t *data;
    size_t size;
    size_t position;
    bool ran_out; // the library asked for bytes past the end
};

static MemorySource *memory_source(j_decompress_ptr cinfo) {
    return reinterpret_cast<MemorySource *>(cinfo->src);
}

static void init_source(j_decompress_ptr cinfo) {
    memory_source(cinfo)->position = 0;
}

static boolean fill_input_buffer(j_decompress_ptr cinfo) {
    MemorySource *src = memory_source(cinfo);
    if (src->position >= src->size) {
        // As the library's own memory source does: a fake end-of-image marker lets it finish
        // the picture instead of reading on. The loader then refuses the truncated picture.
        static const JOCTET end_of_image[2] = {0xFF, JPEG_EOI};
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->ran_out = true;
        src->mgr.next_input_byte = end_of_image;
        src->mgr.bytes_in_buffer = sizeof end_of_image;
        return TRUE;
    }
    src->mgr.next_input_byte = src->data + src->position;
    src->mgr.bytes_in_buffer = 1;
    src->position++;
    return TRUE;
}

static void skip_input_data(j_decompress_ptr cinfo, long count) {
    MemorySource *src = memory_source(cinfo);
    if (count <= 0) return;
    size_t n = size_t(count);
    if (n <= src->mgr.bytes_in_buffer) {
        src->mgr.next_input_byte += n;
        src->mgr.bytes_in_buffer -= n;
        return;
    }
    n -= src->mgr.bytes_in_buffer;
    src->mgr.bytes_in_buffer = 0;
    // A skip past the end stops at the end; the next fill reports it.
    src->position += n < src->size - src->position ? n : src->size - src->position;
}

static void term_source(j_decompress_ptr) {}

static void use_memory_source(j_decompress_ptr cinfo, const uint8_t *data, size_t size) {
    void *block = (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT,
                                             sizeof(MemorySource));
    MemorySource *src = static_cast<MemorySource *>(block);
    src->mgr.next_input_byte = nullptr;
    src->mgr.bytes_in_buffer = 0;
    src->mgr.init_source = init_source;
    src->mgr.fill_input_buffer = fill_input_buffer;
    src->mgr.skip_input_data = skip_input_data;
    src->mgr.resync_to_restart = jpeg_resync_to_restart;
    src->mgr.term_source = term_source;
    src->data = data;
    src->size = size;
    src->position = 0;
    src->ran_out = false;
    cinfo->src = &src->mgr;
}

// Fatal library errors come back here: the reason is recorded and the loader resumes at its
// setjmp, where it cleans up and returns null. Only decompressors use this manager.
[[noreturn]] static void error_exit(j_common_ptr cinfo) {
    JpegErrors *errors = reinterpret_cast<JpegErrors *>(cinfo->err);
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    const MemorySource *src = memory_source(reinterpret_cast<j_decompress_ptr>(cinfo));
    if (src && src->ran_out)
        data_error("%s: JPEG data ends early, after %zu bytes (%s)", errors->name, src->size, text);
    else
        data_error("%s: %s", errors->name, text);
    std::longjmp(errors->jump, 1);
}

// Warnings and traces are counted, not printed: the loader decides what matters.
static void emit_message(j_common_ptr cinfo, int level) {
    if (level < 0) cinfo->err->num_warnings++;
}

// Stores one decoded row (RGB triples, or grey bytes when components is 1) as pixel words.
static void store_row(const JSAMPLE *in, int components, uint32_t *out, int32_t width) {
    if (components == 3) {
        for (int32_t x = 0; x < width; x++, in += 3) out[x] = pixel_rgb(in[0], in[1], in[2]);
    } else {
        for (int32_t x = 0; x < width; x++) out[x] = pixel_rgb(in[x], in[x], in[x]);
    }
}

// Checks what jpeg_read_header found. Returns false with the reason recorded.
static bool check_picture(const char *name, const jpeg_decompress_struct *cinfo) {
    if (cinfo->image_width > JDIMENSION(IMG_MAX_SIDE) ||
        cinfo->image_height > JDIMENSION(IMG_MAX_SIDE)) {
        data_error("%s: JPEG size %u x %u is out of range (1 to %d per side)", name,
                   cinfo->image_width, cinfo->image_height, IMG_MAX_SIDE);
        return false;
    }
    if (cinfo->num_components != 3 && cinfo->num_components != 1) {
        data_error("%s: JPEG with %d colour components is not supported (3 or 1)", name,
                   cinfo->num_components);
        return false;
    }
    return true;
}

// Every 8 x 8 block of the first scan costs at least one bit with Huffman codes (its first DC
// code), so a file whose remaining bytes cannot hold that many is refused before a picture of the
// size it claims is allocated. Arithmetic codes and a progression that starts with an AC scan
// can be shorter: those are left to the decoder.
static bool could_hold(const char *name, const jpeg_decompress_struct *cinfo) {
    if (cinfo->arith_code || (cinfo->progressive_mode && cinfo->Ss != 0)) return true;
    const MemorySource *src = memory_source(const_cast<j_decompress_ptr>(cinfo));
    uint64_t blocks = 0;
    for (int i = 0; i < cinfo->comps_in_scan; i++)
        blocks += uint64_t(cinfo->cur_comp_info[i]->width_in_blocks) *
                  cinfo->cur_comp_info[i]->height_in_blocks;
    size_t left = src->size - (src->position - src->mgr.bytes_in_buffer);
    if (src->ran_out || uint64_t(left) * 8 >= blocks) return true;
    data_error("%s: JPEG data ends early (%zu bytes cannot hold a %u x %u picture)", name, left,
               cinfo->image_width, cinfo->image_height);
    return false;
}

// Decodes every row into a new picture. Library errors leave by longjmp; *image is set as soon
// as the picture exists so that the caller can free it.
static bool decode_rows(const char *name, jpeg_decompress_struct *cinfo, int32_t flags,
                        Image *volatile *image) {
    jpeg_start_decompress(cinfo);
    int components = cinfo->out_color_components;
    if (components != 3 && components != 1) {
        data_error("%s: JPEG decodes to %d components, 3 or 1 expected", name, components);
        return false;
    }
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                 cinfo->output_width * 4, 1);
    Image *picture =
        image_create(int32_t(cinfo->output_width), int32_t(cinfo->output_height), flags);
    *image = picture;
    if (!picture) {
        data_error("%s: out of memory for a %u x %u picture", name, cinfo->output_width,
                   cinfo->output_height);
        return false;
    }
    const MemorySource *src = memory_source(cinfo);
    for (int32_t y = 0; y < picture->height; y++) {
        jpeg_read_scanlines(cinfo, row, 1);
        if (src->ran_out) break; // no use decoding the grey rest of a truncated picture
        store_row(row[0], components, picture->pixels + int64_t(y) * picture->width,
                  picture->width);
    }
    if (!src->ran_out) jpeg_finish_decompress(cinfo);
    if (src->ran_out) {
        data_error("%s: JPEG data ends early", name);
        return false;
    }
    return true;
}

Image *jpeg_decode(const char *name, const uint8_t *data, size_t size, int32_t flags) {
    jpeg_decompress_struct cinfo = {};
    JpegErrors errors;
    cinfo.err = jpeg_std_error(&errors.mgr);
    errors.mgr.error_exit = error_exit;
    errors.mgr.emit_message = emit_message;
    errors.name = name;
    Image *volatile image = nullptr;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        image_free(image);
        return nullptr;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = JPEG_MEMORY_LIMIT;
    use_memory_source(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    bool ok = check_picture(name, &cinfo) && could_hold(name, &cinfo) &&
              decode_rows(name, &cinfo, flags, &image);
    jpeg_destroy_decompress(&cinfo);
    if (!ok) {
        image_free(image);
        return nullptr;
    }
    return image;
}
