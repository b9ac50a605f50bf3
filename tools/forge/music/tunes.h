// tunes.h -- the show's two tunes as section tables.
#pragma once

#include "score.h"

// "quellmor.xm": dusk over the moor, D minor, 112 BPM, about four and a half minutes; loops back
// to the start of its build.
extern const Tune TUNE_DUSK;

// "end.xm": the closing tune, F major, 100 BPM, a little over a minute; loops to its start.
extern const Tune TUNE_SPRING;
