#include <string>
#include <vector>

#include "common/console/console.hpp"
#include "common/platform/platform.hpp"
#include "modshift/driver/run.hpp"

int main(int argc, char** argv)
{
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i)
        args.emplace_back(argv[i] != nullptr ? argv[i] : "");
    auto platform = lw::makeSystemPlatform();
    lw::Console console;
    return lw::modshift::runModshift(args, *platform, console);
}
