// rfkit peaks: not built yet.
#include "rfkit/rfkit.hpp"

#include "console/console.hpp"

#include <ostream>

namespace rfkit {

int peaks(std::span<const std::string>) {
    console::err() << "rfkit peaks: not available yet\n";
    return 1;
}

} // namespace rfkit
