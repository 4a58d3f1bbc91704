#include "console/console.hpp"
#include "waterlevel/marrick.hpp"

int main(int argc, char** argv) {
    auto args = console::arguments(argc, argv);
    return console::run([&] { return waterlevel::marrick(args); });
}
