#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/setup/UiModuleTable.h"

// What the dialog tests share: a private environment (offscreen platform,
// temporary home and caches, no display), the built module's table, a
// host that lends the forms and records the log, and a way to act on the
// modal dialog once it shows.
// The system's font library keeps caches for the life of the process that
// the sanitizer build would report when the application outlives main.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace ui_test {

inline void setPrivateEnvironment() {
    char pattern[] = "/tmp/morvanex-ui-test-XXXXXX";
    const char* home = mkdtemp(pattern);
    if (home == nullptr) {
        throw std::runtime_error("no temporary folder");
    }
    setenv("HOME", home, 1);
    setenv("XDG_CACHE_HOME", (std::string(home) + "/cache").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (std::string(home) + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", home, 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("LANG", "C.UTF-8", 1);
    unsetenv("LC_ALL");
    unsetenv("LANGUAGE");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
}

inline const MorvanexUiTable* moduleTable() {
    void* handle = dlopen(MORVANEX_UI_TEST_MODULE, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) {
        throw std::runtime_error(dlerror());
    }
    auto entry = reinterpret_cast<MorvanexUiEntry>(dlsym(handle, MORVANEX_UI_ENTRY_NAME));
    return entry != nullptr ? entry(MORVANEX_UI_ABI_VERSION) : nullptr;
}

struct RecordingHost {
    std::vector<std::string> log;
    std::vector<std::string> helpPages;
    std::string resources = MORVANEX_FORMS_DIR;
    MorvanexUiHost host{};

    RecordingHost() {
        host.abiVersion = MORVANEX_UI_ABI_VERSION;
        host.size = sizeof host;
        host.context = this;
        host.resourcesPath = resources.c_str();
        host.log = [](void* self, const char* line) {
            static_cast<RecordingHost*>(self)->log.emplace_back(line);
        };
        host.openHelp = [](void* self, const char* page) {
            static_cast<RecordingHost*>(self)->helpPages.emplace_back(page);
        };
    }
    void useResources(const std::string& folder) {
        resources = folder;
        host.resourcesPath = resources.c_str();
    }
};

// Saves a picture of the widget under the build folder.
inline void savePicture(QWidget* widget, const std::string& name) {
    const std::filesystem::path folder = std::filesystem::path(MORVANEX_BINARY_DIR) / "dialogs";
    std::filesystem::create_directories(folder);
    widget->grab().save(QString::fromStdString((folder / (name + ".png")).string()));
}

// Runs `action` on the modal dialog as soon as it shows (on the GUI
// thread, from the dialog's own event loop).
inline void whenModal(std::function<void(QWidget*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start();
}

inline void click(QWidget* dialog, const char* button) {
    auto* widget = dialog->findChild<QPushButton*>(QString::fromLatin1(button));
    if (widget == nullptr) {
        ADD_FAILURE() << "no button " << button;
        dialog->close();
        return;
    }
    QTest::mouseClick(widget, Qt::LeftButton);
}

}  // namespace ui_test
