#include "app/Tessit.h"
#include "platform/NativePlatform.h"

int main(int argc, char** argv)
{
    Tessit::NativePlatform platform(argc, argv);
    return Tessit::RunTessit(platform);
}
