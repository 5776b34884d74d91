// rq5200-sim: an emulator of the RQ-5200 base unit on a pseudo-terminal (being built).
#include <cstdio>

int main() {
    std::fprintf(stderr, "rq5200-sim: not available yet\n");
    return 2;
}
