#include <cstdio>

int main(int, char **)
{
    std::fputs("usage: quillor-cli COMMAND ...\n", stderr);
    return 2;
}
