// Where a written trace goes: streams written in place, directories refused,
// replaced files keeping their permission bits, temporary files removed when
// a signal ends the writer, and headers made to describe their samples.
#include "scratch.hpp"
#include "store.hpp"
#include "traceio/output.hpp"
#include "traceio/traceio.hpp"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace traceio;
using traceio_test::Scratch;
using traceio_test::slurp;
using traceio_test::spit;
using Bytes = std::vector<std::uint8_t>;

namespace {

const std::vector<float> ramp{1.0f, 2.0f, 3.0f, 4.0f};

int write_ramp(const std::string& name) {
    int e = 0;
    wsac1(name, ramp, static_cast<int>(ramp.size()), 0.0f, 0.5f, e);
    return e;
}

// Everything a descriptor delivers until its writers are gone.
Bytes drain(int fd) {
    Bytes got;
    std::uint8_t buf[4096];
    for (ssize_t r; (r = ::read(fd, buf, sizeof buf)) > 0;) got.insert(got.end(), buf, buf + r);
    return got;
}

// Runs body in a child process and returns its wait status.
int in_child(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(body());
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

bool has_temporary(const Scratch& s) {
    for (const auto& e : s.entries())
        if (e.ends_with(".part")) return true;
    return false;
}

} // namespace

TEST(StreamTargets, PipeAndStandardOutputGetTheTraceInPlace) {
    Scratch s;
    ASSERT_EQ(write_ramp(s.path("file.sac")), 0);
    const Bytes expected = slurp(s.path("file.sac"));

    // /dev/stdout of a process whose standard output is a pipe: the trace
    // goes down the pipe and the name in /dev stays what it was.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const int status = in_child([&] {
        ::dup2(fds[1], 1);
        ::close(fds[0]);
        ::close(fds[1]);
        return write_ramp("/dev/stdout");
    });
    ::close(fds[1]);
    EXPECT_EQ(drain(fds[0]), expected);
    ::close(fds[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(std::filesystem::is_symlink("/dev/stdout"));

    // A named pipe with a reader: the reader gets the whole trace.
    const std::string fifo = s.path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Bytes got;
    std::thread reader([&] {
        const int fd = ::open(fifo.c_str(), O_RDONLY);
        got = drain(fd);
        ::close(fd);
    });
    EXPECT_EQ(write_ramp(fifo), 0);
    reader.join();
    EXPECT_EQ(got, expected);
    EXPECT_EQ(std::filesystem::status(fifo).type(), std::filesystem::file_type::fifo);

    // A link to a character device is written through, not replaced.
    std::filesystem::create_symlink("/dev/null", s.path("null.sac"));
    EXPECT_EQ(write_ramp(s.path("null.sac")), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(s.path("null.sac")));
    EXPECT_FALSE(has_temporary(s));
}

TEST(StreamTargets, FailuresOfAStreamAreReported) {
    Scratch s;
    // A pipe nobody reads: given up after a few seconds, nothing created.
    const std::string fifo = s.path("unread");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(write_ramp(fifo), 101);
    EXPECT_EQ(errno, ENXIO);
    // A reader that goes away: the write fails (SIGPIPE ignored, as the
    // programs have it) instead of passing for success.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    const int status = in_child([&] {
        std::signal(SIGPIPE, SIG_IGN);
        ::dup2(fds[1], 1);
        const int e = write_ramp("/dev/stdout");
        return e == 115 && errno == EPIPE ? 0 : 1;
    });
    ::close(fds[1]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(write_ramp("/dev/full"), 115);
        EXPECT_EQ(errno, ENOSPC);
    }
    EXPECT_EQ(write_ramp("/dev/fd/999"), 101); // not an open descriptor
    EXPECT_TRUE(s.entries() == std::vector<std::string>{"unread"});
}

TEST(Replacement, DirectoriesRefusedAndPermissionBitsKept) {
    Scratch s;
    std::filesystem::create_directory(s.path("adir"));
    EXPECT_EQ(write_ramp(s.path("adir")), 101);
    EXPECT_EQ(errno, EISDIR);
    std::filesystem::create_directory_symlink(s.path("adir"), s.path("dirlink"));
    EXPECT_EQ(write_ramp(s.path("dirlink")), 101);
    EXPECT_TRUE(std::filesystem::is_directory(s.path("adir")));

    for (mode_t mode : {0600, 0640, 0444, 0755}) {
        const std::string p = s.path("mode" + std::to_string(mode));
        spit(p, Bytes{'o', 'l', 'd'});
        ::chmod(p.c_str(), mode);
        ASSERT_EQ(write_ramp(p), 0);
        struct stat st {};
        ::stat(p.c_str(), &st);
        EXPECT_EQ(st.st_mode & 07777, mode);
        EXPECT_EQ(slurp(p).size(), 632u + 16u);
    }
}

// A signal that ends the writer in the middle of a write leaves nothing of the
// new file and the older one intact, and the writer still ends by that
// signal.  With unnamed temporary files (the default) that holds for SIGKILL
// too; with named ones (file systems without them) the signal handler
// removes the name, so the test waits for the name to appear before it
// signals.
TEST(Replacement, SignalsDuringAWriteLeaveNoTemporaryFile) {
    struct Case {
        bool named;
        int sig;
    };
    const Case cases[] = {{false, SIGINT}, {false, SIGTERM}, {false, SIGKILL},
                          {true, SIGINT},  {true, SIGTERM},  {true, SIGHUP}};
    for (const Case& c : cases) {
        Scratch s;
        const std::string target = s.path("out.sac");
        spit(target, Bytes{'o', 'l', 'd'});
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            detail::unnamed_temporaries = !c.named;
            std::signal(c.sig, SIG_DFL);
            // Long enough (64 MB) to be caught in the act.
            std::vector<float> y(16'000'000, 1.0f);
            (void)!::write(ready[1], "go", 2);
            int e = 0;
            wsac1(target, y, static_cast<int>(y.size()), 0.0f, 1.0f, e);
            ::_exit(3);
        }
        char go[2];
        (void)!::read(ready[0], go, 2);
        ::close(ready[0]);
        ::close(ready[1]);
        if (c.named) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!has_temporary(s) && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        ::kill(child, c.sig);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_EQ(s.entries(), std::vector<std::string>{"out.sac"}) << "signal " << c.sig;
        // An unnamed temporary cannot be watched for: on a fast machine the
        // write may be over before the signal, and the new file whole.
        if (!c.named && WIFEXITED(status) && WEXITSTATUS(status) == 3) {
            EXPECT_EQ(slurp(target).size(), 632u + 16'000'000u * 4u);
            continue;
        }
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.sig) << "signal " << c.sig;
        EXPECT_EQ(slurp(target), (Bytes{'o', 'l', 'd'}));
    }
}

TEST(Replacement, FileSizeLimitWithItsDefaultActionLeavesNoTemporaryFile) {
    for (bool named : {false, true}) {
        Scratch s;
        const std::string target = s.path("out.sac");
        spit(target, Bytes{'o', 'l', 'd'});
        const int status = in_child([&] {
            detail::unnamed_temporaries = !named;
            std::signal(SIGXFSZ, SIG_DFL);
            const rlimit no_core{0, 0}, small{4096, 4096};
            ::setrlimit(RLIMIT_CORE, &no_core);
            ::setrlimit(RLIMIT_FSIZE, &small);
            std::vector<float> y(4000, 1.0f);
            int e = 0;
            wsac1(target, y, 4000, 0.0f, 1.0f, e);
            return 3;
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ);
        EXPECT_EQ(s.entries(), std::vector<std::string>{"out.sac"});
        EXPECT_EQ(slurp(target), (Bytes{'o', 'l', 'd'}));
    }
}

// Both kinds of temporary file give the same file, with the mode of the one
// replaced and nothing left beside it.
TEST(Replacement, NamedAndUnnamedTemporariesGiveTheSameFile) {
    Scratch s;
    std::vector<Bytes> got;
    for (bool named : {false, true}) {
        detail::unnamed_temporaries = !named;
        const std::string p = s.path(named ? "named.sac" : "unnamed.sac");
        spit(p, Bytes{'o'});
        ::chmod(p.c_str(), 0640);
        EXPECT_EQ(write_ramp(p), 0);
        struct stat st {};
        ::stat(p.c_str(), &st);
        EXPECT_EQ(st.st_mode & 0777, 0640u);
        got.push_back(slurp(p));
    }
    detail::unnamed_temporaries = true;
    EXPECT_EQ(got[0], got[1]);
    EXPECT_EQ(got[0].size(), 632u + 16u);
    EXPECT_EQ(s.entries().size(), 2u);
}

TEST(HeaderDescription, FieldsFollowTheSamplesWritten) {
    struct Case {
        std::vector<float> y;
        int npts;
        float b, delta, e, depmin, depmax, depmen;
    };
    const Case cases[] = {
        {{1, -3, 2, 4}, 4, -10.0f, 0.5f, -8.5f, -3, 4, 1},
        {{5, 6, 7, 8}, 2, 0.0f, 0.25f, 0.25f, 5, 6, 5.5f}, // only NPTS samples count
        {{0, 0, 0}, 3, 2.0f, 1.0f, 4.0f, 0, 0, 0},
        {{}, 0, 1.0f, 1.0f, FUNDEF, FUNDEF, FUNDEF, FUNDEF},
    };
    for (const Case& c : cases) {
        newhdr();
        int e = 0;
        setnhv("npts", c.npts, e);
        setfhv("b", c.b, e);
        setfhv("delta", c.delta, e);
        setfhv("e", 200.0f, e); // carried from an input, wrong for these samples
        setfhv("depmax", 2217.48f, e);
        setnhv("nvhdr", 7, e);
        detail::cmhdr.ihdr[detail::i::iftype] = 3; // IAMPH, from a spectral input
        detail::cmhdr.lhdr[detail::l::leven] = 0;
        describe_samples(c.y);
        float v = 0;
        getfhv("e", v, e);
        EXPECT_EQ(v, c.e);
        getfhv("depmin", v, e);
        EXPECT_EQ(v, c.depmin);
        getfhv("depmax", v, e);
        EXPECT_EQ(v, c.depmax);
        getfhv("depmen", v, e);
        EXPECT_EQ(v, c.depmen);
        int n = 0;
        getnhv("nvhdr", n, e);
        EXPECT_EQ(n, 6);
        EXPECT_EQ(detail::cmhdr.ihdr[detail::i::iftype], 1);
        EXPECT_EQ(detail::cmhdr.lhdr[detail::l::leven], 1);
    }
}

TEST(HeaderDescription, PlainFileNames) {
    const std::pair<std::string, bool> cases[] = {
        {"rf.sac", true},
        {"dir/|x.sac", true},
        {"a b", true},
        {"|x.sac", false},
        {std::string("a\0b", 3), false},
        {"a\rb", false},
        {"name\n", false},
        {"tab\tname", false},
        {"del\x7f", false},
        {"d\xc3\xa9j\xc3\xa0.sac", true}, // UTF-8 letters are fine
    };
    for (const auto& [name, plain] : cases) EXPECT_EQ(plain_file_name(name), plain) << name;
}

TEST(InputChecks, TimeSeriesAndBeginTime) {
    struct Case {
        int iftype;
        float b, delta;
        int npts;
        bool series_ok, begin_ok;
    };
    const Case cases[] = {
        {1, -20.0f, 0.05f, 4401, true, true},
        {1, 86400.0f, 0.05f, 2000, true, true}, // a day from the reference: still resolved
        {2, 0.0f, 0.05f, 10, false, true},      // IRLIM
        {3, 0.0f, 0.05f, 10, false, true},      // IAMPH
        {4, 0.0f, 0.05f, 10, false, true},      // IXY
        {51, 0.0f, 0.05f, 10, false, true},     // IXYZ
        {IUNDEF, 0.0f, 0.05f, 10, false, true},
        {1, FUNDEF, 0.05f, 10, true, false},
        {1, 1e38f, 0.05f, 10, true, false},
        {1, -1e38f, 0.05f, 10, true, false},
        {1, 1e6f, 0.05f, 10, true, false}, // samples 0.05 s apart, floats 0.0625 s apart
        {1, 1e6f, 1.0f, 10, true, true},
        {1, NAN, 0.05f, 10, true, false},
        {1, -INFINITY, 0.05f, 10, true, false},
        {1, 3e38f, 1.0f, 5, true, false},
        {1, -40.0f, 0.05f, 2147483647, true, true}, // a bogus NPTS is no fault of B
    };
    for (const Case& c : cases) {
        newhdr();
        detail::cmhdr.ihdr[detail::i::iftype] = c.iftype;
        int e = 0;
        setfhv("b", c.b, e);
        setfhv("delta", c.delta, e);
        setnhv("npts", c.npts, e);
        EXPECT_EQ(time_series_problem().empty(), c.series_ok) << c.iftype;
        EXPECT_EQ(begin_time_problem().empty(), c.begin_ok) << c.b;
    }
    newhdr();
    detail::cmhdr.ihdr[detail::i::iftype] = 2;
    EXPECT_EQ(time_series_problem(), "IFTYPE is IRLIM, not ITIME");
    int e = 0;
    setfhv("b", FUNDEF, e);
    EXPECT_EQ(begin_time_problem(), "B is undefined (-12345)");
}
