#include "multitaper/tolvane.hpp"
#include "numerics/console.hpp"

int main(int argc, char** argv) {
    auto args = console::arguments(argc, argv);
    return console::run([&] { return multitaper::tolvane(args); });
}
