// Helpers for the intro's tests: a temporary working folder holding copies of the data
// files, and a way to bring the intro's state back to what a fresh process has.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "intro/intro.h"
#include "intro/intro_bars.h"
#include "intro/intro_effects.h"
#include "intro/intro_scene.h"

namespace fs = std::filesystem;

// The files the scene reads, as the data folder holds them.
inline const char *const scene_files[] = {"font8x8.pbm",   "K.ppm",           "L.ppm",
                                          "O.ppm",         "V.ppm",           "klov-tamblor.ppm",
                                          "klov-2008.ppm", "klov-rainbow.ppm"};

// A fresh folder that becomes the working folder for the object's life, holding copies of
// the scene's data files (or of none). Removed afterwards.
class DataFolder {
  public:
    explicit DataFolder(bool with_scene_files = true) {
        char pattern[] = "/tmp/klov-scene-XXXXXX";
        const char *made = mkdtemp(pattern);
        if (!made) throw std::runtime_error("mkdtemp");
        path_ = made;
        old_ = fs::current_path();
        if (with_scene_files)
            for (const char *f : scene_files) copy(f);
        fs::current_path(path_);
    }
    ~DataFolder() {
        fs::current_path(old_);
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    DataFolder(const DataFolder &) = delete;
    DataFolder &operator=(const DataFolder &) = delete;

    void copy(const char *file) {
        fs::copy_file(fs::path(KLOV_SOURCE_DIR) / "data" / file, path_ / file,
                      fs::copy_options::overwrite_existing);
    }
    void remove(const char *file) { fs::remove(path_ / file); }
    const fs::path &path() const { return path_; }

  private:
    fs::path path_;
    fs::path old_;
};

// What a fresh process starts with: the unseeded random sequence (the same as seed 1),
// the swings and sprite phases at their start, the sprites off, the bars at entry 0.
inline void reset_intro_state() {
    srand(1);
    swing_a.phase = 0;
    swing_b.phase = 233;
    for (int32_t &p : sprite_phase) p = 0;
    sprite_flags = 0;
    intro_bars.index = 0;
    quit_flag = 0;
    intro_held_key = 0;
}
