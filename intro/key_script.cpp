#include "intro/key_script.h"

#include <cctype>
#include <cstdio>
#include <cstring>

const ModuleId keys_module = {"KEYS", "20261211", "KV"};

namespace {

constexpr int64_t max_frame = int64_t{1} << 40;

// Reads a run of digits as a frame number; null when there is none or it is too big.
const char *read_frame(const char *p, int64_t *out) {
    if (!isdigit(static_cast<unsigned char>(*p))) return nullptr;
    int64_t v = 0;
    for (; isdigit(static_cast<unsigned char>(*p)); p++) {
        v = v * 10 + (*p - '0');
        if (v > max_frame) return nullptr;
    }
    *out = v;
    return p;
}

// The keyboard's code for a key name of the given length, or 0.
int8_t key_code(const char *name, size_t length) {
    const struct {
        const char *name;
        int8_t code;
    } named[] = {{"space", 32}, {"escape", 27}, {"esc", 27}};
    for (const auto &n : named)
        if (length == strlen(n.name) && strncasecmp(name, n.name, length) == 0) return n.code;
    if (length != 1) return 0;
    const unsigned char c = static_cast<unsigned char>(name[0]);
    // Letters arrive unshifted from the keyboard.
    if (isalpha(c)) return static_cast<int8_t>(tolower(c));
    if (isdigit(c)) return static_cast<int8_t>(c);
    return 0;
}

int refuse(char *error, size_t size, const char *what, const char *entry, size_t length) {
    snprintf(error, size, "%s in the key script: \"%.*s\"", what, int(length > 40 ? 40 : length),
             entry);
    return 0;
}

} // namespace

int keys_parse(KeyScript *s, const char *text, char *error, size_t size) {
    if (!s || !text) return refuse(error, size, "no text", "", 0);
    s->count = 0;
    const char *p = text;
    while (true) {
        const char *entry = p;
        const size_t length = strcspn(entry, ",");
        KeyHold h{};
        p = read_frame(p, &h.first);
        if (!p) return refuse(error, size, "a frame number is missing or too big", entry, length);
        h.last = h.first;
        if (*p == '-') {
            p = read_frame(p + 1, &h.last);
            if (!p)
                return refuse(error, size, "the last frame is missing or too big", entry, length);
            if (h.last < h.first)
                return refuse(error, size, "a hold ends before it starts", entry, length);
        }
        if (*p != ':') return refuse(error, size, "expected frame:key", entry, length);
        p++;
        const size_t name_length = strcspn(p, ",");
        h.code = key_code(p, name_length);
        if (!h.code) return refuse(error, size, "an unknown key", entry, length);
        if (s->count == int(sizeof s->holds / sizeof s->holds[0]))
            return refuse(error, size, "too many entries (64 at most)", entry, length);
        s->holds[s->count++] = h;
        p += name_length;
        if (*p == '\0') return 1;
        p++; // the comma
    }
}

int8_t keys_code_at(const KeyScript *s, int64_t frame) {
    if (!s) return 0;
    for (int i = s->count - 1; i >= 0; i--)
        if (s->holds[i].first <= frame && frame <= s->holds[i].last) return s->holds[i].code;
    return 0;
}
