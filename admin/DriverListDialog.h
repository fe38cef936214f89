#pragma once

#include <sql.h>

#include <memory>
#include <optional>
#include <string>

#include "admin/RowsModel.h"

class QDialog;
class QTableView;
class QWidget;

// The driver picker ("DriverList"): the first driver selected when it
// opens, OK the default button, Return or a double-click to accept,
// Escape to cancel, Tab from the list to the buttons.
class DriverListDialog {
  public:
    explicit DriverListDialog(QWidget* parentWindow);
    ~DriverListDialog();

    // Loads the picker and lists the drivers; false when its file is missing.
    bool prepare(SQLHENV henv);
    QDialog* panel() const { return panel_; }
    // The driver chosen once the panel closed; nothing when cancelled.
    std::optional<std::string> chosen() const;
    // Runs it modally (after prepare) and answers chosen().
    std::optional<std::string> exec();

  private:
    QWidget* parentWindow_;
    std::unique_ptr<QWidget> root_;
    RowsModel rows_;
    QDialog* panel_ = nullptr;
    QTableView* view_ = nullptr;
};

// Prepares and runs a picker: the chosen driver's name, nothing when
// cancelled or when its file cannot be loaded.
std::optional<std::string> runDriverList(QWidget* parentWindow, SQLHENV henv);
