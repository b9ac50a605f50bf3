// part_fixture.cpp -- the stage every part test sets up.

#include "part_fixture.h"

#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/faults.h"
#include "stage/stage.h"

#include <filesystem>
#include <fstream>

Image *flat_image(int32_t width, int32_t height, uint32_t word) {
    Image *p = image_create(width, height, 0);
    for (int32_t i = 0; i < width * height; i++) p->pixels[i] = word;
    return p;
}

static std::string motion(const std::string &keyword, float x, float y, float z) {
    char key[96];
    std::snprintf(key, sizeof key, "%g %g %g 0 0 0 1 1 1", x, y, z);
    return keyword + " (unnamed)\r\n9\r\n1\r\n" + key + "\r\n0 0 0 0 0\r\n\r\n";
}

std::string scene_text(const std::vector<Placed> &objects, bool with_light, float light_z,
                       float camera_z) {
    std::string s = "LWSC\r\n1\r\n\r\n";
    for (const Placed &o : objects)
        s += "LoadObject data\\" + o.file + "\r\n" + motion("ObjectMotion", o.x, o.y, o.z);
    if (with_light) s += "AddLight\r\n" + motion("LightMotion", 0, 0, light_z);
    return s + "ShowCamera 1 7\r\n" + motion("CameraMotion", 0, 0, camera_z);
}

void PartFixture::SetUp() {
    std::filesystem::create_directories(data);
    file_set_data_dir(dir.c_str());
    data_clear_error();
    fault_reset();
    FrameBuffer = image_create(512, 256, IMG_DEPTH | 7);
    WorkImageA = image_create(512, 256, 7);
    WorkImageB = image_create(512, 256, 7);
    WorkImageLarge = image_create(512, 512, 7);
    BarUp = flat_image(304, 29, BAR_PIXEL[0]);
    BarDown = flat_image(304, 29, BAR_PIXEL[1]);
    BarLeft = flat_image(24, 307, BAR_PIXEL[2]);
    BarRight = flat_image(24, 307, BAR_PIXEL[3]);
    for (int n = 1; n <= 12; n++) {
        const bool upright = n == 3 || n == 4 || n == 9 || n == 10;
        TextStrip[n] = flat_image(upright ? 24 : 256, upright ? 256 : 24, caption_pixel(n));
    }
    ASSERT_TRUE(FrameBuffer && WorkImageA && WorkImageB && WorkImageLarge);
    display_brightness = BRIGHTNESS_NEUTRAL;
}

void PartFixture::TearDown() {
    file_set_data_dir(nullptr);
    mem_free_all();
    remove_tree(dir);
}

bool PartFixture::use_forge_data() const {
    return copy_forge_data(QM_BUILD_DIR "/forge", dir);
}

void PartFixture::restore_data(const std::string &name) const {
    std::filesystem::copy_file(QM_BUILD_DIR "/forge/data/" + name, data + "/" + name,
                               std::filesystem::copy_options::overwrite_existing);
}

void PartFixture::write_data(const std::string &name, const std::string &bytes) const {
    std::ofstream(data + "/" + name, std::ios::binary) << bytes;
}

void PartFixture::write_data(const std::string &name, const std::vector<uint8_t> &bytes) const {
    write_data(name, std::string(bytes.begin(), bytes.end()));
}

int PartFixture::frame(PartRun run, float dt) {
    frame_time = dt;
    return run();
}

int PartFixture::frames(PartRun run, int n, float dt) {
    for (int k = 1; k <= n; k++)
        if (!frame(run, dt)) return k;
    return 0;
}

uint32_t PartFixture::fb(int x, int y) {
    return FrameBuffer->pixels[y * 512 + x];
}

uint32_t PartFixture::work(int x, int y) {
    return WorkImageA->pixels[y * 512 + x];
}

std::string PartFixture::error() {
    return data_last_error();
}
