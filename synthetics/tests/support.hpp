// Test helpers: console capture, a private temporary directory, model files.
#pragma once

#include "numerics/console.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace synthetics::testing {

// Redirects the console streams for the life of the object.
class Capture {
  public:
    explicit Capture(std::string input = "") : in_(std::move(input)), saved_(console::streams()) {
        console::streams() = {&in_, &out_, &err_};
    }
    ~Capture() { console::streams() = saved_; }
    std::string out() const { return out_.str(); }
    std::string err() const { return err_.str(); }

  private:
    std::istringstream in_;
    std::ostringstream out_, err_;
    console::Streams saved_;
};

// A fresh directory removed with its contents at the end of the test.
class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "synthetics-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(file(name)) << text;
        return file(name);
    }

  private:
    std::string path_;
};

// One layer line in the fixed columns of a model file.
inline std::string layer_line(int i, std::vector<double> v) {
    char buf[128];
    v.resize(9, 0.0);
    std::snprintf(buf, sizeof buf, "%3d %8.2f%8.2f%8.2f%8.2f%8.2f%8.2f%8.2f%8.2f%8.2f\n", i, v[0],
                  v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
    return buf;
}

inline std::string model_text(const std::string& title, const std::vector<std::vector<double>>& l) {
    char head[32];
    std::snprintf(head, sizeof head, "%3d%-10s\n", static_cast<int>(l.size()), title.c_str());
    std::string s = head;
    for (size_t i = 0; i < l.size(); ++i) s += layer_line(static_cast<int>(i + 1), l[i]);
    return s;
}

} // namespace synthetics::testing
