// Opens up to N connections to a local socket without sending anything,
// prints how many connected, and holds them open for S seconds: a caller
// that tries to tie up a service's processes.
#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/LocalSocket.h"
#include "platform/UniqueFd.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: connection_holder SOCKET COUNT SECONDS\n");
        return 2;
    }
    const int count = std::atoi(argv[2]);
    const int seconds = std::atoi(argv[3]);
    std::vector<UniqueFd> held;
    for (int i = 0; i < count; ++i) {
        UniqueFd fd = local_socket::stream();
        if (fd.valid() && local_socket::connectTo(fd.get(), argv[1])) {
            held.push_back(std::move(fd));
        }
    }
    std::printf("%zu\n", held.size());
    std::fflush(stdout);
    poll(nullptr, 0, seconds * 1000);
    return 0;
}
