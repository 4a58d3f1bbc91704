// Shared by the modules' tests: a private scratch directory per test, and the
// console streams sent to strings so that whole runs can be driven in-process.
#pragma once

#include "console/console.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rftest {

// A fresh directory under the system's temporary directory, removed with its
// contents (entries a test made read-only included) when the object goes.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "rftest-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        dir_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(dir_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory, and a name inside it.
    const std::string& path() const { return dir_; }
    std::string path(std::string_view name) const { return dir_ + "/" + std::string(name); }
    // Writes a text file inside the directory and returns its name.
    std::string write(std::string_view name, const std::string& text) const {
        std::ofstream(path(name)) << text;
        return path(name);
    }
    // Names of the directory's entries, for spotting leftovers.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        return names;
    }

  private:
    std::string dir_;
};

// Sends the console streams to strings while alive; `input` is what the
// program finds on its standard input.
class Captured {
  public:
    explicit Captured(std::string input = {}) : in_(std::move(input)), saved_(console::streams()) {
        console::streams() = {&in_, &out_, &err_};
    }
    ~Captured() { console::streams() = saved_; }
    Captured(const Captured&) = delete;
    Captured& operator=(const Captured&) = delete;
    std::string out() const { return out_.str(); }
    std::string err() const { return err_.str(); }
    // Standard error without the where-lines (those beginning with two
    // blanks): the messages themselves, one a line.
    std::string said() const {
        std::string s;
        std::istringstream lines(err_.str());
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("  ", 0) != 0) s += line + "\n";
        return s;
    }

  private:
    std::istringstream in_;
    std::ostringstream out_, err_;
    console::Streams saved_;
};

} // namespace rftest
