#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace tv::test {

// A fresh temporary folder per test, removed afterwards.
class TTempFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "tenvari-test-XXXXXX");
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern + "/";
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }

    // Writes bytes exactly as given and returns the file's path.
    std::string WriteBytes(const std::string& name, std::string_view bytes) const {
        const std::string path = folder_ + name;
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(out.good()) << path;
        return path;
    }

    const std::string& Folder() const { return folder_; }

private:
    std::string folder_;
};

// Sets an environment variable for one test and restores it afterwards.
class TEnvOverride {
public:
    TEnvOverride(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~TEnvOverride() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    TEnvOverride(const TEnvOverride&) = delete;
    TEnvOverride& operator=(const TEnvOverride&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace tv::test
