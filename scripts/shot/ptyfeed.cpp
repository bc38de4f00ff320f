// ptyfeed FILE: opens a pseudo-terminal, writes the name of its device to
// FILE, then sends GPS-style sentences into it, ten lines a second, until it
// is killed. scripts/screenshots maps the device as COM1 so the receive pane
// and the console have something real to show.
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

unsigned Checksum(const char* body)
{
    unsigned sum = 0;
    for (const char* p = body; *p != '\0'; ++p) {
        sum ^= static_cast<unsigned char>(*p);
    }
    return sum;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: ptyfeed FILE\n");
        return 2;
    }
    int master = -1;
    int slave = -1;
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("ptyfeed: openpty");
        return 1;
    }
    // Keep the slave open so writes never fail with EIO before the program
    // opens the port; the master never blocks (a full queue drops the line).
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) {
        std::perror("ptyfeed: FILE");
        return 1;
    }
    std::fprintf(out, "%s\n", name);
    std::fclose(out);

    for (unsigned n = 0;; ++n) {
        char body[128];
        const unsigned second = n / 10;
        if (n % 2 == 0) {
            std::snprintf(body, sizeof body,
                          "GPGGA,0812%02u.%u0,3954.8410,N,11623.4120,E,1,08,0.9,48.%u,M,-8.2,M,,",
                          second % 60, n % 10, n % 10);
        } else {
            std::snprintf(body, sizeof body, "GPRMC,0812%02u.%u0,A,3954.8410,N,11623.4120,E,0.02,31.6,071226,,,A",
                          second % 60, n % 10);
        }
        char line[160];
        const int length = std::snprintf(line, sizeof line, "$%s*%02X\r\n", body, Checksum(body));
        if (write(master, line, static_cast<size_t>(length)) < 0) {
            // Queue full while nobody reads: try again on the next line.
        }
        usleep(100000);
    }
}
