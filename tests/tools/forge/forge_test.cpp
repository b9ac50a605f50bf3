// forge_test.cpp -- the forge program's failures. What it writes is pinned, picture by picture,
// by the digests of the show's frames.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
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
    char name[] = "/tmp/forge_ro_XXXXXX";
    std::string dir = mkdtemp(name);
    std::string blocked = dir + "/file";
    std::ofstream(blocked) << "x";
    // A plain file where the output folder should be.
    std::string err = dir + "/err.txt";
    EXPECT_NE(run(prog + " --out " + blocked + " 2>" + err), 0);
    std::ifstream in(err);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find(blocked), std::string::npos) << text;
    run("rm -rf " + dir);
}

} // namespace
