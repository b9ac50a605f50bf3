// The walkers' short cuts against their plain forms: the division through a shared reciprocal
// against the 64-bit one, the packed texel span against the pixel-by-pixel one.

#include "fillers/fill_walk.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

// Random dividends and divisors of every size the walkers meet and past them, with the shifts
// they use; quotients near whole numbers, the bound and the fall-back above it.
TEST(WalkDiv, EqualsThePlainDivision) {
    std::mt19937_64 rng(11);
    const int shifts[] = {0, 8, 16};
    auto check = [](int64_t num, int64_t den, int shift) {
        ASSERT_EQ(walk_div_by(num, walk_divisor(den), shift), walk_div_plain(num, den, shift))
            << num << " / " << den << " << " << shift;
    };
    const int64_t edge = WALK_DIV_EXACT;
    for (int i = 0; i < 600; i++) {
        const int bits = 1 + static_cast<int>(rng() % 46);
        const int64_t num = static_cast<int64_t>(rng() >> (64 - bits)) * (rng() & 1 ? 1 : -1);
        int64_t den = static_cast<int64_t>(rng() >> (64 - 1 - rng() % 40)) + 1;
        if (rng() & 1) den = -den;
        const int shift = shifts[rng() % 3];
        check(num, den, shift);
        // A dividend one off a multiple of the divisor: the quotient just below a whole number.
        // Small ones, and the largest the reciprocal takes, where its rounding counts most.
        const int64_t q = static_cast<int64_t>(rng() % 65536);
        const int64_t mag = den < 0 ? -den : den;
        const int64_t big = static_cast<int64_t>(rng() % static_cast<uint64_t>(edge / mag));
        for (int64_t m : {q, big, -big})
            for (int64_t off : {-1, 0, 1}) check(m * den + off, den, 0);
    }
    for (int64_t num : {edge - 1, edge, edge + 1, -edge + 1, -edge, -edge - 1})
        for (int64_t den : {int64_t{1}, int64_t{-1}, int64_t{3}, int64_t{7}, edge - 1, edge})
            check(num, den, 0);
    check(int64_t{1} << 40, 3, 16); // past the bound once shifted
}

// Random spans of every length around the packed loop's four pixels, with coordinates and steps
// anywhere in 32 bits (they wrap), over a texture whose every word differs.
TEST(WalkSpan, PackedTexelSpanEqualsThePlainOne) {
    std::mt19937 rng(12);
    std::vector<uint32_t> texels(65536);
    for (auto &t : texels) t = static_cast<uint32_t>(rng());
    std::vector<uint32_t> packed(80), plain(80);
    for (int i = 0; i < 400; i++) {
        const int32_t n = static_cast<int32_t>(rng() % 40);
        const uint32_t u = rng(), v = rng();
        const uint32_t du = i % 2 ? rng() : rng() % 0x40000 - 0x20000, dv = rng() >> (i % 16);
        for (size_t k = 0; k < packed.size(); k++) packed[k] = plain[k] = static_cast<uint32_t>(k);
        fill_texel_span(packed.data() + 1, n, texels.data(), u, v, du, dv);
        fill_texel_span_plain(plain.data() + 1, n, texels.data(), u, v, du, dv);
        ASSERT_EQ(packed, plain) << i; // the words around the span untouched alike
    }
}

// The packed truncations against the plain ones: values inside and beyond both limits, on them,
// halves either side of whole numbers, infinities and NaN; then the row setup and the textured
// vertices built on them.
TEST(WalkSpan, PackedTruncationEqualsThePlainOne) {
    std::mt19937 rng(13);
    std::uniform_real_distribution<float> wide(-40000.0f, 40000.0f);
    const float odd[] = {NAN,     INFINITY, -INFINITY, 8192.0f, -8192.0f,
                         8191.5f, -8192.5f, -0.5f,     0.5f};
    for (int i = 0; i < 400; i++) {
        const float limit = i % 2 ? WALK_POSITION_LIMIT : WALK_VALUE_LIMIT;
        const float f = i % 9 == 0 ? odd[i / 9 % 9] : i % 3 ? wide(rng) : wide(rng) * 1000.0f;
        ASSERT_EQ(walk_trunc(f, limit), walk_trunc_plain(f, limit)) << f << " within " << limit;
        const float g = i % 9 == 0 ? f * 3e5f : f * 6e4f; // to and past both ends of 32 bits
        ASSERT_EQ(fill_trunc(g), fill_trunc_plain(g)) << g;
    }
    // The unit-textured row setup: edges of any width, a hair wide and reversed, coordinates
    // around the unit square and far outside it, and the odd values in every place.
    for (int i = 0; i < 400; i++) {
        auto any = [&](int k) { return i % 7 == k ? odd[rng() % 9] : wide(rng) / 100.0f; };
        const float lx = any(0), rx = i % 5 ? lx + wide(rng) / (i % 3 ? 40.0f : 4e6f) : any(1);
        const FloatEdge l{lx, 0, any(2), any(3) * (i % 4 ? 1.0f : 1e4f), 0, 0, 0, 0};
        const FloatEdge r{rx, 0, any(4), any(5), 0, 0, 0, 0};
        const UnitRow a = walk_unit_row(l, r), b = walk_unit_row_plain(l, r);
        ASSERT_TRUE(a.first == b.first && a.end == b.end && a.u == b.u && a.v == b.v &&
                    a.du == b.du && a.dv == b.dv)
            << i << ": " << lx << " .. " << rx;
    }
    // A textured face's vertices, four truncations at once, at every layer.
    for (int i = 0; i < 200; i++) {
        Face face{};
        const int layer = i % (FACE_UV_FLOATS - 5);
        for (int k = 0; k < 3; k++) face.v[k] = Vec3{odd[rng() % 9], wide(rng), 0};
        for (float &c : face.uv) c = i % 3 ? odd[rng() % 9] : wide(rng) * 1000.0f;
        IntVertex a[3], b[3];
        walk_texture_vertices(&face, layer, a);
        walk_texture_vertices_plain(&face, layer, b);
        for (int k = 0; k < 3; k++)
            ASSERT_TRUE(a[k].x == b[k].x && a[k].y == b[k].y && a[k].value[0] == b[k].value[0] &&
                        a[k].value[1] == b[k].value[1])
                << i << " vertex " << k;
    }
}

} // namespace
