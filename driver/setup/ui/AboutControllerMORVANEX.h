#pragma once

#include <QDialog>
#include <QObject>

#include <cstdint>

#include "driver/setup/ui/FormLoader.h"

class QLabel;
class QPushButton;

// The about window (form "AboutWindow"): the driver's version, the trace
// line and the logo that carries the hidden trace switch. The switch
// itself is the driver's (the model); this class only binds widgets.
class AboutControllerMORVANEX : public QObject {
  public:
    AboutControllerMORVANEX(const MorvanexUiHost* host, const MorvanexAboutModel* model);

    bool loaded() const { return form_.ok(); }
    QDialog* window() const { return aboutWindow_; }
    QLabel* logo() const { return logo_; }

    void setImage(const QPixmap& image);
    int beginModalForAboutWindow();
    // One click on the logo with the modifiers held.
    void clickLogo(Qt::KeyboardModifiers modifiers);
    void displayTraceFile();

    static std::uint32_t modifierBits(Qt::KeyboardModifiers modifiers);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    const MorvanexUiHost* host_;
    const MorvanexAboutModel* model_;
    FormLoader form_;
    QDialog* aboutWindow_ = nullptr;
    QLabel* versionField_ = nullptr;
    QLabel* logPathLabel_ = nullptr;
    QLabel* logPathField_ = nullptr;
    QLabel* logo_ = nullptr;
    QPushButton* okButton_ = nullptr;
};
