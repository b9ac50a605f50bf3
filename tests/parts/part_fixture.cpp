// part_fixture.cpp -- the stage every part test sets up.

#include "part_fixture.h"

#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"
#include "picture_write.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/faults.h"
#include "stage/stage.h"

#include <filesystem>

Image *flat_image(int32_t width, int32_t height, uint32_t word) {
    Image *p = image_create(width, height, 0);
    for (int32_t i = 0; i < width * height; i++) p->pixels[i] = word;
    return p;
}

static std::string still(const std::string &keyword, const char *key) {
    return keyword + " (unnamed)\r\n9\r\n1\r\n" + key + "\r\n0 0 0 0 0\r\n\r\n";
}

std::string scene_text(const std::vector<std::string> &objects) {
    std::string s = "LWSC\r\n1\r\n\r\n";
    for (const std::string &o : objects)
        s += (o.empty() ? "AddNullObject Null\r\n" : "LoadObject data\\" + o + "\r\n") +
             still("ObjectMotion", "0 0 0 0 0 0 1 1 1");
    return s + "ShowCamera 1 7\r\n" + still("CameraMotion", "0 0 -500 0 0 0 1 1 1");
}

std::string without_lights(std::string scene) {
    for (size_t at; (at = scene.find("AddLight")) != std::string::npos;)
        scene.erase(at, scene.find("\r\n\r\n", at) + 4 - at);
    return scene;
}

void PartFixture::SetUp() {
    if (!copy_forge_data(QM_BUILD_DIR "/forge", dir))
        GTEST_SKIP() << "the forge has not made the show's data";
    file_set_data_dir(dir.c_str());
    data_clear_error();
    fault_reset();
    make_stage();
}

void PartFixture::make_stage() {
    ASSERT_TRUE(stage_create_images() && stage_plain_pictures());
    display_brightness = BRIGHTNESS_NEUTRAL;
}

void PartFixture::TearDown() {
    file_set_data_dir(nullptr);
    mem_free_all();
}

std::string PartFixture::read_data(const std::string &name) const {
    return read_text(data + "/" + name);
}

void PartFixture::write_data(const std::string &name, const std::string &bytes) const {
    write_text(data + "/" + name, bytes);
}

void PartFixture::restore_data(const std::string &name) const {
    std::filesystem::copy_file(QM_BUILD_DIR "/forge/data/" + name, data + "/" + name,
                               std::filesystem::copy_options::overwrite_existing);
}

void PartFixture::write_flat_jpeg(const std::string &name, int width, int height) const {
    std::vector<uint8_t> rgb;
    for (int i = 0; i < width * height; i++) rgb.insert(rgb.end(), {1, 2, 3});
    ASSERT_TRUE(jpeg_save((data + "/" + name).c_str(), width, height, rgb.data(), 95));
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

std::string PartFixture::error() {
    return data_last_error();
}
