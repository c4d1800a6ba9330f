// IMG: the Image record, its pixel operations and its files.
//
// An Image is width x height 32-bit words 0x00RRGGBB, row-major. The word 0 is the
// transparent value of img_blit. Every failure prints "IMG error\n" on standard output
// through img_error and gives the operation's null or zero result.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/module_id.h"

struct Image {
    int32_t width;
    int32_t height;
    uint32_t *pixels; // owned; exactly width * height words
};

extern const ModuleId img_module;

// Record and pixel operations.
Image *img_new();                                           // 16 x 16, all zero
void img_free(Image **img);                                 // clears the caller's handle
void img_resize(Image *img, int32_t width, int32_t height); // contents are discarded
void img_clear(Image *img);
void img_put(Image *img, int32_t x, int32_t y, uint32_t pixel);
uint32_t img_get(const Image *img, int32_t x, int32_t y);
void img_blit(const Image *src, Image *dst, int32_t sx, int32_t sy, int32_t dx, int32_t dy,
              int32_t w, int32_t h);
Image *img_copy(const Image *img);
int img_equal(const Image *a, const Image *b);
Image *img_scale(const Image *src, int32_t new_width, int32_t new_height);
Image *img_rotate(const Image *src, int32_t angle);   // angle in 1/1024 of a turn
int *img_run_lengths(int a, int b);                   // release with free()
int *img_line_points(int x0, int y0, int x1, int y1); // release with free()
void img_error();

// True when the two pixel arrays share a word, so that a copy from one to the other has to
// go word by word to read what it has just written. Both need pixels.
bool img_pixels_overlap(const Image *a, const Image *b);
// True when width x height is a valid, non-overflowing pixel count (both >= 0).
bool img_size_ok(int64_t width, int64_t height);

// Files and text forms. A reader whose input ends (end of file, a NUL in a header or a text
// body, the end of a bounded buffer or of a text) before its header is complete or before
// its body holds every pixel reports and returns null; it never returns a partial Image.
// Reads only a regular file (a pipe, a device or a folder is refused at once) whose header
// ends within 64 KiB.
Image *img_load(const char *path);
// The width and height a picture file's header declares, read as img_load reads it, without
// its pixels; false (and nothing said) when the header is not one img_load would take.
bool img_file_size(const char *path, int64_t *width, int64_t *height);
// Binary PPM; 1 on success, 0 on any failure. An existing file is replaced only once the new
// one is complete, so a failed save leaves it as it was.
int img_save(const Image *img, const char *path);
// No length: the header and a P1 to P3 body end at a NUL; a P4 to P6 body must be there.
Image *img_from_pnm(const unsigned char *bytes);
// The same parser, never reading at or past bytes + size.
Image *img_from_pnm_n(const unsigned char *bytes, size_t size);
char *img_to_text(const Image *img); // release with free()
Image *img_from_text(const char *text);
int img_find(const char *text, const char *pattern);
