#pragma once

#include <QString>
#include <QWidget>

#include <memory>

#include "driver/setup/UiModuleTable.h"

// One Designer form of the bundle's Resources folder, loaded at run time.
// Its texts are localised through the host; outlets are found by object
// name, and a missing form or outlet is logged as "Error loading nib for
// <what>" and makes the form unusable.
class FormLoader {
  public:
    // `form` is the file name without ".ui"; `what` names it in the log.
    FormLoader(const MorvanexUiHost* host, const QString& form, const char* what);
    ~FormLoader();
    FormLoader(const FormLoader&) = delete;
    FormLoader& operator=(const FormLoader&) = delete;

    bool ok() const { return ok_; }
    QWidget* root() const { return root_.get(); }

    // The child of that name and type; null (and the form marked unusable)
    // when missing. A form that did not load was reported once already.
    template <typename Widget>
    Widget* outlet(const char* name) {
        if (!root_) {
            return nullptr;
        }
        Widget* widget = root_->findChild<Widget*>(QString::fromLatin1(name));
        if (widget == nullptr && root_->objectName() == QLatin1String(name)) {
            widget = qobject_cast<Widget*>(root_.get());
        }
        if (widget == nullptr) {
            fail(name);
        }
        return widget;
    }

    // The host's translation of an English text.
    QString localize(const QString& english) const;

  private:
    void fail(const char* detail);
    void localizeTexts();

    const MorvanexUiHost* host_;
    const char* what_;
    bool ok_ = false;
    std::unique_ptr<QWidget> root_;
};
