// motion.cpp -- key rings and their tension/continuity/bias Hermite evaluation

#include "engine/motion.h"

#include "data/memory.h"

Motion *new_motion() {
    Motion *m = static_cast<Motion *>(mem_alloc(sizeof(Motion)));
    if (m) m->channel_count = MOTION_CHANNELS;
    return m;
}

MotionKey *new_key() {
    return static_cast<MotionKey *>(mem_alloc(sizeof(MotionKey)));
}

void motion_insert(Motion *m, MotionKey *k) {
    if (!m->first) {
        m->first = m->spare = m->last = k;
        k->next = k->prev = nullptr;
        m->length = k->frame;
        m->key_count = 1;
        return;
    }
    // Walk to the last key whose successor is still earlier than k. The first key itself is never
    // passed over, so an earlier key lands right after it.
    MotionKey *p = m->first;
    while (p->next && p->next != m->first && p->next->frame < k->frame) p = p->next;
    k->next = p->next;
    if (!k->next || k->next == m->first) {
        m->first->prev = k;
        m->last = k;
        k->next = m->first;
    } else {
        k->next->prev = k;
    }
    p->next = k;
    k->prev = p;
    if (k->frame > m->length) m->length = k->frame;
    m->key_count++;
}

static int channels_of(const Motion *m) {
    if (m->channel_count < 0) return 0;
    return m->channel_count < MOTION_CHANNELS ? m->channel_count : MOTION_CHANNELS;
}

static void copy_key(Motion *m, const MotionKey *k) {
    int n = channels_of(m);
    for (int i = 0; i < n; i++) m->value[i] = k->value[i];
}

// span / d, or 0 when the neighbouring keys share a frame. With exactly two keys the key before
// and the key after a segment are the same key, so d is always 0 there: both end tangents are
// then zero, which keeps the curve finite and still passing through both keys.
static float timing(float span, float d) {
    return d != 0.0f ? span / d : 0.0f;
}

// The segment (cur, next) that holds t: the first whose end is not earlier than t. The walk is
// bounded by the key count so that a ring with unordered or non-numeric frames cannot spin.
static MotionKey *segment_start(const Motion *m, float t) {
    MotionKey *cur = m->first;
    MotionKey *n = cur->next;
    for (int steps = 1; steps < m->key_count && n->frame < t; steps++) {
        cur = n;
        n = n->next;
    }
    return cur;
}

void motion_evaluate(Motion *m, float t) {
    if (!m->first) return;
    if (m->key_count == 1 || !m->first->next || t < 0.0f) {
        copy_key(m, m->first);
        return;
    }
    if (t > m->length) {
        copy_key(m, m->last);
        return;
    }
    const MotionKey *cur = segment_start(m, t);
    const MotionKey *prev = cur->prev, *next = cur->next, *next2 = next->next;
    const float span = next->frame - cur->frame;
    // Coincident keys: t sits on their shared frame, where the later key holds.
    const float s = span != 0.0f ? (t - cur->frame) / span : 1.0f;
    const float s2 = s * s, s3 = s2 * s;
    const float h1 = 2.0f * s3 - 3.0f * s2 + 1.0f;
    const float h2 = 3.0f * s2 - 2.0f * s3;
    const float h3 = s3 - 2.0f * s2 + s;
    const float h4 = s3 - s2;

    const float wa = (1.0f + cur->continuity) * (1.0f + cur->bias) * (1.0f - cur->tension);
    const float wb = (1.0f - cur->continuity) * (1.0f - cur->bias) * (1.0f - cur->tension);
    const float wc = (1.0f - next->continuity) * (1.0f + next->bias) * (1.0f - next->tension);
    const float wd = (1.0f + next->continuity) * (1.0f - next->bias) * (1.0f - next->tension);
    const float adj_out = timing(span, next->frame - prev->frame);
    const float adj_in = timing(span, next2->frame - cur->frame);

    int n = channels_of(m);
    for (int i = 0; i < n; i++) {
        const float p0 = cur->value[i], p1 = next->value[i];
        const float pm = prev->value[i], p2 = next2->value[i];
        const float out_tangent = ((p1 - p0) * wb + (p0 - pm) * wa) * adj_out;
        const float in_tangent = ((p1 - p0) * wc + (p2 - p1) * wd) * adj_in;
        m->value[i] = h1 * p0 + h2 * p1 + h3 * out_tangent + h4 * in_tangent;
    }
}
