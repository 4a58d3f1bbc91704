// rfkit info: not built yet.
#include "rfkit/rfkit.hpp"

#include "console/console.hpp"

#include <ostream>

namespace rfkit {

int info(std::span<const std::string>) {
    console::err() << "rfkit info: not available yet\n";
    return 1;
}

} // namespace rfkit
