// The trace-file library: reading and writing SAC binary trace files, the
// header store with access to its fields by name, the epicentral distance and
// azimuths, and the error numbers every routine reports through.
#pragma once

#include "traceio/distaz.hpp"
#include "traceio/errors.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"
