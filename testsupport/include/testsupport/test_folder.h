#pragma once
// A fresh folder for one test under the system's temporary folder, removed with the object. Its name
// carries the test's own name, a stem, a count and a random tag, so folders of tests that ctest runs
// side by side, or two of one test, never share a name. The tag matters for a suite's shared folder:
// made before any test starts, it has no test name, and ctest runs each test of the suite in a process
// of its own, all at once.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace testsupport {

class TestFolder {
public:
    explicit TestFolder(const std::string& stem = "") {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        static int made = 0;  // folders made by this process: two in one test never share a name
        std::string name = "orvalis";
        for (const std::string& part : {info ? std::string(info->test_suite_name()) : std::string("no-test"),
                                        info ? std::string(info->name()) : std::string(), stem, std::to_string(++made),
                                        std::to_string(std::random_device{}())}) {
            if (part.empty()) continue;
            name.append(1, '-');
            name.append(part);
        }
        path_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TestFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    std::filesystem::path write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(path_ / name, std::ios::binary);
        out << bytes;
        return path_ / name;
    }

    std::string read(const std::string& name) const {
        std::ifstream in(path_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::filesystem::path path_;
};

}  // namespace testsupport
