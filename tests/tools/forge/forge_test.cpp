// forge_test.cpp -- the forge's output: complete, repeatable, and fit for the places the show
// draws it
#include "data/image.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const char *const picture_names[] = {
    "loading.jpg",  "loadalph.jpg", "quellmor.jpg", "girl.jpg",    "moorlight.jpg",
    "barup.tga",    "bardown.tga",  "barleft.tga",  "baright.tga", "barupa.tga",
    "bardowna.tga", "barlefta.tga", "barighta.tga", "tx1.tga",     "tx2.tga",
    "tx3.tga",      "tx4.tga",      "tx5.tga",      "tx6.tga",     "tx7.tga",
    "tx8.tga",      "tx9.tga",      "tx10.tga",     "tx11.tga",    "tx12.tga",
};

int run(const std::string &command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<char> read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// One forge run shared by the tests of this file (it takes a fraction of a second, but twice
// under the sanitizers is enough).
class ForgeOutput : public ::testing::Test {
  protected:
    static std::string dir;
    static void SetUpTestSuite() {
        char name[] = "/tmp/forge_out_XXXXXX";
        dir = mkdtemp(name);
        ASSERT_EQ(run(std::string(FORGE_PROGRAM) + " --out " + dir), 0);
    }
    static void TearDownTestSuite() { run("rm -rf " + dir); }
    static std::string data(const char *name) { return dir + "/data/" + name; }
    static Image *load(const char *name) {
        std::string path = data(name);
        size_t n = path.size();
        return path.compare(n - 4, 4, ".tga") == 0 ? load_tga(path.c_str(), 0)
                                                   : load_jpeg(path.c_str(), 0);
    }
};
std::string ForgeOutput::dir;

uint8_t red(uint32_t p) {
    return (uint8_t)(p >> 8);
}
uint8_t green(uint32_t p) {
    return (uint8_t)(p >> 16);
}
uint8_t blue(uint32_t p) {
    return (uint8_t)(p >> 24);
}

TEST_F(ForgeOutput, SameBytesOnASecondRun) {
    char name[] = "/tmp/forge_again_XXXXXX";
    std::string again = mkdtemp(name);
    ASSERT_EQ(run(std::string(FORGE_PROGRAM) + " --out " + again), 0);
    EXPECT_EQ(run("diff -r " + dir + " " + again + " >/dev/null"), 0);
    run("rm -rf " + again);
}

TEST_F(ForgeOutput, EveryPictureLoadsAtItsSize) {
    bool identify = run("command -v identify >/dev/null 2>&1") == 0;
    for (const char *name : picture_names) {
        Image *img = load(name);
        ASSERT_NE(img, nullptr) << name;
        std::string n = name;
        int w = 512, h = 256;
        if (n.rfind("bar", 0) == 0) {
            bool side =
                n.find("left") != n.npos || n.find("right") != n.npos || n.find("aright") != n.npos;
            w = side ? 24 : 304, h = side ? 307 : 29;
        } else if (n.rfind("tx", 0) == 0) {
            bool side = n == "tx3.tga" || n == "tx4.tga" || n == "tx9.tga" || n == "tx10.tga";
            w = side ? 24 : 256, h = side ? 256 : 24;
        }
        EXPECT_EQ(img->width, w) << name;
        EXPECT_EQ(img->height, h) << name;
        image_free(img);
        if (!identify) continue;
        char cmd[512];
        snprintf(cmd, sizeof cmd, "identify -format '%%w %%h' %s | grep -qx '%d %d'",
                 data(name).c_str(), w, h);
        EXPECT_EQ(run(cmd), 0) << "identify disagrees on " << name;
    }
}

// Where the parts draw each caption relative to its bar, as (column, row) of the caption's
// top-left corner in the bar picture; the two lower placements differ by two rows.
struct Placement {
    const char *caption;
    const char *bar;
    const char *alpha;
    int dx, dy;
};

const Placement placements[] = {
    {"tx1.tga", "barup.tga", "barupa.tga", 32, 0},
    {"tx2.tga", "bardown.tga", "bardowna.tga", 14, 2},
    {"tx3.tga", "barleft.tga", "barlefta.tga", 0, 0},
    {"tx4.tga", "baright.tga", "barighta.tga", 0, 57},
    {"tx5.tga", "barup.tga", "barupa.tga", 32, 0},
    {"tx6.tga", "bardown.tga", "bardowna.tga", 14, 2},
    {"tx7.tga", "barup.tga", "barupa.tga", 32, 0},
    {"tx8.tga", "bardown.tga", "bardowna.tga", 14, 2},
    {"tx9.tga", "barleft.tga", "barlefta.tga", 0, 0},
    {"tx10.tga", "baright.tga", "barighta.tga", 0, 57},
    {"tx11.tga", "barup.tga", "barupa.tga", 32, 0},
    {"tx12.tga", "bardown.tga", "bardowna.tga", 14, 4},
};

bool is_key(uint32_t p, bool vertical) {
    return vertical ? (red(p) == 1 && green(p) == 114 && blue(p) == 255)
                    : (red(p) == 255 && green(p) == 173 && blue(p) == 1);
}

TEST_F(ForgeOutput, CaptionsAreExactKeyOrClearlyNotKey) {
    for (const Placement &pl : placements) {
        Image *tx = load(pl.caption);
        ASSERT_NE(tx, nullptr) << pl.caption;
        bool vertical = tx->width == 24;
        int keyed = 0, near = 0;
        for (int i = 0; i < tx->width * tx->height; i++) {
            uint32_t p = tx->pixels[i];
            if (is_key(p, vertical)) {
                keyed++;
                continue;
            }
            int kr = vertical ? 1 : 255, kg = vertical ? 114 : 173, kb = vertical ? 255 : 1;
            int d =
                std::max({std::abs(red(p) - kr), std::abs(green(p) - kg), std::abs(blue(p) - kb)});
            near += d < 96;
        }
        int total = tx->width * tx->height;
        EXPECT_EQ(near, 0) << pl.caption << ": pixels close to the key would show as a halo";
        EXPECT_GT(keyed, total / 3) << pl.caption;
        EXPECT_GT(total - keyed, 400) << pl.caption << ": too few letters";
        image_free(tx);
    }
}

TEST_F(ForgeOutput, CaptionLettersSitOnTheirBarAndOnScreen) {
    for (const Placement &pl : placements) {
        Image *tx = load(pl.caption), *alpha = load(pl.alpha);
        ASSERT_TRUE(tx && alpha) << pl.caption;
        bool vertical = tx->width == 24;
        for (int y = 0; y < tx->height; y++) {
            for (int x = 0; x < tx->width; x++) {
                if (is_key(tx->pixels[y * tx->width + x], vertical)) continue;
                int bx = x + pl.dx, by = y + pl.dy;
                ASSERT_TRUE(bx < alpha->width && by < alpha->height)
                    << pl.caption << " letter at " << x << "," << y << " is past its bar";
                // The show copies bar pixels whose mask (alpha picture level) is 0.
                uint32_t a = alpha->pixels[by * alpha->width + bx];
                ASSERT_EQ(red(a), 0)
                    << pl.caption << " letter at " << x << "," << y << " is off the bar";
            }
        }
        image_free(tx);
        image_free(alpha);
    }
}

TEST_F(ForgeOutput, BarMasksAreHardAndGreyInEveryByteTheLoaderReads) {
    for (const char *name : {"barupa.tga", "bardowna.tga", "barlefta.tga", "barighta.tga"}) {
        Image *a = load(name);
        ASSERT_NE(a, nullptr) << name;
        int drawn = 0;
        for (int i = 0; i < a->width * a->height; i++) {
            uint32_t p = a->pixels[i];
            ASSERT_TRUE(red(p) == blue(p) && red(p) == green(p)) << name;
            ASSERT_TRUE(red(p) == 0 || red(p) == 255) << name;
            drawn += red(p) == 0;
        }
        // The bar covers most of its picture; only the cut end is see-through.
        EXPECT_GT(drawn, a->width * a->height * 8 / 10) << name;
        EXPECT_LT(drawn, a->width * a->height) << name;
        image_free(a);
    }
}

int luma(uint32_t p) {
    return (red(p) * 3 + green(p) * 6 + blue(p)) / 10;
}

TEST_F(ForgeOutput, LoadingScreenFramesTheProgressBar) {
    Image *img = load("loading.jpg");
    ASSERT_NE(img, nullptr);
    auto at = [&](int x, int y) { return luma(img->pixels[y * 512 + x]); };
    // The well where the bar grows is dark, the frame line two pixels outside it bright.
    for (int x = 196; x < 324; x += 9) {
        EXPECT_LT(at(x, 95), 40) << x;
        EXPECT_GT(at(x, 88), 110) << x;
        EXPECT_GT(at(x, 101), 110) << x;
    }
    for (int y = 91; y < 99; y += 3) {
        EXPECT_GT(at(193, y), 110) << y;
        EXPECT_GT(at(326, y), 110) << y;
    }
    image_free(img);
}

TEST_F(ForgeOutput, DissolveMapSweepsSmoothlyAndMostlyBelowTheFinalThreshold) {
    Image *img = load("loadalph.jpg");
    ASSERT_NE(img, nullptr);
    int below = 0, lo = 255, hi = 0;
    long jumps = 0;
    for (int y = 0; y < 256; y++) {
        for (int x = 0; x < 512; x++) {
            int v = red(img->pixels[y * 512 + x]);
            below += v < 96;
            lo = std::min(lo, v), hi = std::max(hi, v);
            if (x > 0) jumps += std::abs(v - red(img->pixels[y * 512 + x - 1]));
        }
    }
    EXPECT_GT(below, 512 * 256 * 6 / 10);
    EXPECT_LE(lo, 8);
    EXPECT_GE(hi, 200);
    EXPECT_LT(jumps / (511 * 256), 3) << "the map should be a smooth field, not speckle";
    // A direction: the middle goes before the rim.
    int middle = red(img->pixels[100 * 512 + 256]), corner = red(img->pixels[5 * 512 + 5]);
    EXPECT_LT(middle + 60, corner);
    image_free(img);
}

// A picture worth looking at has light and dark and colour, not a flat field.
TEST_F(ForgeOutput, ArtPicturesHaveRangeAndColour) {
    for (const char *name : {"quellmor.jpg", "girl.jpg", "moorlight.jpg", "loading.jpg"}) {
        Image *img = load(name);
        ASSERT_NE(img, nullptr) << name;
        int lo = 255, hi = 0;
        long chroma = 0;
        for (int i = 0; i < 512 * 256; i++) {
            uint32_t p = img->pixels[i];
            lo = std::min(lo, luma(p)), hi = std::max(hi, luma(p));
            chroma += std::max({red(p), green(p), blue(p)}) - std::min({red(p), green(p), blue(p)});
        }
        EXPECT_GT(hi - lo, 150) << name;
        EXPECT_GT(chroma / (512 * 256), 12) << name;
        image_free(img);
    }
}

TEST_F(ForgeOutput, PackedArchiveVerifies) {
#ifndef PACK_PROGRAM
    GTEST_SKIP() << "quellmoor-pack is not built";
#else
    std::string archive = dir + "/test.dat";
    ASSERT_EQ(run(std::string(PACK_PROGRAM) + " create " + archive + " " + dir + "/data/*"), 0);
    EXPECT_EQ(run(std::string(PACK_PROGRAM) + " verify " + archive + " >/dev/null"), 0);
    // The archive the build step made beside the program, when it has been made.
    std::string built = std::string(QM_BUILD_DIR) + "/quellmor.dat";
    if (access(built.c_str(), R_OK) == 0) {
        EXPECT_EQ(run(std::string(PACK_PROGRAM) + " verify " + built + " >/dev/null"), 0);
    }
#endif
}

TEST(ForgeProgram, BadArgumentsAndUnwritableFoldersFailWithAMessage) {
    std::string prog = FORGE_PROGRAM;
    EXPECT_NE(run(prog + " 2>/dev/null"), 0);
    EXPECT_NE(run(prog + " --out 2>/dev/null"), 0);
    char name[] = "/tmp/forge_ro_XXXXXX";
    std::string dir = mkdtemp(name);
    std::string blocked = dir + "/file";
    std::ofstream(blocked) << "x";
    // A plain file where the output folder should be.
    std::string err = dir + "/err.txt";
    EXPECT_NE(run(prog + " --out " + blocked + " 2>" + err), 0);
    std::vector<char> text = read_file(err);
    EXPECT_NE(std::string(text.begin(), text.end()).find(blocked), std::string::npos);
    run("rm -rf " + dir);
}

} // namespace
