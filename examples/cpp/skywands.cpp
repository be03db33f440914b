// Prints each Skywand's buttons and joystick as frames arrive: skywands [port [frames]]
#include <ombrix/Ombrix.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const int port = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int frames = argc > 2 ? std::atoi(argv[2]) : -1; // -1: until stopped
    Ombrix client("", 0, static_cast<unsigned short>(port), 20000, 1000000, 0);
    if (!client.valid()) {
        std::fprintf(stderr, "cannot listen on UDP port %d\n", port);
        return 1;
    }
    for (int n = 0; n != frames;) {
        if (!client.receive()) {
            std::puts(client.data_timeout() ? "no frame within a second" : "bad frame");
            continue;
        }
        ++n;
        for (int i = 0; i < client.get_num_skywand(); ++i) {
            const ombrix_skywand_type s = client.get_skywand(i);
            std::printf("frame %u S%d buttons", client.get_framecounter(), i + 1);
            for (int b = 0; b < s.num_button; ++b)
                std::printf(" %d", s.button[b]);
            std::printf("  stick %.2f %.2f\n", s.joystick[0], s.joystick[1]);
        }
    }
}
