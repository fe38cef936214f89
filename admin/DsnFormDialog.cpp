#include "admin/DsnFormDialog.h"

#include <QDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "admin/PaneDialogs.h"
#include "admin/UiFile.h"
#include "platform/SystemLog.h"

namespace {
constexpr const char* kNibError = "Error loading nib for DSN form";
}

DsnFormDialog::DsnFormDialog(QWidget* parentWindow, PaneDialogs& dialogs,
                             PrivilegedRequest::Sender sender)
    : parentWindow_(parentWindow),
      dialogs_(dialogs),
      sender_(std::move(sender)),
      rows_({QStringLiteral("Keyword"), QStringLiteral("Value")}, QString(), true) {}

DsnFormDialog::~DsnFormDialog() = default;

bool DsnFormDialog::prepare(const std::string& dsn, const std::string& driver,
                            IniAccess::Mode mode) {
    root_ = UiFile::load(QStringLiteral("DSNForm"), kNibError, parentWindow_);
    if (!root_) {
        return false;
    }
    try {
        dsnPanel_ = UiFile::rootAs<QDialog>(root_, "dsnPanel");
        dsnField_ = UiFile::outlet<QLineEdit>(dsnPanel_, "dsnField");
        descriptionField_ = UiFile::outlet<QLineEdit>(dsnPanel_, "descriptionField");
        view_ = UiFile::outlet<QTableView>(dsnPanel_, "view");
        okButton_ = UiFile::outlet<QPushButton>(dsnPanel_, "okButton");
        cancelButton_ = UiFile::outlet<QPushButton>(dsnPanel_, "cancelButton");
        addKeywordButton_ = UiFile::outlet<QPushButton>(dsnPanel_, "addKeywordButton");
        removeKeywordButton_ = UiFile::outlet<QPushButton>(dsnPanel_, "removeKeywordButton");
    } catch (const UiFile::MissingOutlet&) {
        SystemLog::error(kNibError);
        root_.reset();
        return false;
    }
    dsnPanel_->setWindowModality(Qt::WindowModal);
    view_->setModel(&rows_);
    UiFile::fitColumns(view_);
    connect(dsnField_, &QLineEdit::textChanged, this, [this] { checkRequiredFields(); });
    connect(okButton_, &QPushButton::clicked, this, [this] { onOK(); });
    connect(cancelButton_, &QPushButton::clicked, dsnPanel_, &QDialog::reject);
    // The new row's keyword is edited at once, so typing names it.
    connect(addKeywordButton_, &QPushButton::clicked, this, [this] {
        rows_.appendRow({"Keyword", "Value"});
        const QModelIndex keyword = rows_.index(rows_.rowCount() - 1, 0);
        view_->setCurrentIndex(keyword);
        view_->setFocus();
        view_->edit(keyword);
    });
    connect(removeKeywordButton_, &QPushButton::clicked, this, [this] {
        rows_.removeRowAt(view_->currentIndex().row());
        updateRemoveButton();
    });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateRemoveButton(); });

    editor_ = std::make_unique<DsnEditor>(dsn, driver, mode, sender_);
    const DsnEditor::Loaded loaded = editor_->load();
    if (loaded.missing) {
        dialogs_.alert("Configuration Error",
                       "An error occured while trying to configure the DSN.");
    } else {
        dsnField_->setText(QString::fromStdString(loaded.name));
        descriptionField_->setText(QString::fromStdString(loaded.description));
        rows_.setRows(loaded.rows);
    }
    checkRequiredFields();
    updateRemoveButton();
    return true;
}

void DsnFormDialog::exec() {
    if (dsnPanel_ != nullptr) {
        dsnPanel_->exec();
    }
}

void DsnFormDialog::checkRequiredFields() {
    okButton_->setEnabled(DsnEditor::canSave(dsnField_->text().toStdString()));
}

void DsnFormDialog::updateRemoveButton() {
    removeKeywordButton_->setEnabled(view_->selectionModel()->hasSelection());
}

void DsnFormDialog::onOK() {
    if (!okButton_->isEnabled()) {
        return;
    }
    const std::string name = dsnField_->text().toStdString();
    // Declined, the form stays open with what was typed.
    if (editor_->replacesAnother(name) &&
        !dialogs_.confirm("DSN Configuration",
                          name + " is already a data source name. Overwrite?")) {
        return;
    }
    const DsnEditor::Outcome outcome =
        editor_->save(name, descriptionField_->text().toStdString(), rows_.rows());
    if (outcome == DsnEditor::Outcome::TooLong || outcome == DsnEditor::Outcome::HelperRefused) {
        dialogs_.alert(
            "Configuration Error",
            IniAccess::withHelperReason("An error occured while trying to configure the DSN.",
                                        editor_->problem(),
                                        outcome == DsnEditor::Outcome::HelperRefused &&
                                            editor_->mode() == IniAccess::System,
                                        editor_->helperReply()));
        return;  // nothing saved: the form stays open with what was typed
    }
    dsnPanel_->accept();
}
