#include "driver/setup/ui/CocoaLoginMORVANEX.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CocoaLoginMORVANEX::CocoaLoginMORVANEX(const MorvanexUiHost* host)
    : host_(host),
      form_(host, QStringLiteral("CocoaLogin"), "login"),
      loginWindow_(form_.outlet<QDialog>("loginWindow")),
      dsnField_(form_.outlet<QLabel>("dsnField")),
      userIDField_(form_.outlet<QLineEdit>("userIDField")),
      passwordField_(form_.outlet<QLineEdit>("passwordField")),
      keychainCheckbox_(form_.outlet<QCheckBox>("keychainCheckbox")),
      okButton_(form_.outlet<QPushButton>("okButton")),
      cancelButton_(form_.outlet<QPushButton>("cancelButton")),
      helpButton_(form_.outlet<QPushButton>("helpButton")) {
    if (!form_.ok()) {
        return;
    }
    passwordField_->setEchoMode(QLineEdit::Password);
    QObject::connect(okButton_, &QPushButton::clicked, loginWindow_, [this] {
        isAccepted_ = true;
        loginWindow_->done(0);
    });
    QObject::connect(cancelButton_, &QPushButton::clicked, loginWindow_, [this] {
        isAccepted_ = false;
        loginWindow_->done(0);
    });
    QObject::connect(helpButton_, &QPushButton::clicked, loginWindow_, [this] {
        if (MORVANEX_UI_HAS(MorvanexUiHost, host_, openHelp)) {
            host_->openHelp(host_->context, "login");
        }
    });
}

void CocoaLoginMORVANEX::setDSN(const QString& dsn) {
    dsnField_->setText(dsn);
}

void CocoaLoginMORVANEX::setUserID(const QString& user) {
    userIDField_->setText(user);
}

void CocoaLoginMORVANEX::setPassword(const QString& password) {
    passwordField_->setText(password);
}

void CocoaLoginMORVANEX::setKeychain(bool on) {
    keychainCheckbox_->setChecked(on);
}

void CocoaLoginMORVANEX::showKeychain(bool shown) {
    keychainCheckbox_->setEnabled(shown);
    keychainCheckbox_->setVisible(shown);
}

QString CocoaLoginMORVANEX::getUserID() const {
    return userIDField_->text();
}

QString CocoaLoginMORVANEX::getPassword() const {
    return passwordField_->text();
}

bool CocoaLoginMORVANEX::getKeychain() const {
    return keychainCheckbox_->isChecked();
}

bool CocoaLoginMORVANEX::beginModalForLoginWindow() {
    if (!form_.ok()) {
        return false;
    }
    isAccepted_ = false;
    loginWindow_->exec();
    return true;
}
