// dialog_test.cpp -- the setup dialog under a private X server, driven by xdotool.

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <thread>

#include "platform/dialog.h"
#include "xvfb.h"

#if QM_HAVE_GTK
#include <glib.h>

class SetupDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdotool";
        if (!xvfb_start()) GTEST_SKIP() << "no Xvfb";
        // Should xdotool miss the dialog, end it as if closed rather than hang the test.
        g_timeout_add_seconds(20, give_up, nullptr);
    }
    // Runs the dialog while xdotool finds it and types keys into it.
    DialogResult run_with_keys(const char *const *names, int32_t count, const char *keys,
                               DialogSettings *settings) {
        std::string command = "timeout 15 xdotool search --sync --name 'Quellmoor by Vandrel' "
                              "windowfocus --sync sleep 0.2 key --delay 100 ";
        std::thread typist([&] { typed = xvfb_run(command + keys); });
        DialogResult result = dialog_run(names, count, settings);
        typist.join();
        return result;
    }

    static gboolean give_up(gpointer) {
        gtk_main_quit_if_running();
        return G_SOURCE_REMOVE;
    }
    static void gtk_main_quit_if_running();
    int typed = -1;
};

#include <gtk/gtk.h>
void SetupDialogTest::gtk_main_quit_if_running() {
    if (gtk_main_level() > 0) gtk_main_quit();
}

TEST_F(SetupDialogTest, RunKeepsTheDefaults) {
    const char *names[] = {"Default device", "Second card"};
    DialogSettings s = {-1, -1, -1, -1};
    ASSERT_EQ(run_with_keys(names, 2, "Return", &s), DIALOG_RUN);
    EXPECT_EQ(typed, 0);
    EXPECT_EQ(s.color_depth, 24);
    EXPECT_EQ(s.vertical_retrace, 0);
    EXPECT_EQ(s.windowed, 0);
    EXPECT_EQ(s.sound_device, 0);
}

TEST_F(SetupDialogTest, WithoutDevicesOnlyNoSoundIsOffered) {
    DialogSettings s = {-1, -1, -1, -1};
    ASSERT_EQ(run_with_keys(nullptr, 0, "alt+r", &s), DIALOG_RUN);
    EXPECT_EQ(s.sound_device, -2);
    EXPECT_EQ(s.color_depth, 24);
}

TEST_F(SetupDialogTest, ExitLeavesTheSettingsAlone) {
    const char *names[] = {"Default device"};
    DialogSettings s = {-1, -1, -1, -1};
    EXPECT_EQ(run_with_keys(names, 1, "alt+x", &s), DIALOG_EXIT);
    EXPECT_EQ(s.color_depth, -1);
    EXPECT_EQ(s.sound_device, -1);
}
#endif

TEST(SetupDialogDeathTest, WithoutADisplayItSaysSo) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            DialogSettings s = {};
            std::exit(dialog_run(nullptr, 0, &s) == DIALOG_NO_DISPLAY ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
