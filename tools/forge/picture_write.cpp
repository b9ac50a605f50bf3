// picture_write.cpp -- JPEG (through libjpeg's compressor) and run-length TGA writers
#include "picture_write.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

static int same_pixel(const uint8_t *a, const uint8_t *b) {
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

static void put_bgr(Bytes *out, const uint8_t *rgb) {
    bytes_u8(out, rgb[2]);
    bytes_u8(out, rgb[1]);
    bytes_u8(out, rgb[0]);
}

// Packets for one row: a run of 2..128 equal pixels becomes a repeat packet, everything else
// goes into literal packets of up to 128 pixels.
static void encode_row(Bytes *out, const uint8_t *row, int width) {
    int x = 0;
    while (x < width) {
        int run = 1;
        while (x + run < width && run < 128 && same_pixel(row + x * 3, row + (x + run) * 3)) run++;
        if (run >= 2) {
            bytes_u8(out, 0x80 | (run - 1));
            put_bgr(out, row + x * 3);
            x += run;
            continue;
        }
        int start = x, count = 0;
        while (x < width && count < 128) {
            if (x + 1 < width && same_pixel(row + x * 3, row + (x + 1) * 3)) break;
            x++;
            count++;
        }
        bytes_u8(out, count - 1);
        for (int i = 0; i < count; i++) put_bgr(out, row + (start + i) * 3);
    }
}

// Encodes width x height RGB triples (rows top to bottom) as a TGA of type 10, 24 bits, origin
// bottom-left. No run crosses the end of a row: the show's loader reads packets row by row.
static void tga_encode(Bytes *out, int width, int height, const uint8_t *rgb) {
    uint8_t header[18] = {};
    header[2] = 10; // run-length true colour
    header[12] = (uint8_t)width;
    header[13] = (uint8_t)(width >> 8);
    header[14] = (uint8_t)height;
    header[15] = (uint8_t)(height >> 8);
    header[16] = 24;
    header[17] = 0; // origin bottom-left, no alpha bits
    bytes_raw(out, header, sizeof header);
    for (int y = height - 1; y >= 0; y--) encode_row(out, rgb + (size_t)y * width * 3, width);
}

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf escape;
};

static void jpeg_fail(j_common_ptr cinfo) {
    char message[JMSG_LENGTH_MAX];
    cinfo->err->format_message(cinfo, message);
    fprintf(stderr, "forge: JPEG compression failed: %s\n", message);
    longjmp(((JpegError *)cinfo->err)->escape, 1);
}

// Everything that must survive the longjmp lives outside compress_into's frame.
static int compress_into(jpeg_compress_struct *cinfo, JpegError *err, unsigned char **mem,
                         unsigned long *size, int width, int height, const uint8_t *rgb,
                         int quality) {
    if (setjmp(err->escape)) return 0;
    jpeg_create_compress(cinfo);
    jpeg_mem_dest(cinfo, mem, size);
    cinfo->image_width = (JDIMENSION)width;
    cinfo->image_height = (JDIMENSION)height;
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    cinfo->dct_method = JDCT_ISLOW;
    for (int i = 0; i < cinfo->num_components; i++) {
        cinfo->comp_info[i].h_samp_factor = 1;
        cinfo->comp_info[i].v_samp_factor = 1;
    }
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = (JSAMPROW)(rgb + (size_t)cinfo->next_scanline * width * 3);
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    return 1;
}

int jpeg_encode(Bytes *out, int width, int height, const uint8_t *rgb, int quality) {
    jpeg_compress_struct cinfo;
    JpegError err;
    memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpeg_fail;
    unsigned char *mem = nullptr;
    unsigned long size = 0;
    int ok = compress_into(&cinfo, &err, &mem, &size, width, height, rgb, quality);
    if (ok) bytes_raw(out, mem, size);
    jpeg_destroy_compress(&cinfo);
    free(mem);
    return ok;
}

int tga_save(const char *path, int width, int height, const uint8_t *rgb) {
    Bytes out;
    tga_encode(&out, width, height, rgb);
    return bytes_save(&out, path);
}

int jpeg_save(const char *path, int width, int height, const uint8_t *rgb, int quality) {
    Bytes out;
    if (!jpeg_encode(&out, width, height, rgb, quality)) {
        fprintf(stderr, "forge: %s: not written\n", path);
        return 0;
    }
    return bytes_save(&out, path);
}
