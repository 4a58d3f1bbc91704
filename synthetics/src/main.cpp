#include "console/console.hpp"
#include "synthetics/kestrum.hpp"

int main(int argc, char** argv) {
    auto args = console::arguments(argc, argv);
    return console::run([&] { return synthetics::kestrum(args); });
}
