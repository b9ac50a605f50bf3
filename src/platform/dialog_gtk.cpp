// dialog_gtk.cpp -- the setup dialog in GTK 3: colour depth, retrace, window, sound device.

#include "platform/dialog.h"

#include "platform/icon.h"
#include "platform/signals.h"

#include <cstdlib>
#include <gtk/gtk.h>

#ifndef QM_VERSION
#define QM_VERSION "0"
#endif

static const char caption[] = "Quellmoor by Vandrel";

static const char credits[] = "Quellmoor " QM_VERSION "\n"
                              "a real-time show by Vandrel\n"
                              "\n"
                              "Music: Moorhen\n"
                              "Graphics: Sedge and Brackwater\n"
                              "Code: Peatcutter (peatcutter@vandrel.example.org)\n"
                              "\n"
                              "Module playback: libopenmpt, by the OpenMPT developers\n"
                              "Window and sound output: SDL, by Sam Lantinga and contributors\n"
                              "\n"
                              "https://vandrel.example.org\n"
                              "https://vandrel.example.org/quellmoor";

// The controls read when the dialog ends, and how it ended.
struct SetupDialog {
    GtkWidget *window;
    GtkWidget *depth32, *depth24, *depth16;
    GtkWidget *retrace, *windowed;
    GtkWidget *device;
    GtkWidget *run;
    GtkWidget *about;  // the About box while it is open
    guint signal_look; // the timer that looks for Ctrl-C and kill, 0 once it has ended
    int32_t device_count;
    DialogResult result;
    DialogSettings settings;
};

static void read_settings(SetupDialog *d) {
    DialogSettings *s = &d->settings;
    // As the buttons are listed, a later selected one wins; none selected leaves 0.
    s->color_depth = 0;
    if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(d->depth32))) s->color_depth = 32;
    if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(d->depth24))) s->color_depth = 24;
    if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(d->depth16))) s->color_depth = 16;
    s->vertical_retrace = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(d->retrace)) ? 1 : 0;
    s->windowed = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(d->windowed)) ? 1 : 0;
    int32_t selected = gtk_combo_box_get_active(GTK_COMBO_BOX(d->device));
    // "No sound" is the entry after the last device; nothing selected also means no sound.
    s->sound_device = selected < 0 || selected >= d->device_count ? -2 : selected;
}

static void end_dialog(SetupDialog *d, DialogResult result) {
    d->result = result;
    gtk_widget_hide(d->window);
    gtk_main_quit();
}

static void on_run_clicked(GtkButton *, gpointer data) {
    SetupDialog *d = static_cast<SetupDialog *>(data);
    read_settings(d);
    end_dialog(d, DIALOG_RUN);
}

static void on_exit_clicked(GtkButton *, gpointer data) {
    end_dialog(static_cast<SetupDialog *>(data), DIALOG_EXIT);
}

static gboolean on_delete(GtkWidget *, GdkEvent *, gpointer data) {
    end_dialog(static_cast<SetupDialog *>(data), DIALOG_EXIT);
    return TRUE; // the window is destroyed by dialog_run
}

// Escape closes the dialog, as it does any dialog box; an open list takes it first.
static gboolean on_key(GtkWidget *, GdkEventKey *event, gpointer data) {
    if (event->keyval != GDK_KEY_Escape) return FALSE;
    end_dialog(static_cast<SetupDialog *>(data), DIALOG_EXIT);
    return TRUE;
}

static void on_about_clicked(GtkButton *, gpointer data) {
    SetupDialog *d = static_cast<SetupDialog *>(data);
    GtkWidget *box = gtk_message_dialog_new(GTK_WINDOW(d->window), GTK_DIALOG_MODAL,
                                            GTK_MESSAGE_INFO, GTK_BUTTONS_OK, "%s", credits);
    gtk_window_set_title(GTK_WINDOW(box), caption);
    d->about = box;
    gtk_dialog_run(GTK_DIALOG(box));
    d->about = nullptr;
    gtk_widget_destroy(box);
}

// Ctrl-C or kill while the dialog waits: it closes as if Exit were pressed (the caller sees the
// signal). A few looks a second are enough to end well within one.
constexpr guint SIGNAL_LOOK_MS = 100;

static gboolean look_for_signal(gpointer data) {
    SetupDialog *d = static_cast<SetupDialog *>(data);
    if (!signals_caught()) return G_SOURCE_CONTINUE;
    if (d->about) gtk_dialog_response(GTK_DIALOG(d->about), GTK_RESPONSE_CLOSE);
    end_dialog(d, DIALOG_EXIT);
    d->signal_look = 0;
    return G_SOURCE_REMOVE;
}

static GtkWidget *framed(const char *title, GtkWidget *content) {
    GtkWidget *frame = gtk_frame_new(title);
    gtk_container_set_border_width(GTK_CONTAINER(content), 8);
    gtk_container_add(GTK_CONTAINER(frame), content);
    return frame;
}

static GtkWidget *graphics_frame(SetupDialog *d) {
    GtkWidget *grid = gtk_grid_new();
    gtk_grid_set_column_spacing(GTK_GRID(grid), 24);
    gtk_grid_set_row_spacing(GTK_GRID(grid), 4);
    d->depth32 = gtk_radio_button_new_with_label(nullptr, "512x384x32");
    d->depth24 =
        gtk_radio_button_new_with_label_from_widget(GTK_RADIO_BUTTON(d->depth32), "512x384x24");
    d->depth16 =
        gtk_radio_button_new_with_label_from_widget(GTK_RADIO_BUTTON(d->depth32), "512x384x16");
    gtk_widget_set_sensitive(d->depth32, FALSE); // shown, never offered
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(d->depth24), TRUE);
    d->retrace = gtk_check_button_new_with_label("Vertical retrace");
    d->windowed = gtk_check_button_new_with_label("Windowed");
    gtk_grid_attach(GTK_GRID(grid), d->depth32, 0, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), d->depth24, 0, 1, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), d->depth16, 0, 2, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), d->retrace, 1, 0, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), d->windowed, 1, 1, 1, 1);
    return framed("Graphics", grid);
}

static GtkWidget *sound_frame(SetupDialog *d, const char *const *names) {
    GtkWidget *box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
    GtkWidget *label = gtk_label_new("Device");
    gtk_widget_set_halign(label, GTK_ALIGN_START);
    d->device = gtk_combo_box_text_new();
    for (int32_t i = 0; i < d->device_count; i++)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(d->device), names[i] ? names[i] : "");
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(d->device), "No sound");
    gtk_combo_box_set_active(GTK_COMBO_BOX(d->device), 0);
    gtk_box_pack_start(GTK_BOX(box), label, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), d->device, FALSE, FALSE, 0);
    return framed("Sound", box);
}

static GtkWidget *button(const char *text, GCallback on_click, SetupDialog *d) {
    GtkWidget *b = gtk_button_new_with_mnemonic(text);
    g_signal_connect(b, "clicked", on_click, d);
    return b;
}

// The Run / Exit / About row; Run is the default button and has the focus.
static GtkWidget *button_row(SetupDialog *d) {
    GtkWidget *row = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
    gtk_button_box_set_layout(GTK_BUTTON_BOX(row), GTK_BUTTONBOX_EXPAND);
    GtkWidget *run = d->run = button("_Run", G_CALLBACK(on_run_clicked), d);
    gtk_container_add(GTK_CONTAINER(row), run);
    gtk_container_add(GTK_CONTAINER(row), button("E_xit", G_CALLBACK(on_exit_clicked), d));
    gtk_container_add(GTK_CONTAINER(row), button("_About", G_CALLBACK(on_about_clicked), d));
    gtk_widget_set_can_default(run, TRUE);
    gtk_window_set_default(GTK_WINDOW(d->window), run);
    gtk_window_set_focus(GTK_WINDOW(d->window), run);
    return row;
}

static void build(SetupDialog *d, const char *const *names) {
    d->window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(d->window), caption);
    gtk_window_set_resizable(GTK_WINDOW(d->window), FALSE);
    gtk_window_set_position(GTK_WINDOW(d->window), GTK_WIN_POS_CENTER);
    gtk_container_set_border_width(GTK_CONTAINER(d->window), 10);
    g_signal_connect(d->window, "delete-event", G_CALLBACK(on_delete), d);
    g_signal_connect(d->window, "key-press-event", G_CALLBACK(on_key), d);
    GtkWidget *column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 10);
    gtk_box_pack_start(GTK_BOX(column), graphics_frame(d), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), sound_frame(d, names), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), button_row(d), FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(d->window), column);
}

static void free_icon_pixels(guchar *pixels, gpointer) {
    std::free(pixels);
}

// The icon for the dialog and its About box: the file beside the data, else the installed
// theme's icon of that name, else none. Read as the window reads it, so a damaged file is
// passed over in silence.
static void set_default_icon() {
    IconPixels icon;
    if (!icon_read(&icon)) {
        gtk_window_set_default_icon_name("quellmoor");
        return;
    }
    GdkPixbuf *pixbuf =
        gdk_pixbuf_new_from_data(icon.rgba, GDK_COLORSPACE_RGB, TRUE, 8, icon.width, icon.height,
                                 icon.width * 4, free_icon_pixels, nullptr);
    gtk_window_set_default_icon(pixbuf);
    g_object_unref(pixbuf);
}

DialogResult dialog_run(const char *const *device_names, int32_t device_count,
                        DialogSettings *settings) {
    // The name window managers and the desktop entry know the program by.
    g_set_prgname("quellmoor");
    if (!gtk_init_check(nullptr, nullptr)) return DIALOG_NO_DISPLAY;
    set_default_icon();
    SetupDialog d = {};
    d.device_count = device_names && device_count > 0 ? device_count : 0;
    d.result = DIALOG_EXIT;
    build(&d, device_names);
    gtk_widget_show_all(d.window);
    gtk_widget_grab_focus(d.run);
    gtk_window_present(GTK_WINDOW(d.window));
    d.signal_look = g_timeout_add(SIGNAL_LOOK_MS, look_for_signal, &d);
    gtk_main();
    if (d.signal_look) g_source_remove(d.signal_look);
    gtk_widget_destroy(d.window);
    // Let the window really leave the screen before the show opens its own.
    while (gtk_events_pending()) gtk_main_iteration();
    if (d.result == DIALOG_RUN) *settings = d.settings;
    return d.result;
}
