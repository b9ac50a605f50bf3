// web.h -- what the page's drivers share. A page runs its code on one thread: the show gives the
// browser its turn once a frame (the program is suspended meanwhile and resumes where it was),
// and the clock's ticks and the sound's samples are brought up to date on every turn.
#pragma once

// Calls the tick routine for every tick the page's clock says is due (ticker_web.cpp).
void ticker_web_catch_up();

// Renders enough of the mix to keep the page's sound output ahead of the clock (audio_web.cpp).
void audio_web_feed();
