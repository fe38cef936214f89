#pragma once

#include <QObject>

#include <memory>
#include <string>

#include "admin/DsnEditor.h"
#include "admin/RowsModel.h"

class QDialog;
class QLineEdit;
class QPushButton;
class QTableView;
class QWidget;
class PaneDialogs;

// The generic DSN editor's sheet ("DSNForm").
class DsnFormDialog : public QObject {
  public:
    DsnFormDialog(QWidget* parentWindow, PaneDialogs& dialogs, PrivilegedRequest::Sender sender);
    ~DsnFormDialog() override;

    // Loads the form and fills it; false when its file is missing.
    bool prepare(const std::string& dsn, const std::string& driver, IniAccess::Mode mode);
    // Runs it modally (after prepare).
    void exec();
    QDialog* panel() const { return dsnPanel_; }
    // OK's work, also what the button does.
    void onOK();

  private:
    void checkRequiredFields();
    void updateRemoveButton();

    QWidget* parentWindow_;
    PaneDialogs& dialogs_;
    PrivilegedRequest::Sender sender_;
    std::unique_ptr<QWidget> root_;
    std::unique_ptr<DsnEditor> editor_;
    RowsModel rows_;
    QDialog* dsnPanel_ = nullptr;
    QLineEdit* dsnField_ = nullptr;
    QLineEdit* descriptionField_ = nullptr;
    QTableView* view_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* addKeywordButton_ = nullptr;
    QPushButton* removeKeywordButton_ = nullptr;
};
