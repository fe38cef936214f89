#include "admin/DriverFormDialog.h"

#include <QButtonGroup>
#include <QDialog>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

#include "admin/PaneDialogs.h"
#include "admin/UiFile.h"
#include "platform/OdbcPaths.h"
#include "platform/SystemLog.h"

namespace {
constexpr const char* kNibError = "Error loading nib for driver form";
}

DriverFormDialog::DriverFormDialog(QWidget* parentWindow, PaneDialogs& dialogs,
                                   PrivilegedRequest::Sender sender)
    : parentWindow_(parentWindow),
      dialogs_(dialogs),
      sender_(std::move(sender)),
      rows_({QStringLiteral("Keyword"), QStringLiteral("Value")}, QString(), true) {}

DriverFormDialog::~DriverFormDialog() = default;

void DriverFormDialog::bindOutlets() {
    driverPanel_ = UiFile::rootAs<QDialog>(root_, "driverPanel");
    nameField_ = UiFile::outlet<QLineEdit>(driverPanel_, "nameField");
    driverPathField_ = UiFile::outlet<QLineEdit>(driverPanel_, "driverPathField");
    setupPathField_ = UiFile::outlet<QLineEdit>(driverPanel_, "setupPathField");
    systemRadio_ = UiFile::outlet<QRadioButton>(driverPanel_, "systemRadio");
    userRadio_ = UiFile::outlet<QRadioButton>(driverPanel_, "userRadio");
    view_ = UiFile::outlet<QTableView>(driverPanel_, "view");
    okButton_ = UiFile::outlet<QPushButton>(driverPanel_, "okButton");
    cancelButton_ = UiFile::outlet<QPushButton>(driverPanel_, "cancelButton");
    addKeywordButton_ = UiFile::outlet<QPushButton>(driverPanel_, "addKeywordButton");
    removeKeywordButton_ = UiFile::outlet<QPushButton>(driverPanel_, "removeKeywordButton");
    libraryButton_ = UiFile::outlet<QPushButton>(driverPanel_, "libraryButton");
    setupButton_ = UiFile::outlet<QPushButton>(driverPanel_, "setupButton");
}

void DriverFormDialog::connectActions() {
    modeRadioGroup_ = new QButtonGroup(driverPanel_);
    modeRadioGroup_->addButton(systemRadio_, kSystemId);
    modeRadioGroup_->addButton(userRadio_, kUserId);
    view_->setModel(&rows_);
    UiFile::fitColumns(view_);
    const auto updateRemove = [this] {
        removeKeywordButton_->setEnabled(view_->selectionModel()->hasSelection());
    };
    connect(nameField_, &QLineEdit::textChanged, this, [this] { checkRequiredFields(); });
    connect(driverPathField_, &QLineEdit::textChanged, this, [this] { checkRequiredFields(); });
    connect(okButton_, &QPushButton::clicked, this, [this] { onOK(); });
    connect(cancelButton_, &QPushButton::clicked, driverPanel_, &QDialog::reject);
    connect(addKeywordButton_, &QPushButton::clicked, this, [this] {
        rows_.appendRow({"Keyword", "Value"});
    });
    connect(removeKeywordButton_, &QPushButton::clicked, this, [this, updateRemove] {
        rows_.removeRowAt(view_->currentIndex().row());
        updateRemove();
    });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, updateRemove);
    connect(libraryButton_, &QPushButton::clicked, this,
            [this] { chooseInto(driverPathField_, "Choose a driver file."); });
    connect(setupButton_, &QPushButton::clicked, this,
            [this] { chooseInto(setupPathField_, "Choose a setup file."); });
    updateRemove();
}

bool DriverFormDialog::prepare(const std::string& driverName) {
    root_ = UiFile::load(QStringLiteral("DriverForm"), kNibError, parentWindow_);
    if (!root_) {
        return false;
    }
    try {
        bindOutlets();
    } catch (const UiFile::MissingOutlet&) {
        SystemLog::error(kNibError);
        root_.reset();
        return false;
    }
    driverPanel_->setWindowModality(Qt::WindowModal);
    connectActions();
    editor_ = std::make_unique<DriverEditor>(driverName, sender_);
    if (!driverName.empty()) {
        const DriverEditor::Fields fields = editor_->load();
        nameField_->setText(QString::fromStdString(fields.name));
        (fields.system ? systemRadio_ : userRadio_)->setChecked(true);
        systemRadio_->setEnabled(!fields.locationFixed);
        userRadio_->setEnabled(!fields.locationFixed);
        driverPathField_->setText(QString::fromStdString(fields.driverPath));
        setupPathField_->setText(QString::fromStdString(fields.setupPath));
        if (fields.missing) {
            dialogs_.alert("Configuration Error",
                           "An error occured while trying to configure the driver.");
        } else {
            rows_.setRows(fields.rows);
        }
    }
    checkRequiredFields();
    return true;
}

void DriverFormDialog::exec() {
    if (driverPanel_ != nullptr) {
        driverPanel_->exec();
    }
}

void DriverFormDialog::checkRequiredFields() {
    okButton_->setEnabled(DriverEditor::canSave(nameField_->text().toStdString(),
                                                driverPathField_->text().toStdString()));
}

void DriverFormDialog::chooseInto(QLineEdit* field, const char* title) {
    const QString path =
        QFileDialog::getOpenFileName(driverPanel_, QString::fromUtf8(title),
                                     QString::fromStdString(OdbcPaths::driverFolder().string()));
    if (!path.isEmpty()) {
        field->setText(path);
    }
}

void DriverFormDialog::onOK() {
    if (!okButton_->isEnabled()) {
        return;
    }
    DriverEditor::Fields fields;
    fields.name = nameField_->text().toStdString();
    fields.driverPath = driverPathField_->text().toStdString();
    fields.setupPath = setupPathField_->text().toStdString();
    fields.system = modeRadioGroup_->checkedId() == kSystemId;
    fields.rows = rows_.rows();
    if (editor_->save(fields) == DriverEditor::Outcome::HelperRefused) {
        dialogs_.alert(
            "Configuration Error",
            IniAccess::withHelperReason("An error occured while trying to configure the driver.",
                                        editor_->problem(), fields.system, editor_->helperReply()));
        return;  // nothing saved: the form stays open with what was typed
    }
    driverPanel_->accept();
}
