// dialog.h -- the setup dialog: colour depth, vertical retrace, window, sound device.
#pragma once

#include <cstdint>

// What the user chose.
struct DialogSettings {
    int32_t color_depth;      // 24 (preselected) or 16
    int32_t vertical_retrace; // 1 when "Vertical retrace" is ticked
    int32_t windowed;         // 1 when "Windowed" is ticked
    int32_t sound_device;     // index into the device names, or -2 for "No sound"
};

enum DialogResult : int32_t {
    DIALOG_EXIT = 0,        // Exit, or the dialog was closed
    DIALOG_RUN = 1,         // Run: *settings holds the choices
    DIALOG_NO_DISPLAY = -1, // no dialog could be shown (no display, or built without GTK)
};

// Shows the dialog with the given sound device names (the list gets "No sound" appended and
// entry 0 selected) and waits until it ends. Fills *settings on DIALOG_RUN only. Main thread.
DialogResult dialog_run(const char *const *device_names, int32_t device_count,
                        DialogSettings *settings);
