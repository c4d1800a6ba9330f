// XMC: an XM tune read whole into memory and checked, field by field, against the format's
// limits and against the bytes present, the way the music library will read it. Only a tune
// the check accepts is handed to the player: the library trusts every size and count in the
// file and reads outside its memory on a damaged one.
#pragma once

#include <cstddef>
#include <cstdint>

// No real tune comes near this; a larger file is refused before it is read.
constexpr size_t xmc_size_cap = size_t{32} << 20;

enum XmcStatus {
    XMC_OK = 0,
    XMC_CANNOT_OPEN, // missing, unreadable, or not a regular file
    XMC_REFUSED,     // read, but not a tune the player can be trusted with
};

struct XmcTune {
    unsigned char *bytes; // the whole file, or null
    size_t size;
    char why[160]; // why the tune was refused or could not be read; empty when accepted
};

// Opens only a regular file, without blocking (a named pipe or a device is refused at
// once), reads at most xmc_size_cap bytes and checks them. On XMC_OK the tune holds the
// bytes; otherwise it holds none and why says what was wrong.
XmcStatus xmc_load(XmcTune *t, const char *path);
// Returns 1 when the player can read the bytes safely; else 0 with the reason in why.
int xmc_check(const unsigned char *bytes, size_t size, char *why, size_t why_size);
void xmc_free(XmcTune *t);
