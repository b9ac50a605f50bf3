// The show under a locale whose decimal point is a comma (as a German desktop sets it): scenes
// read the same numbers and the frames come out the same.

#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"
#include "engine/motion.h"
#include "engine/object.h"
#include "engine/scene.h"
#include "show_files.h"

#include <gtest/gtest.h>

#include <clocale>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

struct CommaLocaleTest : testing::Test {
    std::string dir = make_temp_dir();
    const std::string &locales = comma_locale_dir();
    void SetUp() override {
        ASSERT_NE(locales, "") << "localedef cannot make de_DE.UTF-8 (install \"locales\")";
        if (!copy_forge_data(QM_BUILD_DIR "/forge", dir))
            GTEST_SKIP() << "the forge has not made the show's data";
    }
    void TearDown() override {
        std::setlocale(LC_ALL, "C");
        file_set_data_dir(nullptr);
        mem_free_all();
        remove_tree(dir);
    }
    // The screen of tick 300 of part 3 (a scene), from a headless run with env added.
    std::string magnet_frame(const std::string &name, const std::vector<std::string> &env) {
        std::string frames = dir + "/" + name, png = frames + "/frame-000300.png";
        pid_t show = start_program(
            QM_PROGRAM,
            {"--headless", "--part", "3", "--data", dir, "--frames", frames, "--at", "300,301"},
            dir + "/" + name + ".txt", env);
        // Until tick 301 is written (so 300 is complete), or the program has given up.
        for (int i = 0; i < 1200 && !std::filesystem::exists(frames + "/frame-000301.png"); i++) {
            if (waitpid(show, nullptr, WNOHANG) == show) return "";
            std::this_thread::sleep_for(100ms);
        }
        kill(show, SIGKILL);
        wait_program(show, 10s);
        std::ifstream in(png, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

// Every key of every motion, as numbers with their bits.
void expect_same_keys(const Motion *a, const Motion *b) {
    ASSERT_EQ(a == nullptr, b == nullptr);
    if (!a) return;
    ASSERT_EQ(a->key_count, b->key_count);
    const MotionKey *p = a->first, *q = b->first;
    for (int i = 0; i < a->key_count; i++, p = p->next, q = q->next) {
        EXPECT_EQ(std::memcmp(p->value, q->value, sizeof p->value), 0) << i;
        EXPECT_EQ(p->frame, q->frame);
        EXPECT_EQ(p->tension, q->tension);
        EXPECT_EQ(p->continuity, q->continuity);
        EXPECT_EQ(p->bias, q->bias);
    }
}

TEST_F(CommaLocaleTest, ScenesReadTheSameNumbers) {
    file_set_data_dir(dir.c_str());
    const char *name = "data\\magnscen.lws";
    Scene *plain = load_scene(name, 512, 256, 400.0f, 0x51);
    ASSERT_NE(plain, nullptr) << data_last_error();
    setenv("LOCPATH", locales.c_str(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    Scene *comma = load_scene(name, 512, 256, 400.0f, 0x51);
    ASSERT_NE(comma, nullptr) << data_last_error();
    ASSERT_EQ(comma->object_count, plain->object_count);
    for (int i = 0; i < plain->object_count; i++)
        expect_same_keys(plain->objects[i]->motion, comma->objects[i]->motion);
    ASSERT_EQ(comma->camera_count, plain->camera_count);
    for (int i = 0; i < plain->camera_count; i++)
        expect_same_keys(plain->cameras[i]->motion, comma->cameras[i]->motion);
}

TEST_F(CommaLocaleTest, TheShowDrawsTheSameFrames) {
    std::string plain = magnet_frame("plain", {"LC_ALL=C"});
    std::string comma =
        magnet_frame("comma", {"LOCPATH=" + locales, "LC_ALL=de_DE.UTF-8", "LANG=de_DE.UTF-8"});
    ASSERT_GT(plain.size(), 1000u);
    EXPECT_TRUE(comma == plain) << "the comma locale's frame differs or is missing";
}

} // namespace
