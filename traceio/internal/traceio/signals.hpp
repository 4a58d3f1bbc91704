// Holding the signals that interrupt a run while files are being put in
// place, so that no temporary file outlives an interruption and no set of
// files is left half replaced.
#pragma once

#include <array>
#include <csignal>

namespace traceio {

// The signals that end a run from outside and whose default action a
// writer takes over: interrupt, termination, hang-up and the file-size limit.
inline constexpr std::array interrupting_signals{SIGINT, SIGTERM, SIGHUP, SIGXFSZ};

// Holds the interrupting signals while alive; one that comes meanwhile acts
// when the outermost holder ends (holders nest).
class HeldSignals {
  public:
    HeldSignals() {
        sigset_t set;
        sigemptyset(&set);
        for (int s : interrupting_signals) sigaddset(&set, s);
        ::sigprocmask(SIG_BLOCK, &set, &saved_);
    }
    ~HeldSignals() { ::sigprocmask(SIG_SETMASK, &saved_, nullptr); }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

  private:
    sigset_t saved_;
};

} // namespace traceio
