#include "units.hpp"

#include "traceio/textutil.hpp"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace traceio::detail {
namespace {

struct Unit {
    bool open = false;
    bool standard = false;
    int fd = -1;
    std::FILE* stream = nullptr;
    int record_length = 0;
    std::string path;
};

std::array<Unit, max_unit + 1>& table() {
    static std::array<Unit, max_unit + 1> units = [] {
        std::array<Unit, max_unit + 1> t{};
        t[0] = Unit{true, true, 2, stderr, 0, {}};
        t[5] = Unit{true, true, 0, stdin, 0, {}};
        t[6] = Unit{true, true, 1, stdout, 0, {}};
        return t;
    }();
    return units;
}

// Opens an existing file for reading and writing if allowed, else for one of
// them.  Opening never blocks (a FIFO without a writer); reads and writes
// afterwards block as usual.
int open_existing(const std::string& path, const char*& mode, int& err) {
    static constexpr std::array<int, 3> modes{O_RDWR, O_RDONLY, O_WRONLY};
    static constexpr std::array<const char*, 3> texts{"r+", "r", "a"};
    err = 0;
    for (std::size_t k = 0; k < modes.size(); ++k) {
        const int fd = ::open(path.c_str(), modes[k] | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0) {
            mode = texts[k];
            return fd;
        }
        if (err == 0) err = errno;
    }
    return -1;
}

} // namespace

bool unit_valid(int unit) {
    return unit >= 0 && unit <= max_unit;
}

bool unit_is_open(int unit) {
    return unit_valid(unit) && table()[unit].open;
}

int unit_connect(int unit, std::string_view path, Status status, Access access, int record_length) {
    if (!unit_valid(unit)) return EBADF;
    Unit& u = table()[unit];
    if (u.open) return EBUSY;
    if (access == Access::Records && record_length <= 0) return EINVAL;
    std::string name(path);
    const char* mode = "r+";
    int err = 0;
    int fd = -1;
    if (status == Status::Old) {
        fd = open_existing(name, mode, err);
    } else {
        fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NONBLOCK, 0666);
        if (fd < 0) err = errno;
    }
    if (fd < 0) return err;
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    std::FILE* stream = nullptr;
    if (access == Access::Text) {
        stream = ::fdopen(fd, mode);
        if (stream == nullptr) {
            err = errno;
            ::close(fd);
            return err;
        }
    }
    u = Unit{true, false, fd, stream, record_length, std::move(name)};
    return 0;
}

int unit_disconnect(int unit, bool remove) {
    if (!unit_is_open(unit)) return 0;
    Unit& u = table()[unit];
    if (u.standard) return 0;
    int err = 0;
    if (u.stream != nullptr) {
        if (std::fclose(u.stream) != 0) err = errno;
    } else if (::close(u.fd) != 0) {
        err = errno;
    }
    if (remove && ::unlink(u.path.c_str()) != 0) err = errno;
    u = Unit{};
    return err;
}

namespace {

// Moves one whole record between a unit and memory with pread or pwrite,
// resuming after interruptions and short transfers.
template <typename Byte, typename Transfer>
int transfer_record(int unit, int rec, std::span<Byte> record, Transfer move) {
    if (!unit_is_open(unit) || rec < 1) return EBADF;
    const Unit& u = table()[unit];
    if (u.stream != nullptr || record.size() > static_cast<std::size_t>(u.record_length))
        return EINVAL;
    off_t pos = static_cast<off_t>(rec - 1) * u.record_length;
    std::size_t done = 0;
    while (done < record.size()) {
        const ssize_t r = move(u.fd, record.data() + done, record.size() - done, pos);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return errno;
        if (r == 0) return EIO;
        done += static_cast<std::size_t>(r);
        pos += r;
    }
    return 0;
}

} // namespace

int unit_read_record(int unit, int rec, std::span<std::byte> record) {
    return transfer_record(unit, rec, record, ::pread);
}

int unit_write_record(int unit, int rec, std::span<const std::byte> record) {
    return transfer_record(unit, rec, record, ::pwrite);
}

std::FILE* unit_stream(int unit) {
    return unit_is_open(unit) ? table()[unit].stream : nullptr;
}

bool strip_name(std::string_view name, std::string_view& stripped) {
    name = name.substr(0, name.find('\0'));
    stripped = trimmed(name);
    if (stripped.empty()) stripped = name.substr(0, name.empty() ? 0 : 1); // all blanks: one blank
    return stripped.size() < 1024;
}

} // namespace traceio::detail
