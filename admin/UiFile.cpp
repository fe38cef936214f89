#include "admin/UiFile.h"

#include <QFile>
#include <QHeaderView>
#include <QTableView>
#include <QUiLoader>

#include "platform/SystemLog.h"

// The Designer files live in a static library's resources, which the
// linker keeps only when something names them (outside any namespace, as
// the macro declares the resource's function where it stands).
static void registerResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(quillmark);
        return true;
    }();
    (void)registered;
}

std::unique_ptr<QWidget> UiFile::load(const QString& name, const char* failureText,
                                      QWidget* parent) {
    registerResources();
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

void UiFile::fitColumns(QTableView* view) {
    view->setWordWrap(false);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view->horizontalHeader()->setStretchLastSection(true);
    view->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
}
