// The trace-file library: SAC binary files, the header store with access by
// field name, the file-handle layer, the message store and geodetic distance.
#pragma once

#include "traceio/distaz.hpp"
#include "traceio/errors.hpp"
#include "traceio/header.hpp"
#include "traceio/message.hpp"
#include "traceio/sacfile.hpp"
#include "traceio/textutil.hpp"
#include "traceio/zfile.hpp"
