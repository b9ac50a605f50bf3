// decimal.cpp -- numbers in text with a point, in any locale

#include "data/decimal.h"

#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

// The "C" locale as an object of its own, so reading never looks at the process's locale.
static locale_t c_locale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

int decimal_read_float(const char **text, float *value) {
    locale_t c = c_locale();
    if (!c) return 0;
    char *end = nullptr;
    float v = strtof_l(*text, &end, c);
    if (end == *text) return 0;
    *text = end;
    *value = v;
    return 1;
}

int32_t decimal_read_floats(const char *text, float *values, int32_t count) {
    int32_t n = 0;
    while (n < count && decimal_read_float(&text, &values[n])) n++;
    return n;
}

const char *decimal_fixed(char *text, size_t size, double value, int32_t decimals) {
    if (size == 0) return text;
#if defined(__cpp_lib_to_chars) || !defined(_LIBCPP_VERSION)
    std::to_chars_result r =
        std::to_chars(text, text + size - 1, value, std::chars_format::fixed, decimals);
    *(r.ec == std::errc() ? r.ptr : text) = '\0';
#else
    // A libc++ without floating-point to_chars: printf rounds the same way (exactly), and only
    // its decimal separator depends on the locale.
    int n = std::snprintf(text, size, "%.*f", int(decimals), value);
    if (n < 0 || size_t(n) >= size) n = 0;
    text[n] = '\0';
    for (char *c = text; *c; c++)
        if (*c == ',') *c = '.';
#endif
    return text;
}
