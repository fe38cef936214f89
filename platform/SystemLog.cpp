#include "platform/SystemLog.h"

#include <syslog.h>

#include <mutex>

struct SystemLog::Capture::State {
    mutable std::mutex mutex;
    std::vector<Entry> entries;
};

namespace {

std::mutex& captureMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<SystemLog::Capture::State>& activeCapture() {
    static std::shared_ptr<SystemLog::Capture::State> state;
    return state;
}

int syslogPriority(SystemLog::Level level) {
    return level == SystemLog::Level::Error ? LOG_ERR : LOG_NOTICE;
}

}  // namespace

void SystemLog::write(Level level, std::string_view message) {
    std::shared_ptr<Capture::State> capture;
    {
        std::lock_guard lock(captureMutex());
        capture = activeCapture();
    }
    if (capture) {
        std::lock_guard lock(capture->mutex);
        capture->entries.push_back({level, std::string(message)});
        return;
    }
    // Never a format string: the text may hold '%'.
    const std::string text(message);
    syslog(syslogPriority(level), "%s", text.c_str());
}

SystemLog::Capture::Capture() : state_(std::make_shared<State>()) {
    std::lock_guard lock(captureMutex());
    activeCapture() = state_;
}

SystemLog::Capture::~Capture() {
    std::lock_guard lock(captureMutex());
    if (activeCapture() == state_) {
        activeCapture().reset();
    }
}

std::vector<SystemLog::Capture::Entry> SystemLog::Capture::entries() const {
    std::lock_guard lock(state_->mutex);
    return state_->entries;
}

std::vector<std::string> SystemLog::Capture::texts() const {
    std::vector<std::string> result;
    for (const Entry& entry : entries()) {
        result.push_back(entry.text);
    }
    return result;
}

bool SystemLog::Capture::contains(std::string_view text) const {
    for (const Entry& entry : entries()) {
        if (entry.text == text) {
            return true;
        }
    }
    return false;
}
