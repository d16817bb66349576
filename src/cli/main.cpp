// Placeholder until keli-calc is built.
#include <cstdio>

int main()
{
    std::fputs("keli-calc: not built yet\n", stderr);
    return 2;
}
