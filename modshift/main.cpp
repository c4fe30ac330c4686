#include <cstdio>

int main()
{
    std::printf("Welcome in Lorewright v%X.%02X\n\n", 0, 0x93);
    return 0;
}
