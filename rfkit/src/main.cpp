#include "console/console.hpp"
#include "rfkit/rfkit.hpp"

int main(int argc, char** argv) {
    auto args = console::arguments(argc, argv);
    return console::run([&] { return rfkit::rfkit(args); });
}
