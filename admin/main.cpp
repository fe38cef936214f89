#include <QApplication>
#include <QWidget>

#include "admin/AuthListener.h"
#include "admin/MainWindow.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    MainWindow window(PrivilegedRequest::helperSender());
    if (!window.load()) {
        return 1;
    }
    window.window()->show();
    window.applicationDidFinishLaunching();
    const int status = QApplication::exec();
    // The relay thread, when a setup entry started it, ends before the process.
    AuthListener::stopAndWait();
    return status;
}
