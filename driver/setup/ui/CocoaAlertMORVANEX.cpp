#include "driver/setup/ui/CocoaAlertMORVANEX.h"

#include <algorithm>

#include <QLabel>
#include <QLayout>
#include <QPushButton>

CocoaAlertMORVANEX::CocoaAlertMORVANEX(const MorvanexUiHost* host, QWidget* parent)
    : form_(host, QStringLiteral("CocoaAlert"), "alert"),
      loginWindow_(form_.outlet<QDialog>("loginWindow")),
      titleField_(form_.outlet<QLabel>("titleField")),
      secondaryField_(form_.outlet<QLabel>("secondaryField")),
      secondBtn_(form_.outlet<QPushButton>("secondBtn")),
      okButton_(form_.outlet<QPushButton>("okButton")),
      imageField_(form_.outlet<QLabel>("imageField")) {
    if (!form_.ok()) {
        return;
    }
    if (parent != nullptr) {
        // A sheet: modal to its window only.
        loginWindow_->setParent(parent, loginWindow_->windowFlags() | Qt::Sheet);
        loginWindow_->setWindowModality(Qt::WindowModal);
    }
    secondBtn_->hide();
    secondBtn_->setEnabled(false);
    QObject::connect(okButton_, &QPushButton::clicked, loginWindow_, [this] {
        response_ = 0;
        loginWindow_->done(0);
    });
    QObject::connect(secondBtn_, &QPushButton::clicked, loginWindow_, [this] {
        response_ = 1;
        loginWindow_->done(0);
    });
}

void CocoaAlertMORVANEX::setTitle(const QString& text) {
    titleField_->setText(text);
}

void CocoaAlertMORVANEX::setSecondaryMsg(const QString& text) {
    secondaryField_->setText(text);
}

void CocoaAlertMORVANEX::setSecondaryButton(const QString& title) {
    secondBtn_->setText(title);
    secondBtn_->setEnabled(true);
    secondBtn_->show();
}

void CocoaAlertMORVANEX::setImage(const QPixmap& image) {
    imageField_->setPixmap(image);
}

int CocoaAlertMORVANEX::beginModalForLoginWindow() {
    if (!form_.ok()) {
        return MORVANEX_UI_NOT_SHOWN;
    }
    // Escape or the frame's close box: the second button when there is
    // one (it declines), else OK.
    response_ = secondBtn_->isEnabled() ? 1 : 0;
    fitMessage();
    loginWindow_->exec();
    return response_;
}

void CocoaAlertMORVANEX::fitMessage() {
    // The panel keeps its width and grows until the whole message shows: a
    // word-wrapped text tells a window's layout nothing of its height.
    QLayout* layout = loginWindow_->layout();
    if (layout == nullptr || !layout->hasHeightForWidth()) {
        return;
    }
    layout->activate();
    const int width = loginWindow_->width();
    loginWindow_->resize(width,
                         std::max(loginWindow_->height(), layout->totalHeightForWidth(width)));
}
