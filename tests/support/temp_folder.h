#pragma once
// A folder of a test's own under /tmp, removed with everything in it.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace test_support {

class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/jetvane-test-XXXXXX";
        if (::mkdtemp(pattern) != nullptr)
            path_ = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool Valid() const { return !path_.empty(); }
    const std::filesystem::path& Path() const { return path_; }
    // The path of name inside the folder.
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

} // namespace test_support
