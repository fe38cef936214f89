#include "driver/setup/ui/FormLoader.h"

#include <QAbstractButton>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QUiLoader>

#include <string>
#include <vector>

#include "driver/setup/ui/GuiThread.h"

FormLoader::FormLoader(const MorvanexUiHost* host, const QString& form, const char* what)
    : host_(host), what_(what) {
    const QString folder = host != nullptr && host->resourcesPath != nullptr
                               ? QString::fromUtf8(host->resourcesPath)
                               : QString();
    QFile file(folder + QLatin1Char('/') + form + QLatin1String(".ui"));
    if (file.open(QIODevice::ReadOnly)) {
        QUiLoader loader;
        root_.reset(loader.load(&file));
    }
    ok_ = root_ != nullptr;
    if (!ok_) {
        fail(nullptr);
        return;
    }
    localizeTexts();
}

FormLoader::~FormLoader() = default;

void FormLoader::fail(const char* detail) {
    ok_ = false;
    std::string line = std::string("Error loading nib for ") + what_;
    if (detail != nullptr) {
        line.append(": no outlet ").append(detail);
    }
    logToHost(host_, line.c_str());
}

QString FormLoader::localize(const QString& english) const {
    if (english.isEmpty() || !MORVANEX_UI_HAS(MorvanexUiHost, host_, localize)) {
        return english;
    }
    const QByteArray key = english.toUtf8();
    std::vector<char> out(key.size() * 4 + 64);
    const size_t needed = host_->localize(host_->context, key.constData(), out.data(), out.size());
    if (needed > out.size()) {
        out.resize(needed);
        host_->localize(host_->context, key.constData(), out.data(), out.size());
    }
    return QString::fromUtf8(out.data());
}

void FormLoader::localizeTexts() {
    root_->setWindowTitle(localize(root_->windowTitle()));
    // Sheets are dialogs inside the form.
    for (QDialog* sheet : root_->findChildren<QDialog*>()) {
        sheet->setWindowTitle(localize(sheet->windowTitle()));
    }
    for (QLabel* label : root_->findChildren<QLabel*>()) {
        label->setText(localize(label->text()));
    }
    for (QAbstractButton* button : root_->findChildren<QAbstractButton*>()) {
        button->setText(localize(button->text()));
    }
}
