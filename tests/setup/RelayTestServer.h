#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/AdministratorRequest.h"
#include "platform/PrivilegedRequestContract.h"
#include "platform/LocalSocket.h"
#include "platform/RelaySocketPath.h"

// Stands in for the administrator application's relay: listens on its
// socket, takes one connection, reads the request and answers as told.
class RelayTestServer {
  public:
    enum class Behaviour {
        Reply,        // read the request to its end, send `reply`
        CloseAtOnce,  // close right after accepting, reading nothing
        NeverReply,   // read the request and keep the connection silent
    };

    RelayTestServer(Behaviour behaviour, std::string reply = "OK")
        : behaviour_(behaviour),
          reply_(std::move(reply)),
          path_(relay_socket::path(privileged_request::kAdministratorIdentifier)) {
        listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        unlink(path_.c_str());
        if (listener_ < 0 || !local_socket::bindTo(listener_, path_) || listen(listener_, 1) != 0) {
            throw std::runtime_error("cannot listen on " + path_);
        }
        thread_ = std::thread([this] { serve(); });
    }

    ~RelayTestServer() {
        {
            std::lock_guard lock(mutex_);
            released_ = true;
        }
        released_cv_.notify_all();
        shutdown(listener_, SHUT_RDWR);
        thread_.join();
        close(listener_);
        unlink(path_.c_str());
    }

    std::string received() {
        std::unique_lock lock(mutex_);
        done_cv_.wait(lock, [this] { return done_; });
        return received_;
    }

    // Whether the client ended its side after the request, so that it
    // could be read to its end.
    bool sawEndOfRequest() {
        std::unique_lock lock(mutex_);
        done_cv_.wait(lock, [this] { return done_; });
        return sawEnd_;
    }

  private:
    void serve() {
        const int connection = accept(listener_, nullptr, nullptr);
        if (connection >= 0) {
            handle(connection);
            close(connection);
        }
        std::lock_guard lock(mutex_);
        done_ = true;
        done_cv_.notify_all();
    }

    void handle(int connection) {
        if (behaviour_ == Behaviour::CloseAtOnce) {
            return;
        }
        std::string text;
        char buffer[4096];
        // A client that never ends its side gets no reply: a few seconds
        // rather than its whole reply timeout.
        bool sawEnd = false;
        pollfd waiting{connection, POLLIN, 0};
        while (poll(&waiting, 1, 5000) > 0) {
            const ssize_t got = recv(connection, buffer, sizeof buffer, 0);
            if (got <= 0) {
                sawEnd = got == 0;
                break;
            }
            text.append(buffer, static_cast<size_t>(got));
        }
        {
            std::lock_guard lock(mutex_);
            received_ = text;
            sawEnd_ = sawEnd;
        }
        if (!sawEnd) {
            return;
        }
        if (behaviour_ == Behaviour::Reply) {
            if (!reply_.empty()) {
                send(connection, reply_.data(), reply_.size(), MSG_NOSIGNAL);
            }
            return;
        }
        std::unique_lock lock(mutex_);
        released_cv_.wait(lock, [this] { return released_; });
    }

    Behaviour behaviour_;
    std::string reply_;
    std::string path_;
    int listener_ = -1;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable done_cv_;
    std::condition_variable released_cv_;
    bool done_ = false;
    bool released_ = false;
    bool sawEnd_ = false;
    std::string received_;
};
