// Reading a subcommand's arguments: options (with the values after them) and
// file names, in any order; after "--" every argument is a file name.  A
// number such as -0.5 is never an option.  A mistake ends the run with status 1 and a message
// naming the subcommand and the argument (a thrown console::Ending).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rfkit {

class Arguments {
  public:
    Arguments(std::span<const std::string> args, std::string_view tool)
        : args_(args), tool_(tool) {}

    // The next option (an argument that begins with '-' and is neither a lone
    // "-" nor a number); file names on the way are kept.  Empty at the end.
    std::string option();
    // The number after the option just read: finite, or the run ends.
    double number(std::string_view option);
    // The integer after the option just read, within lo..hi.
    long integer(std::string_view option, long lo, long hi);
    // The text after the option just read.
    std::string text(std::string_view option);
    // The file names met so far (all of them once option() returned empty).
    std::span<const std::string> files() const { return files_; }

    // Ends the run (status 1) for an option this subcommand does not know.
    [[noreturn]] void unknown(const std::string& option) const;
    // Ends the run with status 1 after "<tool>: <message>".
    [[noreturn]] void refuse(const std::string& message) const;

  private:
    const std::string& value(std::string_view option);
    std::span<const std::string> args_;
    std::string tool_;
    std::size_t next_ = 0;
    bool ended_ = false;
    std::vector<std::string> files_;
};

} // namespace rfkit
