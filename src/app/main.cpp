#include <cstdio>

int main(int argc, char** argv) {
    (void)argc; (void)argv;
    std::fprintf(stderr, "Velkaro\n");
    return 0;
}
