#include "traceio/zfile.hpp"

#include "traceio/errors.hpp"
#include "units.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace traceio {

using detail::strip_name;

namespace {

std::optional<std::string>& memory_prefix() {
    static std::optional<std::string> shmpfx;
    return shmpfx;
}

// Path of a memory file: the prefix (empty when none is set) and the name.
std::string memory_path(std::string_view name) {
    return memory_prefix().value_or(std::string{}) + std::string(name);
}

// Commands started by zopenc, so that closing the descriptor also reaps them.
struct Pipe {
    int fd = -1;
    std::FILE* stream = nullptr;
};
std::array<Pipe, 16> pipes;

void close_descriptor(int fd) {
    for (auto& p : pipes) {
        if (p.stream != nullptr && p.fd == fd) {
            ::pclose(p.stream);
            p = Pipe{};
            return;
        }
    }
    ::close(fd);
}

void clear_nonblocking(int fd) {
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
}

} // namespace

void zopenc(int& nfu, std::string_view name, int create, int ronly, int /*nwords*/, int& nerr) {
    nerr = 0;
    std::string_view stripped;
    if (!strip_name(name, stripped)) {
        nerr = ERR_FILE_OPEN;
        return;
    }
    const std::string path(stripped);
    if (!path.empty() && path[0] == '|') {
        std::FILE* p = ::popen(path.c_str() + 1, "w");
        if (p == nullptr) {
            nerr = ERR_FILE_OPEN;
            return;
        }
        for (auto& slot : pipes) {
            if (slot.stream == nullptr) {
                slot = Pipe{::fileno(p), p};
                break;
            }
        }
        nfu = -::fileno(p);
        return;
    }
    int flags = (ronly != 0 ? O_RDONLY : O_RDWR) | O_CLOEXEC;
    if (create != 0) flags |= (create & 2) != 0 ? O_CREAT : (O_CREAT | O_TRUNC);
    // A read-only open must not wait for a writer on a FIFO.
    if (ronly != 0) flags |= O_NONBLOCK;
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        nerr = errno == EACCES ? ERR_FILE_DENIED : ERR_FILE_OPEN;
        return;
    }
    // Reading a regular file never waits, so the flag only matters (and is
    // only cleared) for anything else.
    struct stat st {};
    if (ronly != 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) clear_nonblocking(fd);
    nfu = -fd;
}

void zopenm(int& nfu, std::string_view name, int flags, int nwords, int& nerr) {
    nerr = 0;
    std::string_view stripped;
    if (!strip_name(name, stripped)) {
        nerr = ERR_FILE_OPEN;
        return;
    }
    const std::string shown(stripped);
    const std::string path = memory_path(stripped);
    const int access = ((flags & 1) != 0 ? O_RDONLY : O_RDWR) | O_CLOEXEC;
    // Create exclusively first, so that a failed sizing removes only a file
    // that this call made.
    bool created = false;
    int fd = -1;
    if ((flags & 2) != 0) {
        fd = ::open(path.c_str(), access | O_CREAT | O_EXCL, 0600);
        created = fd >= 0;
    }
    if (fd < 0) fd = ::open(path.c_str(), access);
    if (fd < 0) {
        std::fprintf(stderr, "**Unable to create shared memory file %s: %s\n", shown.c_str(),
                     std::strerror(errno));
        nerr = ERR_FILE_OPEN;
        return;
    }
    if (nwords != 0 && ::ftruncate(fd, static_cast<off_t>(nwords) * 4) != 0) {
        std::fprintf(stderr, "**Unable to size shared memory file %s to %d: %s\n", shown.c_str(),
                     nwords, std::strerror(errno));
        ::close(fd);
        if (created) ::unlink(path.c_str());
        nerr = ERR_FILE_OPEN;
        return;
    }
    nfu = -fd;
}

void znfile(int& nfu, std::string_view name, std::string_view form, int nwords, int& nerr) {
    nerr = 0;
    const std::string_view kind = form.substr(0, 4);
    if (kind == "DATA") {
        if (!name.empty() && name.front() == '|')
            zopenm(nfu, name.substr(1), 2, nwords, nerr);
        else
            zopenc(nfu, name, 1, 0, nwords, nerr);
        if (nerr != 0) nerr = ERR_OPEN;
    } else if (kind == "TEXT") {
        std::string_view stripped;
        bool exists = false;
        zinquire(name, exists);
        if (!strip_name(name, stripped) ||
            detail::unit_connect(nfu, stripped, exists ? detail::Status::Old : detail::Status::New,
                                 detail::Access::Text, 0) != 0)
            nerr = ERR_OPEN;
    } else {
        nerr = ERR_OPEN;
    }
}

void zclose(int nfu, std::string_view name, int& nerr) {
    nerr = 0;
    if (nfu < 0) {
        if (!name.empty() && name.front() == '|')
            zclosem(nfu, name, false);
        else
            zclosec(nfu);
    } else {
        detail::unit_disconnect(nfu, false);
    }
}

void zclosec(int nfu) {
    if (nfu < 0) close_descriptor(-nfu);
}

void zclosem(int nfu, std::string_view name, bool destroy) {
    if (nfu < 0) close_descriptor(-nfu);
    if (!destroy) return;
    std::string_view stripped;
    const bool ok = strip_name(name, stripped);
    const std::string shown(stripped);
    if (!ok || ::unlink(memory_path(stripped).c_str()) != 0)
        std::fprintf(stderr, "**Unable to destroy shared memory file %s: %s\n", shown.c_str(),
                     std::strerror(ok ? errno : ENAMETOOLONG));
}

void zmempfx(std::string_view prefix) {
    const std::string_view stripped = deblank(prefix);
    if (stripped.empty())
        memory_prefix().reset();
    else
        memory_prefix() = std::string(stripped);
}

void zgtfun(int& nfu, int& nerr) {
    nerr = 0;
    for (int u = 19; u >= 1; --u) {
        if (!detail::unit_is_open(u)) {
            nfu = u;
            return;
        }
    }
    nfu = 0;
    nerr = ERR_NO_UNIT;
}

void zinquire(std::string_view name, bool& exists) {
    exists = false;
    std::string_view stripped;
    if (!strip_name(name, stripped)) return;
    struct stat st {};
    if (::stat(std::string(stripped).c_str(), &st) != 0) return;
    exists = !S_ISDIR(st.st_mode);
}

void zdest(std::string_view name, int& nerr) {
    nerr = 0;
    bool exists = false;
    zinquire(name, exists);
    if (!exists) {
        nerr = ERR_DENIED; // the number this layer has always given a missing file
        return;
    }
    int unit = 0;
    zgtfun(unit, nerr);
    if (nerr != 0) return;
    std::string_view stripped;
    strip_name(name, stripped);
    if (detail::unit_connect(unit, stripped, detail::Status::Old, detail::Access::Text, 0) != 0) {
        nerr = ERR_OPEN;
        return;
    }
    // Closing with deletion removes the file; a removal the system refuses
    // (a directory without write permission) is reported, not ignored.
    if (detail::unit_disconnect(unit, true) != 0) nerr = ERR_OPEN;
}

void zrabs(int nfu, std::span<std::byte> words, int count, int offset, int& nerr) {
    nerr = 0;
    if (count < 0 || static_cast<std::size_t>(count) * 4 > words.size()) {
        nerr = ERR_READ;
        return;
    }
    if (count == 0) return;
    const int fd = -nfu;
    const off_t start = static_cast<off_t>(offset) * 4;
    if (nfu >= 0 || offset < 0 || ::lseek(fd, start, SEEK_SET) < 0) {
        nerr = ERR_READ;
        return;
    }
    // One transfer for the whole request; a short read (a signal, a pipe)
    // is continued until all bytes are in or the file ends.
    const std::size_t total = static_cast<std::size_t>(count) * 4;
    std::size_t done = 0;
    while (done < total) {
        const ssize_t r = ::read(fd, words.data() + done, total - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            nerr = ERR_READ;
            return;
        }
        done += static_cast<std::size_t>(r);
    }
}

void zwabs(int nfu, std::span<const std::byte> words, int count, int offset, int& nerr) {
    nerr = 0;
    if (count < 0 || static_cast<std::size_t>(count) * 4 > words.size() || nfu >= 0) {
        nerr = ERR_WRITE;
        return;
    }
    const int fd = -nfu;
    if (offset >= 0 && ::lseek(fd, static_cast<off_t>(offset) * 4, SEEK_SET) < 0) {
        nerr = ERR_WRITE;
        return;
    }
    // One transfer for the whole request, continued after a short write.
    const std::size_t total = static_cast<std::size_t>(count) * 4;
    std::size_t done = 0;
    while (done < total) {
        const ssize_t r = ::write(fd, words.data() + done, total - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            nerr = ERR_WRITE;
            return;
        }
        done += static_cast<std::size_t>(r);
    }
}

void zgetc(std::span<const std::byte> words, std::span<char> text, int count) {
    const std::size_t n =
        std::min({static_cast<std::size_t>(std::max(count, 0)), words.size(), text.size()});
    if (n > 0) std::memcpy(text.data(), words.data(), n);
}

void zputc(std::string_view text, std::span<std::byte> words, int count) {
    const std::size_t n =
        std::min({static_cast<std::size_t>(std::max(count, 0)), words.size(), text.size()});
    if (n > 0) std::memcpy(words.data(), text.data(), n);
}

std::string_view deblank(std::string_view name) {
    static std::array<char, 1024> buffer{};
    std::string_view stripped;
    strip_name(name, stripped);
    const std::size_t n = std::min(stripped.size(), buffer.size() - 1);
    std::copy_n(stripped.begin(), n, buffer.begin());
    buffer[n] = '\0';
    return std::string_view(buffer.data(), n);
}

std::FILE* zstream(int unit) {
    return detail::unit_stream(unit);
}

} // namespace traceio
