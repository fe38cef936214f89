#pragma once

#include <QObject>

#include <memory>
#include <string>

#include "admin/DriverEditor.h"
#include "admin/RowsModel.h"

class QButtonGroup;
class QDialog;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;
class QWidget;
class PaneDialogs;

// The driver entry's sheet ("DriverForm").
class DriverFormDialog : public QObject {
  public:
    // Ids of the location radio group.
    static constexpr int kSystemId = 0;
    static constexpr int kUserId = 1;

    DriverFormDialog(QWidget* parentWindow, PaneDialogs& dialogs, PrivilegedRequest::Sender sender);
    ~DriverFormDialog() override;

    bool prepare(const std::string& driverName);
    void exec();
    QDialog* panel() const { return driverPanel_; }
    void onOK();

  private:
    void bindOutlets();
    void connectActions();
    void checkRequiredFields();
    void chooseInto(QLineEdit* field, const char* title);

    QWidget* parentWindow_;
    PaneDialogs& dialogs_;
    PrivilegedRequest::Sender sender_;
    std::unique_ptr<QWidget> root_;
    std::unique_ptr<DriverEditor> editor_;
    RowsModel rows_;
    QDialog* driverPanel_ = nullptr;
    QLineEdit* nameField_ = nullptr;
    QLineEdit* driverPathField_ = nullptr;
    QLineEdit* setupPathField_ = nullptr;
    QRadioButton* systemRadio_ = nullptr;
    QRadioButton* userRadio_ = nullptr;
    QButtonGroup* modeRadioGroup_ = nullptr;
    QTableView* view_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* addKeywordButton_ = nullptr;
    QPushButton* removeKeywordButton_ = nullptr;
    QPushButton* libraryButton_ = nullptr;
    QPushButton* setupButton_ = nullptr;
};
