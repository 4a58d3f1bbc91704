// Receiver functions gathered for stacking: their samples, time axes and the
// horizontal slowness of the P wave each was made from.
//
// Time convention: a receiver function's zero lag (the direct P) is at time 0
// of its file's time axis, and the file begins at B = -(time shift), as marrick
// and tolvane write it.  Times below are seconds after zero lag.
//
// Slowness: USER0 in the unit KUSER0 names, "s/km" or "s/deg" (as kestrum
// writes it; a receiver function keeps the header of its decon input trace).
// s/deg is converted with 40030.176/360 km per degree, kestrum's Earth.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace rfkit {

// One receiver function as read from its file.
struct ReceiverFunction {
    std::string name;
    std::vector<float> samples;
    double begin = 0;    // time of the first sample (s after zero lag)
    double delta = 0;    // sample interval (s)
    double slowness = 0; // horizontal slowness (s/km)
    std::string station; // KNETWK.KSTNM.KHOLE as given, empty when none is

    // Time of the last sample.
    double end() const { return begin + delta * static_cast<double>(samples.size() - 1); }
    // Amplitude at time t by linear interpolation; zero outside the samples.
    double at(double t) const;
};

// A name to read, with the line of standard input it came from (0: an argument).
struct Named {
    std::string name;
    int line = 0;
};

// The names given as arguments, or, when there are none, one a line from
// standard input (console::JobLines: a trailing carriage return removed,
// blank and '#' lines passed over, a line too long skipped with a message
// and counted in skipped_lines; a read error ends the run with status 2).
// Blanks around a name read from a line are removed.
struct NameList {
    std::vector<Named> names;
    int skipped_lines = 0;
};
NameList input_names(std::span<const std::string> arguments, std::string_view tool);

// Slowness in s/km from USER0 and its unit KUSER0; nullopt (with the reason in
// `why`) when the value is undefined, not finite or negative, or the unit is
// neither "s/km" nor "s/deg".
std::optional<double> slowness_from_header(float user0, std::string_view unit, std::string& why);

// Reads one receiver function.  Refused (nullopt, the reason in `why`): a file
// that cannot be read as an evenly spaced trace, fewer than two samples, a
// sample interval that is not positive, a begin time or a sample that is not
// finite, more than `max_samples` samples, or no usable slowness.
inline constexpr int max_samples = 1 << 20;
std::optional<ReceiverFunction> read_receiver_function(const std::string& name, std::string& why);

// The amplitude of the direct P: the largest sample within half a second of
// zero lag (where a deconvolution puts it; a shallow conversion later can be
// larger).  Zero when no sample lies there.
double direct_p_amplitude(const ReceiverFunction& rf);

// Receiver functions read for one run, and how many named files were left out.
struct Gathered {
    std::vector<ReceiverFunction> used;
    int left_out = 0;
};

// Reads every named file.  A file that cannot be used is named on standard
// error, "<tool>: left out '<name>'[ (line n)]: <reason>", and counted; so is
// one whose sample interval differs by more than 0.1 % from the interval most
// usable files share (on a tie, the earliest's), and, when `normalise` is true, one without a
// positive direct P (the others are divided by their direct-P amplitude).  Skipped lines of the
// list count as left out.  When any was left out, a line "<tool>: <used> of
// <named> receiver functions used" follows.  Receiver functions of more than
// one station are used all the same (a regional stack may be meant), with a
// line naming the stations.
Gathered gather(const NameList& list, std::string_view tool, bool normalise);

// True when the receiver functions all name the same station (or none).
bool one_station(std::span<const ReceiverFunction> rfs);

// An output file of a run, with the option that named it ("-o", "-grid"), and
// the KUSER1 of a trace file it may replace (an earlier output of its kind;
// empty for a text output, which replaces no trace file).
struct Output {
    std::string option, name, replaces;
};

// input_names and gather for a stack: ends the run (status 1, a thrown
// console::Ending) when no file is named or fewer than two are usable, and,
// before any file is read, when an output would replace a named file or a
// trace that is not an earlier output of its kind (a forgotten output name
// makes the first match of a shell pattern the output: `-o *.rf`).
Gathered read_for_stacking(std::span<const std::string> files, std::string_view tool,
                           bool normalise, std::span<const Output> outputs = {});

} // namespace rfkit
