// dialog_none.cpp -- the setup dialog of a build without GTK: it can never be shown.

#include "platform/dialog.h"

DialogResult dialog_run(const char *const *, int32_t, DialogSettings *) {
    return DIALOG_NO_DISPLAY;
}
