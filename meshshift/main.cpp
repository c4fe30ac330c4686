#include <cstdio>

int main()
{
    std::printf("meshshift\n");
    return 0;
}
