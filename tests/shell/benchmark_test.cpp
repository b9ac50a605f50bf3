// Tests of the built-in benchmark: the table of frame times and the timed run of the parts.

#include "shell/benchmark.h"
#include "shell/sequencer.h"
#include "show_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string report() {
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    benchmark_report(out);
    std::fclose(out);
    std::string s(text, size);
    std::free(text);
    return s;
}

struct Row {
    int part;
    long frames;
    double mean, p50, p99, max;
};

// The part rows of a report, in the order printed.
std::vector<Row> rows(const std::string &text) {
    std::vector<Row> found;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        Row r;
        if (std::sscanf(line.c_str(), "%d %ld %lf %lf %lf %lf", &r.part, &r.frames, &r.mean, &r.p50,
                        &r.p99, &r.max) == 6)
            found.push_back(r);
    }
    return found;
}

struct BenchmarkTest : testing::Test {
    void SetUp() override { benchmark_reset(); }
    void TearDown() override { close_headless_stage(); }
};

TEST_F(BenchmarkTest, TheTableGivesEachPartsTimesAndTheSpeed) {
    for (int i = 1; i <= 100; i++) benchmark_add_frame(3, i); // 1 .. 100 ms
    for (int i = 0; i < 10; i++) benchmark_add_frame(7, 5.0);
    benchmark_set_preload(1.25);
    std::string text = report();
    std::vector<Row> r = rows(text);
    ASSERT_EQ(r.size(), 2u) << text;
    EXPECT_EQ(r[0].part, 3);
    EXPECT_EQ(r[0].frames, 100);
    EXPECT_DOUBLE_EQ(r[0].mean, 50.5);
    EXPECT_DOUBLE_EQ(r[0].p50, 50.0);
    EXPECT_DOUBLE_EQ(r[0].p99, 99.0);
    EXPECT_DOUBLE_EQ(r[0].max, 100.0);
    EXPECT_EQ(r[1].part, 7);
    EXPECT_NE(text.find("preload: 1.250 s"), std::string::npos) << text;
    // 110 frames stand for 1.54 s of show; they took 5.1 s.
    std::string last = text.substr(text.rfind("whole show"));
    EXPECT_EQ(last, "whole show: 110 frames in 5.100 s (0.3 x real time)\n");
}

TEST_F(BenchmarkTest, AGrowingStoreKeepsEveryFrame) {
    for (int i = 0; i < 100000; i++) benchmark_add_frame(1, 1.0); // past the first block
    std::vector<Row> r = rows(report());
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].frames, 100000);
}

int calls[PART_END + 1];
int ends_after[PART_END + 1];

template <int N> int test_part() {
    return ++calls[N] < ends_after[N];
}

const PartRun some_parts[PART_END + 1] = {
    nullptr, nullptr,      test_part<2>, nullptr, nullptr, test_part<5>, nullptr,
    nullptr, test_part<8>, nullptr,      nullptr, nullptr, nullptr,      nullptr};

TEST_F(BenchmarkTest, EveryPartThatRanIsListedInOrder) {
    ASSERT_NO_FATAL_FAILURE(open_headless_stage());
    sequencer_reset();
    sequencer.part_index = 3; // as --part 3: part 2 never runs
    ends_after[2] = ends_after[5] = 3;
    ends_after[8] = 2;
    benchmark_run_show(some_parts);
    std::string text = report();
    std::vector<Row> r = rows(text);
    ASSERT_EQ(r.size(), 2u) << text;
    EXPECT_EQ(r[0].part, 5);
    EXPECT_EQ(r[0].frames, 3);
    EXPECT_EQ(r[1].part, 8);
    EXPECT_EQ(r[1].frames, 3) << "two frames and the closing one";
    EXPECT_EQ(calls[2], 0);
    EXPECT_NE(text.find("whole show: 6 frames"), std::string::npos) << text;
}

} // namespace
