#include "app/Tessit.h"

int main(int argc, char** argv)
{
    const std::unique_ptr<Tessit::Platform> platform = Tessit::createNativePlatform(argc, argv);
    return Tessit::RunTessit(*platform);
}
