// forge_test.cpp -- the forge program's failures. What it writes is pinned, picture by picture,
// by the digests of the show's frames.
#include "helpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace {

int run(const std::string &command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ForgeProgram, BadArgumentsAndUnwritableFoldersFailWithAMessage) {
    std::string prog = FORGE_PROGRAM;
    EXPECT_NE(run(prog + " 2>/dev/null"), 0);
    EXPECT_NE(run(prog + " --out 2>/dev/null"), 0);
    std::string dir = make_temp_dir();
    std::string blocked = dir + "/file";
    write_text(blocked, "x");
    // A plain file where the output folder should be.
    std::string err = dir + "/err.txt";
    EXPECT_NE(run(prog + " --out " + blocked + " 2>" + err), 0);
    std::string text = read_text(err);
    EXPECT_NE(text.find(blocked), std::string::npos) << text;
    remove_tree(dir);
}

} // namespace
