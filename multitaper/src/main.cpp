#include "console/console.hpp"
#include "multitaper/tolvane.hpp"

int main(int argc, char** argv) {
    auto args = console::arguments(argc, argv);
    return console::run([&] { return multitaper::tolvane(args); });
}
