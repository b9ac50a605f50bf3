// Tests of the command line.

#include "data/memory.h"
#include "shell/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
    std::vector<std::string> args; // opts points into these
    OptionsResult result;
    Options opts;
    std::string err;
};

Parsed parse(const std::vector<const char *> &args) {
    Parsed p;
    p.args = {"quellmoor"};
    for (const char *a : args) p.args.push_back(a);
    std::vector<char *> argv;
    for (auto &s : p.args) argv.push_back(s.data());
    argv.push_back(nullptr); // as main is given it
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    p.result = options_parse(int(argv.size()) - 1, argv.data(), &p.opts);
    testing::internal::GetCapturedStdout();
    p.err = testing::internal::GetCapturedStderr();
    return p;
}

struct OptionsTest : testing::Test {
    void TearDown() override { mem_free_all(); }
};

TEST_F(OptionsTest, SettingsSkipTheDialog) {
    for (auto args : {std::vector<const char *>{"--vsync"}, {"--windowed"}, {"--no-dialog"}}) {
        Parsed p = parse(args);
        ASSERT_EQ(p.result, OPTIONS_RUN) << args[0];
        EXPECT_EQ(p.opts.show_dialog, 0) << args[0];
    }
    Parsed p = parse({"--depth", "16", "--sound-device", "3", "--vsync", "--windowed"});
    EXPECT_EQ(p.opts.show_dialog, 0);
    EXPECT_EQ(p.opts.color_depth, 16);
    EXPECT_EQ(p.opts.sound_device, 3);
    EXPECT_EQ(p.opts.vertical_retrace, 1);
    EXPECT_EQ(p.opts.windowed, 1);
    EXPECT_EQ(parse({"--sound-device", "none"}).opts.sound_device, OPT_SOUND_NONE);
    // --data and --part are not settings of the dialog: it is still shown.
    p = parse({"--data", "/somewhere", "--part", "4", "--ticks", "1"});
    EXPECT_EQ(p.opts.show_dialog, 1);
    EXPECT_STREQ(p.opts.data_dir, "/somewhere");
    EXPECT_EQ(p.opts.start_part, 4);
    EXPECT_EQ(p.opts.stop_after, 1);
}

TEST_F(OptionsTest, HeadlessRecordingAndTheBenchmarkSkipTheDialog) {
    Parsed p = parse({"--sound-device", "0", "--headless"});
    ASSERT_EQ(p.result, OPTIONS_RUN);
    EXPECT_EQ(p.opts.headless, 1);
    EXPECT_EQ(p.opts.show_dialog, 0);
    EXPECT_EQ(p.opts.sound_device, OPT_SOUND_NONE);
    EXPECT_EQ(p.opts.start_part, 1);
    // Recording is headless with the music (the offline device) unless sound is off.
    p = parse({"--record", "a.mp4", "--scale", "3", "--part", "5"});
    ASSERT_EQ(p.result, OPTIONS_RUN);
    EXPECT_STREQ(p.opts.record_path, "a.mp4");
    EXPECT_EQ(p.opts.record_scale, 3);
    EXPECT_EQ(p.opts.headless, 1);
    EXPECT_EQ(p.opts.show_dialog, 0);
    EXPECT_EQ(p.opts.sound_device, 0);
    EXPECT_EQ(parse({"--record", "a.mp4", "--sound-device", "none"}).opts.sound_device,
              OPT_SOUND_NONE);
    EXPECT_EQ(parse({"--record", "a.mp4", "--scale", "1"}).result, OPTIONS_RUN);
    p = parse({"--benchmark", "--part", "3"});
    ASSERT_EQ(p.result, OPTIONS_RUN);
    EXPECT_EQ(p.opts.headless, 1);
    EXPECT_EQ(p.opts.sound_device, OPT_SOUND_NONE);
}

TEST_F(OptionsTest, FrameTicksAreSortedWithoutRepeats) {
    Parsed p = parse({"--frames", "out", "--at", "300,5,70,5,0"});
    ASSERT_EQ(p.result, OPTIONS_RUN);
    ASSERT_EQ(p.opts.frames_at_count, 4);
    EXPECT_EQ(p.opts.frames_at[0], 0);
    EXPECT_EQ(p.opts.frames_at[1], 5);
    EXPECT_EQ(p.opts.frames_at[2], 70);
    EXPECT_EQ(p.opts.frames_at[3], 300);
    p = parse({"--every", "50", "--frames", "out"});
    ASSERT_EQ(p.result, OPTIONS_RUN);
    EXPECT_EQ(p.opts.frames_every, 50);
}

// GNU style: a value joined by '=', "--" ending the options, options after other words.
TEST_F(OptionsTest, ValuesJoinedByEqualsAndTheEndOfOptions) {
    Parsed p = parse({"--depth=16", "--part=4", "--data=/a=b", "--sound-device=none", "--"});
    ASSERT_EQ(p.result, OPTIONS_RUN) << p.err;
    EXPECT_EQ(p.opts.color_depth, 16);
    EXPECT_EQ(p.opts.start_part, 4);
    EXPECT_STREQ(p.opts.data_dir, "/a=b");
    EXPECT_EQ(p.opts.sound_device, OPT_SOUND_NONE);
    EXPECT_EQ(p.opts.show_dialog, 0);
    // A value that looks like an option is still the value; a second parse starts afresh.
    p = parse({"--frames", "--every", "--at=3"});
    ASSERT_EQ(p.result, OPTIONS_RUN) << p.err;
    EXPECT_STREQ(p.opts.frames_dir, "--every");
    EXPECT_EQ(p.opts.frames_at_count, 1);
    // After "--" an option is a word the program does not take.
    p = parse({"--", "--vsync"});
    EXPECT_EQ(p.result, OPTIONS_BAD);
    EXPECT_NE(p.err.find("'--vsync'"), std::string::npos) << p.err;
    EXPECT_EQ(p.opts.vertical_retrace, 0);
}

// The messages name what was wrong, as they always have.
TEST_F(OptionsTest, MessagesNameTheFault) {
    const std::vector<std::pair<std::vector<const char *>, const char *>> cases = {
        {{"--fullscreen"}, "unknown option '--fullscreen'"},
        {{"-x"}, "unknown option '-x'"},
        {{"--vsync=1"}, "--vsync takes no value"},
        {{"--depth=32"}, "--depth takes 16 or 24, not '32'"},
        {{"--depth"}, "--depth takes 16 or 24, not ''"},
        {{"--data="}, "--data needs a folder"},
        {{"--record"}, "--record needs a file name"},
        {{"--part", "13"}, "--part takes a part number from 1 to 12, not '13'"},
    };
    for (const auto &[args, message] : cases) {
        Parsed p = parse(args);
        EXPECT_EQ(p.result, OPTIONS_BAD) << args[0];
        EXPECT_NE(p.err.find(std::string("quellmoor: ") + message), std::string::npos) << p.err;
    }
}

TEST_F(OptionsTest, BadCommandLinesAreRefusedWithAMessage) {
    const std::vector<std::vector<const char *>> bad = {
        {"--depth", "32"},
        {"--depth"},
        {"--part", "0"},
        {"--part", "13"},
        {"--part", "2x"},
        {"--part", ""},
        {"--ticks", "0"},
        {"--sound-device", "-1"},
        {"--sound-device", "x"},
        {"--frames", "out"},
        {"--every", "50"},
        {"--frames", "o", "--every", "0"},
        {"--frames", "o", "--at", "1,,2"},
        {"--frames", "o", "--at", "-5"},
        {"--frames", "o", "--at", "5,"},
        {"--frames", "o", "--at", "1", "--every", "2"},
        {"--fullscreen"},
        {"--data"},
        {"extra"},
        {"--scale", "2"},
        {"--record", "a.mp4", "--scale", "9"},
        {"--record"},
        {"--record", "a.mp4", "--benchmark"},
        {"--record", "a.mp4", "--frames", "d", "--every", "3"},
    };
    for (const auto &args : bad) {
        Parsed p = parse(args);
        EXPECT_EQ(p.result, OPTIONS_BAD) << args[0];
        EXPECT_NE(p.err.find("quellmoor: "), std::string::npos) << args[0];
        EXPECT_NE(p.err.find("--help"), std::string::npos) << args[0];
    }
}

} // namespace
