#pragma once

#include <QObject>

#include <functional>
#include <memory>

#include "admin/AppController.h"
#include "admin/PaneDialogs.h"
#include "admin/RowsModel.h"

class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class QWidget;

// The main window ("MainWindow"): the user and system DSN panes, the
// drivers pane and the trace pane, bound to the application controller.
class MainWindow : public QObject, public PaneDialogs {
  public:
    explicit MainWindow(PrivilegedRequest::Sender sender);
    ~MainWindow() override;

    // The application's life: shows the window, runs the event loop until
    // the user quits (Ctrl+Q or closing the window) and ends the relay.
    static int run(PrivilegedRequest::Sender sender);

    // False when the window's file or one of its outlets is missing.
    bool load();
    QWidget* window() const { return root_.get(); }
    QTabWidget* panes() const { return panes_; }
    AppController& controller() { return controller_; }
    // The start-up repair of a legacy per-user ini file.
    void applicationDidFinishLaunching();
    // Lists everything again and refreshes the tables.
    void reloadAll();

    bool confirm(const std::string& title, const std::string& message) override;
    void alert(const std::string& title, const std::string& message) override;
    std::optional<std::string> pickDriver() override;
    void runDsnForm(const std::string& dsn, const std::string& driver,
                    IniAccess::Mode mode) override;
    void* windowHandle() override;

  protected:
    // Return configures a listing's selected row, Delete removes it.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Pane {
        QTableView* view = nullptr;
        QPushButton* addButton = nullptr;
        QPushButton* configButton = nullptr;
        QPushButton* removeButton = nullptr;
        std::unique_ptr<RowsModel> model;
        // What Configure... and Remove do, for the buttons and the keys.
        std::function<void()> configure;
        std::function<void()> remove;
        // The columns were sized to their texts; from then on they keep
        // their widths (and what the user dragged) across reloads.
        bool sized = false;
    };

    void bindPane(Pane& pane, const char* prefix, QStringList headers);
    void connectRowActions(Pane& pane);
    static void showRows(Pane& pane, const RowsModel::Rows& rows);
    void bindTracing();
    void connectDsnPane(Pane& pane, DataSource& source);
    void connectDriverPane();
    void showDsnRows();
    void showDriverRows();
    void showTracing();
    void applyTracing();
    void toggleFields();
    static std::optional<size_t> selectedRow(const Pane& pane);
    static void selectRow(const Pane& pane, int row);
    void selectOnFocus(const QObject* watched);
    static void updateButtons(const Pane& pane);

    AppController controller_;
    std::unique_ptr<QWidget> root_;
    QTabWidget* panes_ = nullptr;
    Pane user_;
    Pane system_;
    Pane drivers_;
    QCheckBox* enableTracing_ = nullptr;
    QLabel* logFileLabel_ = nullptr;
    QLabel* traceLibraryLabel_ = nullptr;
    QLineEdit* logFileField_ = nullptr;
    QLineEdit* traceLibraryField_ = nullptr;
    QPushButton* logFileButton_ = nullptr;
    QPushButton* traceLibraryButton_ = nullptr;
    QPushButton* applyButton_ = nullptr;
};
