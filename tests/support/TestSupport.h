// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers shared by the tests: a temporary working folder and an error-box collector.
#pragma once

#include "platform/ErrorBox.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace cbtest {

// Creates a fresh folder, makes it the current directory (the tables live there) and
// removes it again, restoring the previous current directory.
class TempDir {
public:
    explicit TempDir(bool enter = true) {
        std::string pattern = (std::filesystem::temp_directory_path() / "cbtest-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data())) std::abort();
        path_ = buf.data();
        previous_ = std::filesystem::current_path();
        if (enter) std::filesystem::current_path(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
        // Read-only files made by tests must not stop the clean-up.
        for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ec))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

// Collects the texts of error boxes instead of showing them.
class ErrorBoxCapture {
public:
    ErrorBoxCapture() {
        previous_ = cb::SetErrorBoxHandler(&Collect);
        Texts().clear();
    }
    ~ErrorBoxCapture() { cb::SetErrorBoxHandler(previous_); }
    const std::vector<std::string>& texts() const { return Texts(); }
    void clear() { Texts().clear(); }

private:
    static std::vector<std::string>& Texts() {
        static std::vector<std::string> texts;
        return texts;
    }
    static void Collect(const std::string& text) { Texts().push_back(text); }
    cb::ErrorBoxHandler previous_;
};

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void WriteWholeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

} // namespace cbtest
