// icon.cpp -- the program's icon file, read with libpng

#include "platform/icon.h"

#include <cstdio>
#include <cstdlib>
#include <png.h>

static char icon_path[4096];

void icon_set_file(const char *path) {
    std::snprintf(icon_path, sizeof icon_path, "%s", path ? path : "");
}

// Window managers want small icons; anything larger is not an icon we made.
constexpr uint32_t ICON_MAX_SIDE = 1024;

int icon_read(IconPixels *icon) {
    *icon = IconPixels{};
    if (!icon_path[0]) return 0;
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, icon_path)) return 0;
    if (image.width > ICON_MAX_SIDE || image.height > ICON_MAX_SIDE) {
        png_image_free(&image);
        return 0;
    }
    image.format = PNG_FORMAT_RGBA;
    auto *rgba = static_cast<uint8_t *>(std::malloc(PNG_IMAGE_SIZE(image)));
    if (!rgba || !png_image_finish_read(&image, nullptr, rgba, 0, nullptr)) {
        std::free(rgba);
        png_image_free(&image);
        return 0;
    }
    *icon = IconPixels{int32_t(image.width), int32_t(image.height), rgba};
    return 1;
}

void icon_free(IconPixels *icon) {
    std::free(icon->rgba);
    *icon = IconPixels{};
}
