#include "driver/setup/ui/AboutControllerMORVANEX.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>

#include <array>

#include "driver/setup/ui/CocoaAlertMORVANEX.h"

namespace {

constexpr std::size_t kTraceLineSize = 4096;
constexpr std::size_t kSheetTextSize = 512;

struct ModifierBit {
    Qt::KeyboardModifier qt;
    std::uint32_t bit;
};
constexpr ModifierBit kModifierBits[] = {
    {Qt::ShiftModifier, MORVANEX_UI_SHIFT},
    {Qt::ControlModifier, MORVANEX_UI_CONTROL},
    {Qt::AltModifier, MORVANEX_UI_ALT},
    {Qt::MetaModifier, MORVANEX_UI_META},
};

// Disabled labels draw in the faint colour of the style.
void showLabel(QLabel* label, bool visible) {
    label->setEnabled(visible);
    label->setVisible(visible);
}

}  // namespace

AboutControllerMORVANEX::AboutControllerMORVANEX(const MorvanexUiHost* host,
                                                 const MorvanexAboutModel* model)
    : host_(host),
      model_(model),
      form_(host, QStringLiteral("AboutWindow"), "window"),
      aboutWindow_(form_.outlet<QDialog>("aboutWindow")),
      versionField_(form_.outlet<QLabel>("versionField")),
      logPathLabel_(form_.outlet<QLabel>("logPathLabel")),
      logPathField_(form_.outlet<QLabel>("logPathField")),
      logo_(form_.outlet<QLabel>("logo")),
      okButton_(form_.outlet<QPushButton>("okButton")) {
    if (!form_.ok()) {
        return;
    }
    if (model_ != nullptr && model_->logoPath != nullptr) {
        setImage(QPixmap(QString::fromUtf8(model_->logoPath)));
    }
    versionField_->setText(
        QString::fromUtf8(model_ != nullptr && model_->version != nullptr ? model_->version : ""));
    logo_->installEventFilter(this);
    QObject::connect(okButton_, &QPushButton::clicked, aboutWindow_,
                     [this] { aboutWindow_->done(0); });
    displayTraceFile();
}

void AboutControllerMORVANEX::setImage(const QPixmap& image) {
    logo_->setPixmap(image);
}

int AboutControllerMORVANEX::beginModalForAboutWindow() {
    if (!form_.ok()) {
        return MORVANEX_UI_NOT_SHOWN;
    }
    aboutWindow_->exec();
    return 0;
}

std::uint32_t AboutControllerMORVANEX::modifierBits(Qt::KeyboardModifiers modifiers) {
    std::uint32_t bits = 0;
    for (const ModifierBit& entry : kModifierBits) {
        if (modifiers.testFlag(entry.qt)) {
            bits |= entry.bit;
        }
    }
    return bits;
}

bool AboutControllerMORVANEX::eventFilter(QObject* watched, QEvent* event) {
    if (watched == logo_ && event->type() == QEvent::MouseButtonRelease) {
        clickLogo(static_cast<QMouseEvent*>(event)->modifiers());
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void AboutControllerMORVANEX::clickLogo(Qt::KeyboardModifiers modifiers) {
    if (model_ == nullptr || model_->clickLogo == nullptr) {
        return;
    }
    std::array<char, kSheetTextSize> title{};
    std::array<char, kSheetTextSize> message{};
    const int sheet = model_->clickLogo(model_->context, modifierBits(modifiers), title.data(),
                                        title.size(), message.data(), message.size());
    if (sheet != 0) {
        CocoaAlertMORVANEX alert(host_, aboutWindow_);
        if (alert.loaded()) {
            alert.setTitle(QString::fromUtf8(title.data()));
            alert.setSecondaryMsg(QString::fromUtf8(message.data()));
            alert.setImage(QApplication::windowIcon().pixmap(64));
            alert.beginModalForLoginWindow();
        }
    }
    displayTraceFile();
}

void AboutControllerMORVANEX::displayTraceFile() {
    std::array<char, kTraceLineSize> line{};
    const bool visible = model_ != nullptr && model_->traceLine != nullptr &&
                         model_->traceLine(model_->context, line.data(), line.size()) != 0;
    logPathField_->setText(visible ? QString::fromUtf8(line.data()) : QString());
    showLabel(logPathLabel_, visible);
    showLabel(logPathField_, visible);
}
