// Console conventions shared by the three programs: how a run stops, the
// pause that asks for "go", list-directed records and fixed-width fields,
// and the reading of job lines with the where-line that locates a message.
//
// Every early end of a run is a thrown `console::Ending`; only the program's
// `main` (through `console::run`) turns it into output and an exit status, so
// tests and fuzzers can drive a whole job inside one process.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

namespace console {

// An early end of the run: `line` (may be empty) is written to standard error
// by `run`, which then returns `status`.
class Ending : public std::exception {
  public:
    Ending(int status, std::string line) : status_(status), line_(std::move(line)) {}
    int status() const noexcept { return status_; }
    const std::string& line() const noexcept { return line_; }
    const char* what() const noexcept override { return line_.c_str(); }

  private:
    int status_;
    std::string line_;
};

// A job given up with a message (see `skip`).  `JobLines::run` catches it
// and goes on with the next line; anywhere else it ends the run like any
// other Ending (status 1, its lines on standard error).
class Skip : public Ending {
  public:
    using Ending::Ending;
};

// Stop with a message: the line "STOP " + message, then the where-line (see
// `where`) with `reason`; exit status 1.
[[noreturn]] void stop(std::string_view message, std::string_view reason = {});
// End quietly with the given status (1 after an error, 0 for an orderly end).
// A non-zero status writes the where-line, if there is one, since the
// message it follows has already been written.
[[noreturn]] void quit(int status);
// Ends the run with status 1 after `line` (written as given, as a rule a
// list-directed record) and the where-line with `reason`.
[[noreturn]] void fail(std::string_view line, std::string_view reason = {});
// A text file (model file, job list) that cannot be opened or read: the line
// is written as given, then the where-line, and the exit status is 2.
[[noreturn]] void file_failure(std::string_view line);
// Gives up the current job: `line` is written as given (as a rule a
// list-directed record), then the where-line with `reason`.  Inside
// `JobLines::run` the run goes on with the next job line and ends with
// status 1; elsewhere the run ends at once with status 1.
[[noreturn]] void skip(std::string_view line, std::string_view reason = {});

// Pause on an internal failure: writes "PAUSE <message>" (or "PAUSE") and the
// resume prompt on standard error and reads one line of standard input.
// "go" writes "RESUMED" and returns; anything else ends the run (status 1).
// While standard input is the job list (a `JobLines` exists) no answer is
// read from it: the job is skipped instead, with the line "PAUSE <message>"
// and the where-line.
void pause(std::string_view message = {});

// Where a message points.  While a job line is worked on, the line after
// every stop, skip or file failure says where it happened: the input line
// number, the file the job is working on and the system's (or the
// program's) reason, as far as each is known:
//
//     STOP **Trouble reading wavelet input file.
//       line 12, file 'w.sac': No such file or directory
//
// Outside a job list only the file and the reason are named, and without
// either there is no where-line.

// Names the file that the job's next steps read or write, until the next
// call or the next job line; empty for none.
void concerning(std::string_view file);
// The system's text for an errno value; empty for 0.
std::string system_reason(int error);
// Why a file could not be read or written: the system's text for `error`
// (errno as the failed call left it) or, without one, what the name is when
// it is not a regular file ("Is a directory", "not a regular file"); empty
// when nothing better is known.
std::string file_reason(std::string_view file, int error);
// The where-line for the present place, two blanks first; empty when there
// is nothing to name.
std::string where(std::string_view reason = {});

// True while a JobLines exists: standard input is then the job list.
bool reading_job_list();

// Longest job line (or model-file line) read, in characters before the line
// end; a longer line is refused, and nothing of it is kept beyond this.
inline constexpr std::size_t max_line = 4096;

// One job per line of standard input (console::in()).  A trailing carriage
// return is removed; blank lines and lines whose first non-blank character
// is '#' are passed over without a word.  Lines are numbered as read, the
// passed-over ones included, so the numbers are those an editor shows.
// Only one JobLines exists at a time; while it does, standard input is the
// job list (see `pause`).
class JobLines {
  public:
    // `expects` is shown on standard error, as one line, when standard input
    // is a terminal: what a job line holds and how to end the input.
    explicit JobLines(std::string_view expects);
    ~JobLines();
    JobLines(const JobLines&) = delete;
    JobLines& operator=(const JobLines&) = delete;

    // The next job line, false at the end of input.  A line longer than
    // max_line is skipped (message and where-line) and the next one read.
    // A read error ends the run: " **Trouble reading standard input." and
    // the where-line, status 2 (console::Ending), never the end of input.
    bool next(std::string& line);
    // The number of the line last read (0 before the first).
    long number() const { return number_; }
    // Runs one job on the line last read.  A `Skip` thrown by it is written
    // (its lines on standard error) and counted, and the result is false;
    // any other Ending ends the run.
    bool run(const std::function<void()>& job);
    // True when no line has been skipped.
    bool clean() const { return skipped_ == 0; }

  private:
    long number_ = 0;
    long skipped_ = 0;
};

// The streams the programs talk through; standard streams unless a test
// redirects them.  The redirection stays until restored.
struct Streams {
    std::istream* in;
    std::ostream* out;
    std::ostream* err;
};
Streams& streams();
std::istream& in();
std::ostream& out();
std::ostream& err();

// The command line.  An argument that begins with '-' and is not a number
// looks like an option; one that is none of the program's option words is
// refused with " **Unrecognized parameter: " and the argument, status 1.
// Help is asked for by "-h", "-help" or "--help" anywhere on the line.
bool looks_like_option(std::string_view arg);
[[noreturn]] void unrecognized(std::string_view arg);
bool help_asked(std::span<const std::string> args);

// Why a value meant as one number is not one: empty when `text` is a single
// item, blank or a lone slash; otherwise the reason, e.g. "'2,5' is more
// than one number (the decimal mark is a point)".  The list-directed read
// takes the first item of "2,5" (a decimal comma) or "2/5" and drops the
// rest without a word.
std::string one_number_problem(std::string_view text);

// Runs a program body and returns its exit status: the body's result, or the
// status of an `Ending` (after writing its line to standard error).  Any other
// exception is reported on standard error with status 1.  Standard output is
// flushed in every case; a successful body still gives 2 when standard input
// had a read error, and standard output that could not be written (a full
// disk, a closed pipe: SIGPIPE is ignored from here on) is reported and gives
// at least 1, as does a debug file that could not be written (outputs.hpp).
int run(const std::function<int()>& body);

// The command-line arguments after the program name.
std::span<const std::string> arguments(int argc, char** argv);

// A list-directed record: it begins with one blank; a text item that follows
// another text item is joined to it, every other item is preceded by a blank;
// integers are right-aligned in 11 columns; reals are in G15.8 form.
class Record {
  public:
    Record& text(std::string_view s);
    Record& integer(long value);
    Record& real(float value);
    const std::string& str() const { return line_; }

  private:
    std::string line_ = " ";
    bool first_ = true;
    bool after_text_ = false;
};

// Fixed-width fields (the I, F and G15.8 edit descriptors); a value that
// does not fit fills the field with asterisks.
std::string int_field(long value, int width);
std::string fixed_field(double value, int width, int decimals);
std::string g15_8(float value);

// Text up to (not including) its first blank: how names are echoed.
std::string_view upto_blank(std::string_view s);

} // namespace console
