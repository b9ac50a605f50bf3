// music.h -- the forge's tunes: writes the show's two XM modules.
#pragma once

// Writes dir/quellmor.xm and dir/end.xm; returns 1 on success, 0 after printing what failed on
// stderr. The same build always writes the same bytes.
int forge_music_write(const char *dir);
