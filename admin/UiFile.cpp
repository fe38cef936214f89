#include "admin/UiFile.h"

#include <QFile>
#include <QUiLoader>

#include "platform/SystemLog.h"

std::unique_ptr<QWidget> UiFile::load(const QString& name, const char* failureText,
                                      QWidget* parent) {
    QFile file(QStringLiteral(":/ui/%1.ui").arg(name));
    std::unique_ptr<QWidget> widget;
    if (file.open(QIODevice::ReadOnly)) {
        QUiLoader loader;
        widget.reset(loader.load(&file, parent));
    }
    if (!widget) {
        SystemLog::error(failureText);
    }
    return widget;
}
