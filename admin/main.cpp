#include <QApplication>

#include "admin/MainWindow.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    // Ties the windows to the installed desktop entry and its icon.
    QApplication::setDesktopFileName(QStringLiteral("com.vorlanworks.quillmark"));
    return MainWindow::run(PrivilegedRequest::helperSender());
}
