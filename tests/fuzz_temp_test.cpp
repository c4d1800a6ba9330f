// The fuzz targets' private folder: made where it can be, a new one each time.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fuzz/fuzz_temp.h"
#include "tests/temp_dir.h"

namespace fs = std::filesystem;

// A folder that can't be written (missing, or a file in the way) gives way to the next
// base, and the folder made there is its own and usable.
TEST(FuzzTemp, FallsBackWhenAFolderCannotBeMade) {
    TempDir base;
    const std::string blocked = base.write("not-a-folder", "x");
    const std::string other = base.file("other");
    fs::create_directory(other);
    const std::string first =
        fuzz_make_temp_dir({"/nonexistent/klov", blocked.c_str(), other.c_str()});
    const std::string second = fuzz_make_temp_dir({blocked.c_str(), other.c_str()});
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    for (const std::string &made : {first, second}) {
        EXPECT_EQ(fs::path(made).parent_path(), fs::path(other)) << made;
        EXPECT_TRUE(fs::is_directory(made)) << made;
        std::ofstream(made + "/input.wav") << "data";
        EXPECT_TRUE(fs::exists(made + "/input.wav")) << made;
    }
    EXPECT_EQ(fuzz_make_temp_dir({"/nonexistent/klov", nullptr, ""}), "");
}
