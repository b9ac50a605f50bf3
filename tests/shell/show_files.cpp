// show_files.cpp -- writes small pictures and data folders for the tests

#include "show_files.h"

#include <jpeglib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <signal.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

std::string make_temp_dir() {
    char name[] = "/tmp/quellmoor-test-XXXXXX";
    if (!mkdtemp(name)) throw std::runtime_error("mkdtemp failed");
    return name;
}

void remove_tree(const std::string &dir) {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

void write_tga(const std::string &path, int width, int height, const PixelSource &pixel) {
    std::vector<uint8_t> out(18, 0);
    out[2] = 10;
    out[12] = uint8_t(width), out[13] = uint8_t(width >> 8);
    out[14] = uint8_t(height), out[15] = uint8_t(height >> 8);
    out[16] = 24;
    // Raw packets of up to 128 pixels, never crossing a row; rows bottom-up.
    for (int y = height - 1; y >= 0; y--) {
        for (int x = 0; x < width; x += 128) {
            int n = std::min(128, width - x);
            out.push_back(uint8_t(n - 1));
            for (int i = 0; i < n; i++) {
                Rgb c = pixel(x + i, y);
                out.insert(out.end(), {c.blue, c.green, c.red});
            }
        }
    }
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    std::fwrite(out.data(), 1, out.size(), f);
    std::fclose(f);
}

void write_jpeg(const std::string &path, int width, int height, const PixelSource &pixel) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(size_t(width) * 3);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            Rgb p = pixel(x, y);
            row[size_t(x) * 3] = p.red, row[size_t(x) * 3 + 1] = p.green,
                            row[size_t(x) * 3 + 2] = p.blue;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
}

static void write_bytes(const std::string &path, const void *data, size_t size) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    std::fwrite(data, 1, size, f);
    std::fclose(f);
}

static void put_u16be(std::vector<uint8_t> &out, uint32_t v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

static void put_chunk(std::vector<uint8_t> &out, const char *id, const std::vector<uint8_t> &body) {
    out.insert(out.end(), id, id + 4);
    put_u16be(out, uint32_t(body.size()) >> 16);
    put_u16be(out, uint32_t(body.size()) & 0xFFFF);
    out.insert(out.end(), body.begin(), body.end());
}

void write_cube_object(const std::string &path, int points, float half) {
    const int dx[8] = {0, 1, 1, 0, 0, 1, 1, 0}, dy[8] = {1, 1, 0, 0, 1, 1, 0, 0};
    std::vector<uint8_t> pnts, srfs = {'C', 'u', 'b', 'e', 0, 0}, pols;
    for (int m = 0; m < points && m < 8; m++) {
        const float xyz[3] = {dx[m] ? half : -half, dy[m] ? half : -half, m >= 4 ? half : -half};
        for (float f : xyz) {
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            put_u16be(pnts, bits >> 16);
            put_u16be(pnts, bits & 0xFFFF);
        }
    }
    for (uint32_t v : {3u, 0u, 1u, 2u, 1u}) put_u16be(pols, v); // one triangle, surface 1
    std::vector<uint8_t> body = {'L', 'W', 'O', 'B'};
    put_chunk(body, "PNTS", pnts);
    put_chunk(body, "SRFS", srfs);
    put_chunk(body, "POLS", pols);
    std::vector<uint8_t> file;
    put_chunk(file, "FORM", body);
    write_bytes(path, file.data(), file.size());
}

void write_metaball_scene(const std::string &path, bool with_light) {
    std::string s = "LWSC\r\n1\r\n\r\n"
                    "LoadObject data\\metacube.lwo\r\nObjectMotion (unnamed)\r\n  9\r\n  2\r\n"
                    "  0 0 128 -10 5 0 1 1 1\r\n  0 0 0 0 0\r\n"
                    "  0 0 128 10 -5 0 1 1 1\r\n  600 0 0 0 0\r\n\r\n";
    if (with_light)
        s += "AddLight\r\nLightMotion (unnamed)\r\n  9\r\n  1\r\n  0 0 -530 0 0 0 1 1 1\r\n"
             "  0 0 0 0 0\r\n\r\n";
    s += "ShowCamera 1 7\r\nCameraMotion (unnamed)\r\n  9\r\n  1\r\n  0 0 0 0 0 0 1 1 1\r\n"
         "  0 0 0 0 0\r\n\r\n";
    write_bytes(path, s.data(), s.size());
}

// The light scene's scene: two glowing corners, the lettered one nearest, a light, a camera.
static void write_light_scene(const std::string &path) {
    std::string s = "LWSC\r\n1\r\n\r\n";
    for (const char *z : {"250", "240", "200"})
        s += std::string(
                 "LoadObject data\\litecube.lwo\r\nObjectMotion (unnamed)\r\n  9\r\n  1\r\n") +
             "  0 0 " + z + " 30 20 0 1 1 1\r\n  0 0 0 0 0\r\n\r\n";
    s += "AddLight\r\nLightMotion (unnamed)\r\n  9\r\n  1\r\n  0 0 -530 0 0 0 1 1 1\r\n"
         "  0 0 0 0 0\r\n\r\n"
         "ShowCamera 1 7\r\nCameraMotion (unnamed)\r\n  9\r\n  1\r\n  0 0 0 0 0 0 1 1 1\r\n"
         "  0 0 0 0 0\r\n\r\n";
    write_bytes(path, s.data(), s.size());
}

static PixelSource flat(Rgb c) {
    return [c](int, int) { return c; };
}

void write_show_data(const std::string &dir, const std::string &skip) {
    std::string data = dir + "/data";
    std::filesystem::create_directories(data);
    auto tga = [&](const std::string &name, int w, int h, const PixelSource &p) {
        if (name != skip) write_tga(data + "/" + name, w, h, p);
    };
    auto jpeg = [&](const std::string &name, const PixelSource &p) {
        if (name != skip) write_jpeg(data + "/" + name, 512, 256, p);
    };
    // Bars: a colour picture and a grey ramp as alpha.
    auto ramp = [](int x, int) { return Rgb{uint8_t(x * 8), uint8_t(x * 8), uint8_t(x * 8)}; };
    for (const char *bar : {"bardown", "barup"}) {
        tga(std::string(bar) + ".tga", 304, 29, flat({90, 90, 120}));
        tga(std::string(bar) + "a.tga", 304, 29, ramp);
    }
    for (const char *bar : {"barleft", "baright"}) {
        tga(std::string(bar) + ".tga", 24, 307, flat({90, 90, 120}));
        tga(std::string(bar) + "a.tga", 24, 307, ramp);
    }
    // Captions: letters (white squares) on the key colour.
    for (int n = 1; n <= 12; n++) {
        bool upright = n == 3 || n == 4 || n == 9 || n == 10;
        Rgb key = upright ? Rgb{1, 114, 255} : Rgb{255, 173, 1};
        auto caption = [key](int x, int y) {
            return (x / 4 + y / 4) % 3 == 0 ? Rgb{255, 255, 255} : key;
        };
        tga("tx" + std::to_string(n) + ".tga", upright ? 24 : 256, upright ? 256 : 24, caption);
    }
    jpeg("loading.jpg", flat(LOADING_COLOUR));
    // The dissolve map: a sweep from left (dark, goes first) to right.
    jpeg("loadalph.jpg", [](int x, int) {
        uint8_t v = uint8_t(x / 2);
        return Rgb{v, v, v};
    });
    jpeg("quellmor.jpg", [](int x, int y) {
        return Rgb{uint8_t(TITLE_COLOUR.red + (x & 15)), TITLE_COLOUR.green,
                   uint8_t(TITLE_COLOUR.blue + (y & 15))};
    });
    jpeg("girl.jpg", flat(PORTRAIT_COLOUR));
    jpeg("moorlight.jpg", flat(HIDDEN_COLOUR));
    // The intro: checkered credits on their key, a sweep as their dissolve map, the logo, the
    // moor with its alpha and bob, and two tunnel textures.
    auto sized_jpeg = [&](const std::string &name, int w, int h, const PixelSource &p) {
        if (name != skip) write_jpeg(data + "/" + name, w, h, p);
    };
    auto grey = [](int v) { return Rgb{uint8_t(v), uint8_t(v), uint8_t(v)}; };
    sized_jpeg("c_alpha.jpg", 320, 64, [grey](int x, int) { return grey(x * 3 / 4); });
    for (const char *credit : {"c_rosqu", "c_pelan", "c_wimbe", "c_torku", "c_case"})
        tga(std::string(credit) + ".tga", 320, 64, [](int x, int y) {
            return (x / 8 + y / 8) % 2 ? INTRO_CREDIT_COLOUR : Rgb{255, 0, 255};
        });
    sized_jpeg("vandrel.jpg", 512, 140, flat(INTRO_LOGO_COLOUR));
    jpeg("iback.jpg", flat({20, 30, 60}));
    jpeg("ialpha.jpg", [grey](int x, int) { return grey(x / 2); });
    sized_jpeg("ibob.jpg", 128, 128, flat(grey(64)));
    sized_jpeg("itexture.jpg", 256, 256, [](int x, int y) {
        return Rgb{uint8_t(x), uint8_t(y), 0};
    });
    sized_jpeg("itextur2.jpg", 256, 256, flat({0, 0, 200}));
    // The metaball part: lettering, a chrome map whose texels tell where they are, and the cube
    // its grid lies on in a scene with a light.
    jpeg("metatxt1.jpg", flat({100, 60, 140}));
    if (skip != "metaenvm.jpg")
        write_jpeg(data + "/metaenvm.jpg", 256, 256, [](int x, int y) {
            return Rgb{uint8_t(x), uint8_t(y), 200};
        });
    if (skip != "metacube.lwo") write_cube_object(data + "/metacube.lwo", 8, 34.0f);
    if (skip != "metascen.lws") write_metaball_scene(data + "/metascen.lws", true);
    // The light scene: a background, lettering of 256 x 256 and its scene of cube corners.
    jpeg("liteback.jpg", flat({30, 20, 70}));
    sized_jpeg("litetext.jpg", 256, 256, [](int x, int y) {
        return Rgb{uint8_t(x), 90, uint8_t(y)};
    });
    if (skip != "litecube.lwo") write_cube_object(data + "/litecube.lwo", 8, 30.0f);
    if (skip != "litescen.lws") write_light_scene(data + "/litescen.lws");
    // The raytraced part's wall: texels that tell where they are.
    sized_jpeg("tracemap.jpg", 256, 256, [](int x, int y) {
        return Rgb{uint8_t(x), uint8_t(y), 128};
    });
    // The magnet part: its dissolve mask, five shapes of one box, flares, maps and a scene of the
    // box alone before a camera.
    jpeg("magnalph.jpg", [grey](int x, int) { return grey(x / 2); });
    for (const char *shape : {"magnkub1", "magnkub2", "magnkub3", "magnkub4", "magnkub5"})
        if (skip != std::string(shape) + ".lwo")
            write_cube_object(data + "/" + shape + ".lwo", 8, 100.0f);
    sized_jpeg("magnflar.jpg", 32, 32, flat(grey(200)));
    sized_jpeg("magnfla2.jpg", 32, 32, flat(grey(120)));
    sized_jpeg("magnenvm.jpg", 256, 256, [](int x, int y) {
        return Rgb{uint8_t(x), uint8_t(y), 90};
    });
    sized_jpeg("magnphng.jpg", 256, 256, [grey](int x, int) { return grey(x); });
    sized_jpeg("magntxtr.jpg", 256, 256, [](int x, int y) {
        return Rgb{90, uint8_t(x), uint8_t(y)};
    });
    if (skip != "magnscen.lws") {
        const std::string scene =
            "LWSC\r\n1\r\n\r\nLoadObject data\\magnkub5.lwo\r\nObjectMotion (unnamed)\r\n  9\r\n"
            "  1\r\n  0 0 -500 0 0 0 1 1 1\r\n  0 0 0 0 0\r\n\r\nShowCamera 1 7\r\n"
            "CameraMotion (unnamed)\r\n  9\r\n  1\r\n  0 0 -1000 0 0 0 1 1 1\r\n  0 0 0 0 "
            "0\r\n\r\n";
        write_bytes(data + "/magnscen.lws", scene.data(), scene.size());
    }
    // The textured scene: its rock and door textures, a lamp sprite, and a box before a camera.
    sized_jpeg("scentmap.jpg", 256, 256, [](int x, int y) {
        return Rgb{uint8_t(x), uint8_t(y), 60};
    });
    sized_jpeg("scenmap2.jpg", 256, 256, flat({60, 60, 160}));
    sized_jpeg("scenfmap.jpg", 32, 32, flat(grey(160)));
    if (skip != "scenbox.lwo") write_cube_object(data + "/scenbox.lwo", 8, 60.0f);
    if (skip != "scene.lws") {
        const std::string scene =
            "LWSC\r\n1\r\n\r\nLoadObject data\\scenbox.lwo\r\nObjectMotion (unnamed)\r\n  9\r\n"
            "  1\r\n  0 0 300 0 0 0 1 1 1\r\n  0 0 0 0 0\r\n\r\nShowCamera 1 7\r\n"
            "CameraMotion (unnamed)\r\n  9\r\n  1\r\n  0 0 0 0 0 0 1 1 1\r\n  0 0 0 0 "
            "0\r\n\r\n";
        write_bytes(data + "/scene.lws", scene.data(), scene.size());
    }
    // The glow part: its flare, the overlay (opaque left, see-through right), the dissolve
    // mask, ten captions, and two objects before a camera.
    sized_jpeg("grflare.jpg", 256, 256, flat(grey(180)));
    tga("grback.tga", 512, 256, [](int x, int) {
        return x < 256 ? Rgb{60, 40, 20} : Rgb{21, 58, 58};
    });
    jpeg("grfade.jpg", [grey](int, int y) { return grey(y); });
    for (int n = 1; n <= 10; n++)
        tga("g" + std::to_string(n) + ".tga", 192, 24, flat(grey(n * 20)));
    for (const char *object : {"grstar", "grrings"})
        if (skip != std::string(object) + ".lwo")
            write_cube_object(data + "/" + object + ".lwo", 8, 40.0f);
    if (skip != "grscene.lws") {
        std::string scene = "LWSC\r\n1\r\n\r\n";
        for (const char *object : {"grstar", "grrings"})
            scene += std::string("LoadObject data\\") + object +
                     ".lwo\r\nObjectMotion (unnamed)\r\n  9\r\n  1\r\n  0 0 0 0 0 0 1 1 1\r\n"
                     "  0 0 0 0 0\r\n\r\n";
        scene += "ShowCamera 1 7\r\nCameraMotion (unnamed)\r\n  9\r\n  1\r\n"
                 "  0 0 -600 0 0 0 1 1 1\r\n  0 0 0 0 0\r\n\r\n";
        write_bytes(data + "/grscene.lws", scene.data(), scene.size());
    }
    // The particle morph: background, lettering, dissolve mask, spark, five shapes of one box
    // and a scene of the box close before a camera.
    jpeg("ptl_back.jpg", flat({40, 30, 70}));
    sized_jpeg("ptl_text.jpg", 256, 256, [](int x, int y) {
        return Rgb{uint8_t(x), 120, uint8_t(y)};
    });
    jpeg("ptl_alph.jpg", [grey](int x, int) { return grey(x / 2); });
    sized_jpeg("ptl_fmap.jpg", 32, 32, flat(grey(100)));
    for (const char *shape : {"pmorph1", "pmorph2", "pmorph3", "pmorph4", "pmorph5"})
        if (skip != std::string(shape) + ".lwo")
            write_cube_object(data + "/" + shape + ".lwo", 8, 2.0f);
    if (skip != "ptl_scen.lws") {
        const std::string scene =
            "LWSC\r\n1\r\n\r\nLoadObject data\\pmorph5.lwo\r\nObjectMotion (unnamed)\r\n  9\r\n"
            "  1\r\n  0 0 0 0 0 0 1 1 1\r\n  0 0 0 0 0\r\n\r\nShowCamera 1 7\r\n"
            "CameraMotion (unnamed)\r\n  9\r\n  1\r\n  0 0 -10 0 0 0 1 1 1\r\n  0 0 0 0 "
            "0\r\n\r\n";
        write_bytes(data + "/ptl_scen.lws", scene.data(), scene.size());
    }
}

bool copy_forge_data(const std::string &forge_dir, const std::string &dir,
                     const std::string &skip) {
    namespace fs = std::filesystem;
    fs::path from = fs::path(forge_dir) / "data";
    if (!fs::exists(from / "loading.jpg")) return false;
    fs::create_directories(fs::path(dir) / "data");
    for (const auto &entry : fs::directory_iterator(from))
        if (entry.path().filename() != skip)
            fs::copy_file(entry.path(), fs::path(dir) / "data" / entry.path().filename());
    return true;
}

pid_t start_program(const std::string &program, const std::vector<std::string> &args,
                    const std::string &log_path, const std::vector<std::string> &env) {
    pid_t pid = fork();
    if (pid == 0) {
        for (const std::string &e : env) putenv(strdup(e.c_str()));
        int log = open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(log, 1), dup2(log, 2);
        std::vector<char *> argv = {const_cast<char *>(program.c_str())};
        for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return pid;
}

int wait_program(pid_t pid, std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    int raw = 0;
    while (waitpid(pid, &raw, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &raw, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 256 + WTERMSIG(raw);
}

namespace {
// The locale's folder, removed when the test program ends.
struct LocaleFolder {
    std::string dir = make_temp_dir();
    std::string made;
    LocaleFolder() {
        std::string cmd = "localedef -c -i de_DE -f UTF-8 " + dir + "/de_DE.UTF-8 >/dev/null 2>&1";
        if (std::system(cmd.c_str()) >= 0 &&
            std::filesystem::exists(dir + "/de_DE.UTF-8/LC_NUMERIC"))
            made = dir;
    }
    ~LocaleFolder() { remove_tree(dir); }
};
} // namespace

const std::string &comma_locale_dir() {
    static LocaleFolder folder;
    return folder.made;
}
