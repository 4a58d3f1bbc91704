// Helpers for the library's tests: a private scratch directory per test and
// whole-file byte access.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace traceio_test {

class Scratch {
  public:
    Scratch() {
        std::string templ = (std::filesystem::temp_directory_path() / "traceio-XXXXXX").string();
        dir_ = ::mkdtemp(templ.data()) ? templ : std::string{};
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(dir_, ec);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    const std::string& dir() const { return dir_; }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    // Names of the entries of the directory, for spotting leftovers.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        return names;
    }

  private:
    std::string dir_;
};

inline std::vector<std::uint8_t> slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void spit(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> bytes_at(const std::vector<std::uint8_t>& v, std::size_t at,
                                          std::size_t n) {
    return {v.begin() + static_cast<std::ptrdiff_t>(at),
            v.begin() + static_cast<std::ptrdiff_t>(at + n)};
}

// Runs check where file permissions bind: directly for an ordinary user, in
// a child process switched to an unprivileged user when running as root.
// True when check returned true.
inline bool unprivileged(const std::function<bool()>& check) {
    if (::geteuid() != 0) return check();
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ok = ::setgid(65534) == 0 && ::setuid(65534) == 0 && check();
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace traceio_test
