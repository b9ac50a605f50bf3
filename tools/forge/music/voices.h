// voices.h -- the instruments both tunes play, rendered into 16-bit samples with their
// envelopes, vibrato and default panning.
#pragma once

#include "xm.h"

#include <vector>

// XM instrument numbers (1-based, as patterns name them).
enum Voice : uint8_t {
    VOICE_PAD = 1, // warm detuned pad, looped, slow envelope
    VOICE_BASS,    // plucked filtered bass, decays by itself
    VOICE_BELL,    // FM bell, long ring
    VOICE_LEAD,    // soft hollow lead, looped, with delayed vibrato
    VOICE_PLUCK,   // short filtered square for arpeggios
    VOICE_KICK,
    VOICE_SNARE,
    VOICE_HAT, // closed hi-hat
    VOICE_OPEN_HAT,
    VOICE_CRASH,
    VOICE_SWELL, // reversed cymbal that peaks one bar after it starts at 112 BPM
    VOICE_WIND,  // looped band-passed noise
    VOICE_DROP,  // water drop: a sine that bends upward
    VOICE_CHOIR, // vowel-like pad, looped
    VOICE_COUNT = VOICE_CHOIR
};

// Renders every voice into *out, in Voice order (out->at(v - 1) is voice v).
void voices_build(std::vector<XmInstrument> *out);
