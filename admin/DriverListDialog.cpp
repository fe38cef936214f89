#include "admin/DriverListDialog.h"

#include <QDialog>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>

#include "admin/OdbcListing.h"
#include "admin/UiFile.h"
#include "platform/SystemLog.h"

namespace {
constexpr const char* kNibError = "Error loading nib for driver list";
}

DriverListDialog::DriverListDialog(QWidget* parentWindow)
    : parentWindow_(parentWindow),
      rows_({QStringLiteral("Name")}, QStringLiteral("(NULL)"), false) {}

DriverListDialog::~DriverListDialog() = default;

bool DriverListDialog::prepare(SQLHENV henv) {
    root_ = UiFile::load(QStringLiteral("DriverList"), kNibError, parentWindow_);
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    try {
        panel_ = UiFile::rootAs<QDialog>(root_, "driverPanel");
        view_ = UiFile::outlet<QTableView>(panel_, "view");
        okButton = UiFile::outlet<QPushButton>(panel_, "okButton");
        cancelButton = UiFile::outlet<QPushButton>(panel_, "cancelButton");
    } catch (const UiFile::MissingOutlet&) {
        if (root_) {
            SystemLog::error(kNibError);
        }
        root_.reset();
        panel_ = nullptr;
        return false;
    }
    RowsModel::Rows names;
    for (const std::string& name : odbc_listing::drivers(henv)) {
        names.push_back({name});
    }
    rows_.setRows(names);
    view_->setModel(&rows_);
    panel_->setWindowModality(Qt::WindowModal);
    const auto selected = [this] { return view_->selectionModel()->hasSelection(); };
    QObject::connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, okButton,
                     [okButton, selected] { okButton->setEnabled(selected()); });
    QObject::connect(okButton, &QPushButton::clicked, panel_, &QDialog::accept);
    QObject::connect(view_, &QTableView::doubleClicked, panel_, [this, selected] {
        if (selected()) {
            panel_->accept();
        }
    });
    QObject::connect(cancelButton, &QPushButton::clicked, panel_, &QDialog::reject);
    view_->selectRow(0);
    okButton->setEnabled(selected());
    view_->setFocus();
    return true;
}

std::optional<std::string> DriverListDialog::chosen() const {
    if (panel_ == nullptr || panel_->result() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QModelIndexList picked = view_->selectionModel()->selectedRows();
    if (picked.isEmpty()) {
        return std::nullopt;
    }
    return rows_.rows()[static_cast<size_t>(picked.first().row())][0];
}

std::optional<std::string> DriverListDialog::exec() {
    if (panel_ == nullptr) {
        return std::nullopt;
    }
    panel_->exec();
    return chosen();
}

std::optional<std::string> runDriverList(QWidget* parentWindow, SQLHENV henv) {
    DriverListDialog picker(parentWindow);
    return picker.prepare(henv) ? picker.exec() : std::nullopt;
}
