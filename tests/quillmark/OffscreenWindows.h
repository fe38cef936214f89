#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QWidget>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

// The offscreen application of a window test, its pictures under the build
// folder and its widgets found by name.
class OffscreenWindows {
  public:
    // Starts Qt offscreen in UTF-8, keeping the process locale as it was
    // (Qt takes it when it starts).
    static void start() {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("LANG", "C.UTF-8", 1);
        const std::string locale = std::setlocale(LC_ALL, nullptr);
        static int argc = 1;
        static char name[] = "quillmark_test";
        static char* argv[] = {name, nullptr};
        application() = std::make_unique<QApplication>(argc, argv);
        std::setlocale(LC_ALL, locale.c_str());
    }
    static void stop() { application().reset(); }

    // A PNG of what the widget shows, under screenshots/quillmark/.
    static void save(QWidget* widget, const char* name) {
        const auto folder =
            std::filesystem::path(MORVANEX_BINARY_DIR) / "screenshots" / "quillmark";
        std::filesystem::create_directories(folder);
        const auto file = folder / name;
        ASSERT_TRUE(widget->grab().save(QString::fromStdString(file.string()), "PNG")) << file;
    }

    template <typename T>
    static T* child(QWidget* root, const char* name) {
        T* found = root->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

  private:
    static std::unique_ptr<QApplication>& application() {
        static std::unique_ptr<QApplication> instance;
        return instance;
    }
};
