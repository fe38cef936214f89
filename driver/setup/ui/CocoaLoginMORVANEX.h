#pragma once

#include <QDialog>
#include <QString>

#include "driver/setup/ui/FormLoader.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The login panel (form "CocoaLogin"): the DSN (display only), user ID,
// password, the keychain check box when offered, OK, Cancel and Help.
class CocoaLoginMORVANEX {
  public:
    explicit CocoaLoginMORVANEX(const MorvanexUiHost* host);

    bool loaded() const { return form_.ok(); }
    QDialog* window() const { return loginWindow_; }

    void setDSN(const QString& dsn);
    void setUserID(const QString& user);
    void setPassword(const QString& password);
    void setKeychain(bool on);
    void showKeychain(bool shown);
    QString getUserID() const;
    QString getPassword() const;
    bool getKeychain() const;
    bool getIsAccepted() const { return isAccepted_; }
    // Runs the panel modally; false when the form did not load.
    bool beginModalForLoginWindow();

  private:
    const MorvanexUiHost* host_;
    FormLoader form_;
    QDialog* loginWindow_ = nullptr;
    QLabel* dsnField_ = nullptr;
    QLineEdit* userIDField_ = nullptr;
    QLineEdit* passwordField_ = nullptr;
    QCheckBox* keychainCheckbox_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* helpButton_ = nullptr;
    bool isAccepted_ = false;
};
