// dialog_test.cpp -- the setup dialog under a private X server, driven by xdotool.

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <thread>

#include "helpers.h"
#include "platform/dialog.h"
#include "platform/icon.h"
#include "xvfb.h"

#if QM_HAVE_GTK
#include <gtk/gtk.h>

class SetupDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!have_program("xdotool")) GTEST_SKIP() << "no xdotool";
        if (!xvfb_start()) GTEST_SKIP() << "no Xvfb";
    }
    // Runs the dialog while xdotool finds it and types keys into it.
    DialogResult run_with_keys(const char *const *names, int32_t count, const char *keys,
                               DialogSettings *settings) {
        // Only a mapped window: the one of the previous run may linger, hidden.
        // The keys go in a second call, through the keyboard rather than to a window id.
        std::string command = "timeout 15 xdotool search --sync --onlyvisible "
                              "--name 'Quellmoor by Vandrel' windowfocus --sync sleep 0.2 && "
                              "xdotool key --delay 100 ";
        // Should xdotool miss the dialog, end it as if closed rather than hang the test.
        gave_up = false;
        guint timer = g_timeout_add_seconds(20, give_up, nullptr);
        std::thread typist([&] { typed = xvfb_run(command + keys); });
        DialogResult result = dialog_run(names, count, settings);
        typist.join();
        g_source_remove(timer);
        return result;
    }

    // Kept until run_with_keys removes it.
    static gboolean give_up(gpointer) {
        gave_up = true;
        if (gtk_main_level() > 0) gtk_main_quit();
        return G_SOURCE_CONTINUE;
    }
    static inline bool gave_up = false; // the keys did not end the dialog
    int typed = -1;
};

// The focus starts on Run; Tab walks "Vertical retrace", the depth buttons, "Windowed" and the
// device list, which offers only "No sound" (-2) without devices. Exit leaves the settings alone.
TEST_F(SetupDialogTest, TheKeyboardReachesEveryChoice) {
    const char *names[] = {"Default device", "Second card"};
    struct Case {
        int32_t devices;
        const char *keys;
        DialogResult result;
        DialogSettings want;
    } cases[] = {
        {2, "Return", DIALOG_RUN, {24, 0, 0, 0}}, // Run is the default button
        {2, "Tab space Tab Down alt+r", DIALOG_RUN, {16, 1, 0, 0}},
        {2, "Tab Tab Up alt+r", DIALOG_RUN, {24, 0, 0, 0}}, // the 32-bit choice cannot be taken
        {2, "Tab Tab Tab space alt+r", DIALOG_RUN, {24, 0, 1, 0}},
        {2, "Tab Tab Tab Tab Down alt+r", DIALOG_RUN, {24, 0, 0, 1}},
        {2, "Tab Tab Tab Tab Down Down alt+r", DIALOG_RUN, {24, 0, 0, -2}},
        {0, "alt+r", DIALOG_RUN, {24, 0, 0, -2}},
        {1, "alt+x", DIALOG_EXIT, {-1, -1, -1, -1}},
        {2, "Tab space Escape", DIALOG_EXIT, {-1, -1, -1, -1}}, // as a dialog box does
    };
    for (const Case &c : cases) {
        DialogSettings s = {-1, -1, -1, -1};
        ASSERT_EQ(run_with_keys(c.devices ? names : nullptr, c.devices, c.keys, &s), c.result)
            << c.keys;
        EXPECT_FALSE(gave_up) << c.keys << " did not end the dialog";
        EXPECT_EQ(s.color_depth, c.want.color_depth) << c.keys;
        EXPECT_EQ(s.vertical_retrace, c.want.vertical_retrace) << c.keys;
        EXPECT_EQ(s.windowed, c.want.windowed) << c.keys;
        EXPECT_EQ(s.sound_device, c.want.sound_device) << c.keys;
    }
}

// The forge's icon beside the build's program; a file that is no PNG leaves the theme's name.
TEST_F(SetupDialogTest, ShowsTheIconFileElseNamesTheThemeIcon) {
    DialogSettings s = {};
    icon_set_file(QM_BUILD_DIR "/CMakeCache.txt");
    ASSERT_EQ(run_with_keys(nullptr, 0, "Return", &s), DIALOG_RUN);
    EXPECT_STREQ(gtk_window_get_default_icon_name(), "quellmoor");
    icon_set_file(QM_BUILD_DIR "/quellmoor.png");
    ASSERT_EQ(run_with_keys(nullptr, 0, "Return", &s), DIALOG_RUN);
    GList *icons = gtk_window_get_default_icon_list();
    ASSERT_NE(icons, nullptr);
    EXPECT_EQ(gdk_pixbuf_get_width(GDK_PIXBUF(icons->data)), 128);
    EXPECT_TRUE(gdk_pixbuf_get_has_alpha(GDK_PIXBUF(icons->data)));
    g_list_free(icons);
    icon_set_file(nullptr);
}

// The text of the About box while it is open; kept in *data.
static gboolean read_about(gpointer data) {
    GList *windows = gtk_window_list_toplevels();
    for (GList *w = windows; w; w = w->next) {
        if (!GTK_IS_MESSAGE_DIALOG(w->data) || !gtk_widget_get_visible(GTK_WIDGET(w->data)))
            continue;
        gchar *text = nullptr;
        g_object_get(w->data, "text", &text, nullptr);
        if (text) *static_cast<std::string *>(data) = text;
        g_free(text);
    }
    g_list_free(windows);
    return G_SOURCE_CONTINUE;
}

// About names the program with its version; closing it leaves the dialog open.
TEST_F(SetupDialogTest, AboutShowsTheVersion) {
    std::string about;
    guint look = g_timeout_add(100, read_about, &about);
    DialogSettings s = {};
    EXPECT_EQ(run_with_keys(nullptr, 0, "alt+a sleep 1 key Return sleep 0.5 key alt+x", &s),
              DIALOG_EXIT);
    g_source_remove(look);
    EXPECT_EQ(about.rfind("Quellmoor " QM_VERSION "\n", 0), 0u) << about;
}
#endif
