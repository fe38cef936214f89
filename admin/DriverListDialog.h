#pragma once

#include <sql.h>

#include <optional>
#include <string>

class QWidget;

// The driver picker ("DriverList"): the chosen driver's name, nothing when
// cancelled or when its file cannot be loaded.
std::optional<std::string> runDriverList(QWidget* parentWindow, SQLHENV henv);
