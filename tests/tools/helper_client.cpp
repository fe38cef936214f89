// Sends the request text read from standard input to a helper socket as
// one message and prints the reply; exit 0 when a reply came. With
// --frames N the same request goes N times over one connection; with
// --frames 0 nothing is sent and one reply is awaited.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>

#include "platform/ServiceMessage.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: helper_client SOCKET [--frames N]\n");
        return 2;
    }
    const int frames = argc > 3 && std::strcmp(argv[2], "--frames") == 0 ? std::atoi(argv[3]) : 1;
    const std::string request{std::istreambuf_iterator<char>(std::cin),
                              std::istreambuf_iterator<char>()};
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, argv[1], sizeof address.sun_path - 1);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::perror("connect");
        return 3;
    }
    const auto deadline = descriptor_io::deadlineAfter(std::chrono::seconds(60));
    for (int i = 0; i < std::max(frames, 1); ++i) {
        if (frames > 0 && ServiceMessage::send(fd, {{"request", request}}, deadline) !=
                              descriptor_io::Result::Ok) {
            std::fprintf(stderr, "send failed\n");
            return 4;
        }
        const ServiceMessage::Received reply = ServiceMessage::receive(fd, deadline);
        if (reply.result != descriptor_io::Result::Ok || !reply.fields.count("reply")) {
            std::fprintf(stderr, "no reply\n");
            return 5;
        }
        std::printf("%s\n", reply.fields.at("reply").c_str());
    }
    close(fd);
    return 0;
}
