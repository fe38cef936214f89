#include "driver/setup/ui/GuiThread.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QApplication>
#include <QMetaObject>
#include <QThread>

#include <clocale>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

namespace {

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Whether a Unix socket at `path` accepts a connection. An unreachable
// display must not reach Qt, which aborts on it.
bool socketAccepts(const std::string& path) {
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

// ":N" and ":N.S" are local X servers; a display on another host is
// trusted as given.
bool x11Reachable() {
    const char* value = std::getenv("DISPLAY");
    const std::string display = value != nullptr ? value : "";
    if (display.empty() || display[0] != ':') {
        return !display.empty();
    }
    const std::string number = display.substr(1, display.find('.') - 1);
    return socketAccepts("/tmp/.X11-unix/X" + number);
}

bool waylandReachable() {
    const char* value = std::getenv("WAYLAND_DISPLAY");
    const std::string name = value != nullptr ? value : "";
    if (!name.empty() && name[0] == '/') {
        return socketAccepts(name);
    }
    const char* runtime = ::secure_getenv("XDG_RUNTIME_DIR");
    return runtime != nullptr && socketAccepts(std::string(runtime) + "/" + name);
}

QApplication* makeApplication() {
    // QApplication sets the locale from the environment; the host's stays.
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    static int argc = 1;
    static char name[] = "morvanex";
    static char* argv[] = {name, nullptr};
    // Lives as long as the process: the module is never unloaded.
    auto* application = new QApplication(argc, argv);
    std::setlocale(LC_ALL, saved.c_str());
    return application;
}

QApplication* application(const MorvanexUiHost* host) {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    if (QCoreApplication* existing = QCoreApplication::instance()) {
        auto* gui = qobject_cast<QApplication*>(existing);
        if (gui == nullptr) {
            logToHost(host, "Dialog not shown: the host runs no widget application");
        }
        return gui;
    }
    const char* reason = nullptr;
    if (!GuiThread::displayAvailable(&reason)) {
        logToHost(host, reason);
        return nullptr;
    }
    return makeApplication();
}

// A dialog handed to the application's thread. The caller waits for it to
// start; if it never starts, the caller gives up and the dialog, when the
// loop later takes it, does nothing.
struct HandOver {
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    bool finished = false;
    bool abandoned = false;
    int result = MORVANEX_UI_NOT_SHOWN;
};

int handOver(QApplication* app, const MorvanexUiHost* host, const std::function<int()>& dialog) {
    auto state = std::make_shared<HandOver>();
    // The dialog is copied: the caller may have given up by the time it runs.
    QMetaObject::invokeMethod(
        app,
        [state, dialog] {
            {
                std::lock_guard lock(state->mutex);
                if (state->abandoned) {
                    return;
                }
                state->started = true;
            }
            const int result = dialog();
            std::lock_guard lock(state->mutex);
            state->result = result;
            state->finished = true;
            state->changed.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(state->mutex);
    const bool started =
        state->changed.wait_for(lock, std::chrono::milliseconds(GuiThread::kHandOverWaitMs),
                                [&] { return state->started; });
    if (!started) {
        state->abandoned = true;
        logToHost(host, "Dialog not shown: the application's thread runs no event loop");
        return MORVANEX_UI_NOT_SHOWN;
    }
    state->changed.wait(lock, [&] { return state->finished; });
    return state->result;
}

}  // namespace

void logToHost(const MorvanexUiHost* host, const char* message) {
    if (MORVANEX_UI_HAS(MorvanexUiHost, host, log)) {
        host->log(host->context, message);
    }
}

bool GuiThread::displayAvailable(const char** reason) {
    if (isSet("QT_QPA_PLATFORM")) {
        return true;
    }
    if (isSet("WAYLAND_DISPLAY") && waylandReachable()) {
        return true;
    }
    if (isSet("DISPLAY") && x11Reachable()) {
        return true;
    }
    const char* why =
        isSet("DISPLAY") || isSet("WAYLAND_DISPLAY")
            ? "Dialog not shown: the display cannot be reached"
            : "Dialog not shown: no display (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM unset)";
    if (reason != nullptr) {
        *reason = why;
    }
    return false;
}

int GuiThread::run(const MorvanexUiHost* host, const std::function<int()>& dialog) {
    QApplication* app = application(host);
    if (app == nullptr) {
        return MORVANEX_UI_NOT_SHOWN;
    }
    if (QThread::currentThread() == app->thread()) {
        return dialog();
    }
    return handOver(app, host, dialog);
}
