// rfkit prep: not built yet.
#include "rfkit/rfkit.hpp"

#include "console/console.hpp"

#include <ostream>

namespace rfkit {

int prep(std::span<const std::string>) {
    console::err() << "rfkit prep: not available yet\n";
    return 1;
}

} // namespace rfkit
