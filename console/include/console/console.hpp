// Console conventions shared by the three programs: how a run stops, the
// pause that asks for "go", list-directed records and fixed-width fields.
//
// Every early end of a run is a thrown `console::Ending`; only the program's
// `main` (through `console::run`) turns it into output and an exit status, so
// tests and fuzzers can drive a whole job inside one process.
#pragma once

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

// Stop with a message: the line "STOP " + message, exit status 1.
[[noreturn]] void stop(std::string_view message);
// End quietly with the given status (1 after an error, 0 for an orderly end).
[[noreturn]] void quit(int status);
// A text file (model file, job list) that cannot be opened or read: the line
// is written as given and the exit status is 2.
[[noreturn]] void file_failure(std::string_view line);

// Pause on an internal failure: writes "PAUSE <message>" (or "PAUSE") and the
// resume prompt on standard error and reads one line of standard input.
// "go" writes "RESUMED" and returns; anything else ends the run (status 1).
void pause(std::string_view message = {});

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

// Runs a program body and returns its exit status: the body's result, or the
// status of an `Ending` (after writing its line to standard error).  Any other
// exception is reported on standard error with status 1.  Standard output is
// flushed in every case; a successful body still gives 2 when standard input
// had a read error, and standard output that could not be written (a full
// disk, a closed pipe: SIGPIPE is ignored from here on) is reported and gives
// at least 1.
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
