// Stands in for the administrator application's relay in shell tests: listens
// where the driver looks for it, takes one request, writes its dictionary as
// sorted "key=value" lines (or "unparsable") to OUTPUT and answers REPLY.
//
//   relay_stub REPLY OUTPUT
//
// "listening" on stdout tells the test that the socket is ready.
#include <sys/socket.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/AdministratorRequest.h"
#include "platform/PrivilegedRequestContract.h"
#include "platform/LocalSocket.h"
#include "platform/PropertyList.h"
#include "platform/RelaySocketPath.h"
#include "platform/UniqueFd.h"

namespace {

UniqueFd listenAt(const std::string& path) {
    UniqueFd listener = local_socket::stream();
    unlink(path.c_str());
    if (!listener.valid() || !local_socket::bindTo(listener.get(), path) ||
        listen(listener.get(), 1) != 0) {
        return {};
    }
    return listener;
}

std::string readToEnd(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

std::string describe(const std::string& request) {
    const std::optional<PropertyList> dictionary = PropertyList::parse(request);
    if (!dictionary) {
        return "unparsable\n";
    }
    std::vector<std::string> keys = dictionary->keys();
    std::sort(keys.begin(), keys.end());
    std::string lines;
    for (const std::string& key : keys) {
        lines += key + "=" + dictionary->string(key).value_or("<not a string>") + "\n";
    }
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s REPLY OUTPUT\n", argv[0]);
        return 2;
    }
    const std::string path = relay_socket::path(privileged_request::kAdministratorIdentifier);
    const UniqueFd listener = listenAt(path);
    if (!listener.valid()) {
        std::perror(path.c_str());
        return 1;
    }
    std::printf("listening\n");
    std::fflush(stdout);
    const UniqueFd connection(accept(listener.get(), nullptr, nullptr));
    if (!connection.valid()) {
        return 1;
    }
    std::ofstream(argv[2], std::ios::binary) << describe(readToEnd(connection.get()));
    const std::string reply = argv[1];
    send(connection.get(), reply.data(), reply.size(), MSG_NOSIGNAL);
    unlink(path.c_str());
    return 0;
}
