// The H-kappa stack's text outputs, for GMT and for scripts.
//
// Grid file: comment lines beginning with '#' (the settings, the number of
// receiver functions and the maximum), then one line "H kappa s" per grid
// point, H varying fastest, s the stack divided by the size of its maximum
// (1 at the best point; NaN where a phase time is imaginary).  GMT reads it with
//   gmt xyz2grd grid.txt -R<h0>/<h1>/<k0>/<k1> -I<dh>/<dk> -Ggrid.nc
//
// Curves file: three GMT segments, headers "> Ps", "> PpPs", "> PpSs+PsPs",
// each a line "H kappa" per kappa of the grid: where each phase arrives at
// the time it has for the best H and kappa at the mean slowness.
#pragma once

#include "rfkit/hkstack.hpp"

#include <span>
#include <string>

namespace rfkit {

// What the comment lines of the grid file say about the run.
struct HkSummary {
    Peak best;
    int used = 0;
    double p_min = 0, p_max = 0, p_mean = 0;
};

std::string grid_text(std::span<const double> grid, const HkSettings& s, const HkSummary& run);
std::string curves_text(const HkSettings& s, const HkSummary& run);

// Writes text to the file `name` as the trace writer writes a trace
// (traceio/output.hpp): a file is replaced whole, its permission bits kept,
// and nothing of the new one remains after a failure or an interruption; a
// device, a named pipe (given up after 5 s without a reader) or one of the
// process's own descriptors is written in place.  Returns an empty string,
// or the reason of the failure (the older file then stays).
std::string replace_text_file(const std::string& name, const std::string& text);

} // namespace rfkit
