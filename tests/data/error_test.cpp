// Tests of the load failure reasons.

#include "data/error.h"

#include <gtest/gtest.h>

#include <string>

TEST(DataError, KeepsTheLastReasonCutsLongOnesAndHidesControlCharacters) {
    data_clear_error();
    EXPECT_STREQ(data_last_error(), "");
    data_error("%s: %s", "data\\tx1.tga", "not found");
    data_error("%s: %d bytes missing", "data\\tx2.tga", 12);
    EXPECT_STREQ(data_last_error(), "data\\tx2.tga: 12 bytes missing");
    std::string longname(2000, 'x');
    data_error("%s", longname.c_str());
    EXPECT_EQ(std::string(data_last_error()), longname.substr(0, 511));
    data_error("%s: entry \"%s\"", "quellmor.dat", "a\nb\x1b[2Jc\x7f");
    EXPECT_STREQ(data_last_error(), "quellmor.dat: entry \"a?b?[2Jc?\"");
    data_clear_error();
    EXPECT_STREQ(data_last_error(), "");
}
