// Tests of the quellmoor-pack program: its commands, exit statuses and messages.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct ToolRun {
    int status;
    std::string out, err;
};

struct ToolTest : ::testing::Test {
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("qm_pack_tool_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "in");
        fs::create_directories(dir / "out");
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::string slurp_text(const fs::path &p) {
        std::ifstream f(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    static Bytes slurp(const fs::path &p) {
        std::string s = slurp_text(p);
        return Bytes(s.begin(), s.end());
    }
    static void spit(const fs::path &p, const Bytes &b) {
        std::ofstream f(p, std::ios::binary);
        f.write(reinterpret_cast<const char *>(b.data()), std::streamsize(b.size()));
    }
    ToolRun run(const std::string &args) {
        std::string cmd = std::string("'") + QM_PACK_BIN + "' " + args + " >'" +
                          (dir / "stdout").string() + "' 2>'" + (dir / "stderr").string() + "'";
        int rc = std::system(cmd.c_str());
        return ToolRun{WIFEXITED(rc) ? WEXITSTATUS(rc) : 128 + WTERMSIG(rc),
                       slurp_text(dir / "stdout"), slurp_text(dir / "stderr")};
    }
    std::string in(const std::string &name) { return "'" + (dir / "in" / name).string() + "'"; }
    std::string dat() { return "'" + (dir / "a.dat").string() + "'"; }

    // Four files: text, noise, empty, one byte.
    std::vector<std::pair<std::string, Bytes>> make_inputs() {
        Bytes text, noise(20000), one{'!'};
        for (int i = 0; i < 3000; i++) {
            std::string line = "Polygon " + std::to_string(i % 97) + " Surf metal\n";
            text.insert(text.end(), line.begin(), line.end());
        }
        uint32_t s = 1;
        for (uint8_t &b : noise) b = uint8_t((s = s * 1664525u + 1013904223u) >> 24);
        std::vector<std::pair<std::string, Bytes>> files = {
            {"scene.lws", text}, {"noise.tga", noise}, {"empty.lwo", {}}, {"one.bin", one}};
        for (auto &f : files) spit(dir / "in" / f.first, f.second);
        return files;
    }
    std::string all_inputs() {
        return in("scene.lws") + " " + in("noise.tga") + " " + in("empty.lwo") + " " +
               in("one.bin");
    }
};

TEST_F(ToolTest, CreateListExtractVerify) {
    auto files = make_inputs();
    ToolRun r = run("create " + dat() + " " + all_inputs());
    ASSERT_EQ(r.status, 0) << r.err;

    r = run("list " + dat());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("scene.lws"), std::string::npos);
    EXPECT_NE(r.out.find("packed"), std::string::npos); // the text
    EXPECT_NE(r.out.find("stored"), std::string::npos); // the noise
    EXPECT_NE(r.out.find("one.bin"), std::string::npos);

    r = run("verify " + dat());
    EXPECT_EQ(r.status, 0) << r.err;

    r = run("extract " + dat() + " -C '" + (dir / "out").string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    for (auto &f : files) EXPECT_TRUE(slurp(dir / "out" / f.first) == f.second) << f.first;

    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out");
    r = run("extract " + dat() + " 'data\\SCENE.LWS' -C '" + (dir / "out").string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "out" / "scene.lws"));
    EXPECT_FALSE(fs::exists(dir / "out" / "noise.tga"));

    r = run("extract " + dat() + " nothere.tga -C '" + (dir / "out").string() + "'");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("nothere.tga"), std::string::npos);

    r = run("create " + dat() + " --store " + all_inputs());
    ASSERT_EQ(r.status, 0) << r.err;
    r = run("list " + dat());
    EXPECT_EQ(r.out.find("packed"), std::string::npos);
}

TEST_F(ToolTest, VerifyRejectsDamagedArchives) {
    make_inputs();
    ASSERT_EQ(run("create " + dat() + " " + all_inputs()).status, 0);
    Bytes good = slurp(dir / "a.dat");

    spit(dir / "a.dat", Bytes(good.begin(), good.begin() + long(good.size() / 2)));
    ToolRun r = run("verify " + dat());
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("a.dat"), std::string::npos) << r.err;

    // One bit in each entry's data in turn: verify names that entry.
    size_t at = 4 + 4 + 4 * 4 + 4;
    const char *names[] = {"scene.lws", "noise.tga", "empty.lwo", "one.bin"};
    for (const char *name : names) {
        size_t stored = size_t(good[at + 132]) | size_t(good[at + 133]) << 8 |
                        size_t(good[at + 134]) << 16 | size_t(good[at + 135]) << 24;
        if (stored > 0) {
            Bytes bad = good;
            bad[at + 136 + stored / 2] ^= 0x20;
            spit(dir / "a.dat", bad);
            r = run("verify " + dat());
            EXPECT_NE(r.status, 0) << name;
            EXPECT_NE(r.err.find(name), std::string::npos) << r.err;
        }
        at += 136 + stored;
    }
}

TEST_F(ToolTest, RefusesBadRequests) {
    make_inputs();
    std::string long_name(128, 'n');
    spit(dir / "in" / long_name, Bytes{1, 2, 3});
    ToolRun r = run("create " + dat() + " " + in(long_name));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("127"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "a.dat"));

    fs::create_directories(dir / "in" / "sub");
    spit(dir / "in" / "sub" / "SCENE.lws", Bytes{1});
    r = run("create " + dat() + " " + in("scene.lws") + " " + in("sub/SCENE.lws"));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("SCENE.lws"), std::string::npos) << r.err;

    r = run("create " + dat() + " " + in("missing.tga"));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("missing.tga"), std::string::npos) << r.err;

    EXPECT_NE(run("frobnicate " + dat()).status, 0);
    EXPECT_NE(run("list").status, 0);
    r = run("list " + in("scene.lws"));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("scene.lws"), std::string::npos) << r.err;
}

TEST_F(ToolTest, ExtractStaysInsideItsFolder) {
    // A hand-made archive whose entry name climbs out of the folder.
    Bytes b(128, 0);
    std::string name = "../escaped.txt";
    std::copy(name.begin(), name.end(), b.begin());
    for (uint32_t v : {2u, 2u})
        for (int i = 0; i < 4; i++) b.push_back(uint8_t(v >> (8 * i)));
    b.push_back('h'), b.push_back('i');
    for (uint32_t v : {0u, 0u, 1u, 0u})
        for (int i = 0; i < 4; i++) b.push_back(uint8_t(v >> (8 * i)));
    for (char c : std::string("QVX.VFS")) b.push_back(uint8_t(c));
    spit(dir / "a.dat", b);
    ToolRun r = run("extract " + dat() + " -C '" + (dir / "out").string() + "'");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("escaped.txt"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "escaped.txt"));
}

} // namespace
