#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "platform/PrivilegedRequestContract.h"
#include "platform/ServiceMessage.h"
#include "platform/UniqueFd.h"

// The relay of the driver's privileged requests: one thread serving the
// local socket of platform's relay path, one connection at a time. Only
// peers running as our own user are served; each connection has a
// deadline; the request is read to its end (the client shuts its sending
// side down), passed to the helper through CallSMBlessTool, and the
// helper's reply ("OK" or "ERROR <status>") is sent back. One relay per
// process; one that ended after an error starts again on the next call.
class AuthListener {
  public:
    // Longest request the helper's message can carry: its body less the
    // field's name and the two NULs.
    static constexpr size_t kMaxRequest =
        ServiceMessage::kMaxBody -
        std::char_traits<char>::length(privileged_request::kMessageRequestField) - 2;

    // Makes sure the relay runs; returns 0 at once.
    static int handleAuthRequests();
    // Ends the relay at its next wait and waits for it (tests, shutdown).
    static void stopAndWait();
    static bool running() { return running_.load(); }
    // How long one connection may take (tests shorten it).
    static void setConnectionDeadline(std::chrono::milliseconds deadline);

  private:
    static void handleAuthRequestsThread();
    static int start();
    static int listen();
    static int dispatch();
    static void stop();

    static std::mutex threadMutex_;
    static std::thread thread_;
    static std::atomic<bool> running_;
    static std::atomic<bool> stopListening_;
    static std::atomic<long long> deadlineMs_;
    static int acc;
    static int fd;
    static std::string socketPath;
    static unsigned long socketInode_;
    // Written by stopAndWait to end the relay's wait at once.
    static UniqueFd wake_;
};

// The plain function of the same name.
int handleAuthRequests();
