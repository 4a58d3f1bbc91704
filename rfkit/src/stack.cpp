// rfkit stack: not built yet.
#include "rfkit/rfkit.hpp"

#include "console/console.hpp"

#include <ostream>

namespace rfkit {

int stack(std::span<const std::string>) {
    console::err() << "rfkit stack: not available yet\n";
    return 1;
}

} // namespace rfkit
