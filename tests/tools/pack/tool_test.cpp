// Tests of the quellmoor-pack program: its commands, exit statuses and messages.

#include "helpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Bytes = std::string;

struct ToolTest : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("qm_pack_tool_" + std::to_string(getpid()));
    std::string out, err;
    std::vector<std::pair<std::string, Bytes>> inputs;

    void SetUp() override {
        fs::create_directories(dir / "in");
        fs::create_directories(dir / "out");
        Bytes text, noise(20000, 0);
        for (int i = 0; i < 3000; i++) {
            std::string line = "Polygon " + std::to_string(i % 97) + " Surf metal\n";
            text.insert(text.end(), line.begin(), line.end());
        }
        uint32_t s = 1;
        for (char &b : noise) b = char((s = s * 1664525u + 1013904223u) >> 24);
        inputs = {{"scene.lws", text}, {"noise.tga", noise}, {"empty.lwo", {}}, {"one.bin", {'!'}}};
        for (auto &[name, bytes] : inputs) write_text(dir / "in" / name, bytes);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs the tool in dir; returns its exit status, keeping what it printed in out and err.
    int run(const std::string &args) {
        const CommandResult r =
            run_command("cd '" + dir.string() + "' && '" + QM_PACK_BIN + "' " + args);
        out = r.out;
        err = r.err;
        return r.status;
    }
    bool printed(const std::string &what) { return (out + err).find(what) != std::string::npos; }
    const std::string all = "in/scene.lws in/noise.tga in/empty.lwo in/one.bin";
};

TEST_F(ToolTest, CreateListExtractAndVerifyNamesTheDamage) {
    ASSERT_EQ(run("create a.dat " + all), 0) << err;
    ASSERT_EQ(run("list a.dat"), 0) << err;
    EXPECT_TRUE(printed("scene.lws") && printed("one.bin"));
    EXPECT_TRUE(printed("compressed") && printed("stored")); // the text and the noise
    EXPECT_EQ(run("verify a.dat"), 0) << err;

    ASSERT_EQ(run("extract a.dat -C out"), 0) << err;
    for (auto &[name, bytes] : inputs) EXPECT_TRUE(read_text(dir / "out" / name) == bytes) << name;
    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out");
    ASSERT_EQ(run("extract a.dat 'data\\SCENE.LWS' -C out"), 0) << err;
    EXPECT_TRUE(fs::exists(dir / "out" / "scene.lws"));
    EXPECT_FALSE(fs::exists(dir / "out" / "noise.tga"));
    EXPECT_NE(run("extract a.dat nothere.tga -C out"), 0);
    EXPECT_TRUE(printed("nothere.tga"));

    // Verify names the damage: the archive cut in half, one bit in the last entry's data (just
    // before the 23-byte trailer).
    Bytes good = read_text(dir / "a.dat"), bad = good;
    write_text(dir / "a.dat", Bytes(good.begin(), good.begin() + long(good.size() / 2)));
    EXPECT_NE(run("verify a.dat"), 0);
    EXPECT_TRUE(printed("a.dat")) << err;
    bad[bad.size() - 24] ^= 0x20;
    write_text(dir / "a.dat", bad);
    EXPECT_NE(run("verify a.dat"), 0);
    EXPECT_TRUE(printed("one.bin")) << err;

    ASSERT_EQ(run("create a.dat --store " + all), 0) << err;
    run("list a.dat");
    EXPECT_FALSE(printed("compressed"));
}

TEST_F(ToolTest, RefusesBadRequests) {
    std::string long_name(128, 'n');
    write_text(dir / "in" / long_name, {1, 2, 3});
    EXPECT_NE(run("create a.dat in/" + long_name), 0);
    EXPECT_TRUE(printed("127"));
    EXPECT_FALSE(fs::exists(dir / "a.dat"));

    fs::create_directories(dir / "in" / "sub");
    write_text(dir / "in" / "sub" / "SCENE.lws", {1});
    EXPECT_NE(run("create a.dat in/scene.lws in/sub/SCENE.lws"), 0);
    EXPECT_TRUE(printed("SCENE.lws"));
    EXPECT_NE(run("create a.dat in/missing.tga"), 0);
    EXPECT_TRUE(printed("missing.tga"));
    EXPECT_NE(run("list in/scene.lws"), 0);
    EXPECT_TRUE(printed("scene.lws"));

    // A hand-made archive whose entry name climbs out of the folder it is extracted to.
    Bytes b(128, 0);
    std::string up = "../escaped.txt";
    std::copy(up.begin(), up.end(), b.begin());
    auto put32 = [&b](uint32_t v) {
        for (int i = 0; i < 4; i++) b.push_back(uint8_t(v >> (8 * i)));
    };
    put32(2), put32(2), b += "hi";
    for (uint32_t v : {0u, 0u, 1u, 0u}) put32(v); // reserved, first offset, count, reserved
    b += "QVX.VFS";
    write_text(dir / "a.dat", b);
    EXPECT_NE(run("extract a.dat -C out"), 0);
    EXPECT_TRUE(printed("escaped.txt"));
    EXPECT_FALSE(fs::exists(dir / "escaped.txt"));
}

// GNU style: options anywhere, "--" before a file whose name starts with '-', -C joined or
// apart; an option of another command or an unknown one is a usage error naming it.
TEST_F(ToolTest, OptionsAsGnuToolsTakeThem) {
    write_text(dir / "-dash.bin", "dash");
    ASSERT_EQ(run("create --store a.dat in/one.bin -- -dash.bin"), 0) << err;
    run("list a.dat");
    EXPECT_TRUE(printed("-dash.bin") && printed("stored") && !printed("compressed"));
    ASSERT_EQ(run("extract -Cout a.dat one.bin"), 0) << err;
    EXPECT_EQ(read_text(dir / "out" / "one.bin"), "!");
    ASSERT_EQ(run("extract -C out a.dat -- -dash.bin"), 0) << err;
    EXPECT_EQ(read_text(dir / "out" / "-dash.bin"), "dash");

    EXPECT_EQ(run("list a.dat --store"), 2);
    EXPECT_EQ(run("create b.dat -C out in/one.bin"), 2);
    EXPECT_EQ(run("extract a.dat -C"), 2);
    EXPECT_EQ(run("list --squash a.dat"), 2);
    EXPECT_TRUE(printed("quellmoor-pack: unknown option '--squash'") && printed("usage:")) << err;
    EXPECT_FALSE(fs::exists(dir / "b.dat"));
    EXPECT_EQ(run("list a.dat --version"), 0);
    EXPECT_TRUE(printed("quellmoor-pack "));
    const CommandResult r = run_command("'" QM_PACK_BIN "' --help >/dev/full");
    out = r.out, err = r.err;
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(printed("quellmoor-pack: write error")) << err;
}

} // namespace
