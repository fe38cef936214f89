#pragma once

#include <QString>
#include <QWidget>

class QTableView;

#include <memory>
#include <stdexcept>

// A Designer file of the application's resources, loaded at run time, and
// its outlets found by object name.
class UiFile {
  public:
    // The widget of ":/ui/<name>.ui"; null after logging `failureText`.
    static std::unique_ptr<QWidget> load(const QString& name, const char* failureText,
                                         QWidget* parent = nullptr);

    // The child of that name and type; throws MissingOutlet when there is none.
    template <typename T>
    static T* outlet(QWidget* root, const char* name) {
        T* found = root->findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr) {
            throw MissingOutlet(name);
        }
        return found;
    }

    // The loaded root itself as that type; throws MissingOutlet when it is not.
    template <typename T>
    static T* rootAs(const std::unique_ptr<QWidget>& root, const char* name) {
        T* found = qobject_cast<T*>(root.get());
        if (found == nullptr) {
            throw MissingOutlet(name);
        }
        return found;
    }

    // A listing's columns as wide as their texts, the last one taking the
    // rest, and rows one line high.
    static void fitColumns(QTableView* view);

    struct MissingOutlet : std::runtime_error {
        using std::runtime_error::runtime_error;
    };
};
