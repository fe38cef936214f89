#pragma once

#include <QDialog>
#include <QPixmap>
#include <QString>

#include "driver/setup/ui/FormLoader.h"

class QLabel;
class QPushButton;

// The bundle's message box (form "CocoaAlert"): title, message, OK and an
// optional second button.
class CocoaAlertMORVANEX {
  public:
    explicit CocoaAlertMORVANEX(const MorvanexUiHost* host, QWidget* parent = nullptr);

    bool loaded() const { return form_.ok(); }
    QDialog* window() const { return loginWindow_; }

    void setTitle(const QString& text);
    void setSecondaryMsg(const QString& text);
    // Shows and enables the second button with that title.
    void setSecondaryButton(const QString& title);
    void setImage(const QPixmap& image);
    // Runs the panel modally; the response, or MORVANEX_UI_NOT_SHOWN when
    // the form did not load.
    int beginModalForLoginWindow();
    int getResponse() const { return response_; }

  private:
    void fitMessage();

    FormLoader form_;
    QDialog* loginWindow_ = nullptr;
    QLabel* titleField_ = nullptr;
    QLabel* secondaryField_ = nullptr;
    QPushButton* secondBtn_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QLabel* imageField_ = nullptr;
    int response_ = 0;
};
