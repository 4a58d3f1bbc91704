#include "console/console.hpp"
#include "rfkit/rfkit.hpp"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // Each prepared event allocates and frees a few hundred kB.  By default
    // the C library hands the top of the heap back to the system on every
    // free and faults it in again for the next event, which cost a third of
    // a batch's CPU time.  The heap may keep what it had, up to 64 MB.
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    mallopt(M_TOP_PAD, 16 << 20);
#endif
    auto args = console::arguments(argc, argv);
    return console::run([&] { return rfkit::rfkit(args); });
}
