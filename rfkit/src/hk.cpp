// rfkit hk: not built yet.
#include "rfkit/rfkit.hpp"

#include "console/console.hpp"

#include <ostream>

namespace rfkit {

int hk(std::span<const std::string>) {
    console::err() << "rfkit hk: not available yet\n";
    return 1;
}

} // namespace rfkit
