#include "admin/DriverListDialog.h"

#include <QDialog>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>

#include "admin/OdbcListing.h"
#include "admin/RowsModel.h"
#include "admin/UiFile.h"
#include "platform/SystemLog.h"

namespace {
constexpr const char* kNibError = "Error loading nib for driver list";
}

std::optional<std::string> runDriverList(QWidget* parentWindow, SQLHENV henv) {
    std::unique_ptr<QWidget> root =
        UiFile::load(QStringLiteral("DriverList"), kNibError, parentWindow);
    auto* panel = qobject_cast<QDialog*>(root.get());
    QTableView* view = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    try {
        if (panel == nullptr) {
            throw UiFile::MissingOutlet("driverPanel");
        }
        view = UiFile::outlet<QTableView>(panel, "view");
        okButton = UiFile::outlet<QPushButton>(panel, "okButton");
        cancelButton = UiFile::outlet<QPushButton>(panel, "cancelButton");
    } catch (const UiFile::MissingOutlet&) {
        if (root) {
            SystemLog::error(kNibError);
        }
        return std::nullopt;
    }
    RowsModel rows({QStringLiteral("Name")}, QStringLiteral("(NULL)"), false);
    RowsModel::Rows names;
    for (const std::string& name : odbc_listing::drivers(henv)) {
        names.push_back({name});
    }
    rows.setRows(names);
    view->setModel(&rows);
    panel->setWindowModality(Qt::WindowModal);
    const auto selected = [view] { return view->selectionModel()->hasSelection(); };
    okButton->setEnabled(false);
    QObject::connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, okButton,
                     [okButton, selected] { okButton->setEnabled(selected()); });
    QObject::connect(okButton, &QPushButton::clicked, panel, &QDialog::accept);
    QObject::connect(view, &QTableView::doubleClicked, panel, [panel, selected] {
        if (selected()) {
            panel->accept();
        }
    });
    QObject::connect(cancelButton, &QPushButton::clicked, panel, &QDialog::reject);
    if (panel->exec() != QDialog::Accepted || !selected()) {
        return std::nullopt;
    }
    return rows.rows()[static_cast<size_t>(view->currentIndex().row())][0];
}
