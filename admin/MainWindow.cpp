#include "admin/MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTableView>

#include "admin/AuthListener.h"
#include "admin/DriverFormDialog.h"
#include "admin/DriverListDialog.h"
#include "admin/DsnFormDialog.h"
#include "admin/UiFile.h"
#include "platform/OdbcPaths.h"
#include "platform/SystemLog.h"

namespace {

constexpr const char* kNibError = "Error loading nib for main window";

QString qtext(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

MainWindow::MainWindow(PrivilegedRequest::Sender sender) : controller_(*this, std::move(sender)) {}

MainWindow::~MainWindow() = default;

int MainWindow::run(PrivilegedRequest::Sender sender) {
    MainWindow window(std::move(sender));
    if (!window.load()) {
        return 1;
    }
    window.window()->show();
    window.applicationDidFinishLaunching();
    const int status = QApplication::exec();
    // The relay thread, when a setup entry started it, ends before the process.
    AuthListener::stopAndWait();
    return status;
}

bool MainWindow::load() {
    root_ = UiFile::load(QStringLiteral("MainWindow"), kNibError);
    if (!root_) {
        return false;
    }
    try {
        panes_ = UiFile::outlet<QTabWidget>(root_.get(), "panes");
        bindPane(user_, "userDSN", {"Name", "Description", "Driver"});
        bindPane(system_, "systemDSN", {"Name", "Description", "Driver"});
        bindPane(drivers_, "drivers", {"Name", "Driver"});
        bindTracing();
    } catch (const UiFile::MissingOutlet&) {
        SystemLog::error(kNibError);
        root_.reset();
        return false;
    }
    connectDsnPane(user_, controller_.userDSN());
    connectDsnPane(system_, controller_.systemDSN());
    connectDriverPane();
    // Platforms with a Windows-like key scheme bind nothing to Quit.
    QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
    if (quitKeys.isEmpty()) {
        quitKeys = {QKeySequence(Qt::CTRL | Qt::Key_Q)};
    }
    auto* quit = new QShortcut(root_.get());
    quit->setKeys(quitKeys);
    connect(quit, &QShortcut::activated, this, [] { QApplication::quit(); });
    // Ctrl+PgDn and Ctrl+PgUp turn the panes wherever the focus is (a
    // listing would page with them), as Ctrl+Tab does.
    for (const auto& [key, step] :
         {std::pair{Qt::Key_PageDown, 1}, std::pair{Qt::Key_PageUp, -1}}) {
        auto* turn = new QShortcut(QKeySequence(Qt::CTRL | key), root_.get());
        connect(turn, &QShortcut::activated, this, [this, step] {
            const int count = panes_->count();
            panes_->setCurrentIndex((panes_->currentIndex() + step + count) % count);
        });
    }
    controller_.awakeFromNib();
    showDsnRows();
    showDriverRows();
    showTracing();
    return true;
}

void MainWindow::bindPane(Pane& pane, const char* prefix, QStringList headers) {
    const std::string name(prefix);
    pane.view = UiFile::outlet<QTableView>(root_.get(), (name + "View").c_str());
    pane.addButton = UiFile::outlet<QPushButton>(root_.get(), (name + "AddButton").c_str());
    pane.configButton = UiFile::outlet<QPushButton>(root_.get(), (name + "ConfigButton").c_str());
    pane.removeButton = UiFile::outlet<QPushButton>(root_.get(), (name + "RemoveButton").c_str());
    pane.model = std::make_unique<RowsModel>(std::move(headers), QStringLiteral("(NULL)"), false);
    pane.view->setModel(pane.model.get());
    UiFile::fitColumns(pane.view);
    // Sized to their texts once (showRows); after that the user's.
    pane.view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    pane.view->installEventFilter(this);
    QObject::connect(pane.view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                     [&pane] { updateButtons(pane); });
    updateButtons(pane);
}

void MainWindow::bindTracing() {
    QWidget* root = root_.get();
    enableTracing_ = UiFile::outlet<QCheckBox>(root, "enableTracing");
    logFileLabel_ = UiFile::outlet<QLabel>(root, "logFileLabel");
    traceLibraryLabel_ = UiFile::outlet<QLabel>(root, "traceLibraryLabel");
    logFileField_ = UiFile::outlet<QLineEdit>(root, "logFileField");
    traceLibraryField_ = UiFile::outlet<QLineEdit>(root, "traceLibraryField");
    logFileButton_ = UiFile::outlet<QPushButton>(root, "logFileButton");
    traceLibraryButton_ = UiFile::outlet<QPushButton>(root, "traceLibraryButton");
    applyButton_ = UiFile::outlet<QPushButton>(root, "applyButton");
    connect(enableTracing_, &QCheckBox::toggled, this, [this] { toggleFields(); });
    connect(applyButton_, &QPushButton::clicked, this, [this] { applyTracing(); });
    connect(logFileButton_, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getSaveFileName(root_.get(), QStringLiteral("Choose a trace file."),
                                         qtext(OdbcPaths::currentHome().string()));
        if (!path.isEmpty()) {
            logFileField_->setText(path);
        }
    });
    connect(traceLibraryButton_, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getOpenFileName(root_.get(), QStringLiteral("Choose a library file."),
                                         qtext(OdbcPaths::driverFolder().string()));
        if (!path.isEmpty()) {
            traceLibraryField_->setText(path);
        }
    });
}

void MainWindow::connectDsnPane(Pane& pane, DataSource& source) {
    const auto listAgainIf = [this](bool changed) {
        if (changed) {
            controller_.reloadDSNs();
            showDsnRows();
        }
    };
    // Configure and Remove act on the selected row, and only with one.
    const auto onRow = [&pane, listAgainIf](auto action) {
        return [&pane, listAgainIf, action] {
            const std::optional<size_t> row = selectedRow(pane);
            listAgainIf(row && action(*row));
        };
    };
    connect(pane.addButton, &QPushButton::clicked, this,
            [&source, listAgainIf] { listAgainIf(source.addDSN()); });
    pane.configure = onRow([&source](size_t row) { return source.configureDSN(row); });
    pane.remove = onRow([&source](size_t row) { return source.removeDSN(row); });
    connectRowActions(pane);
}

void MainWindow::connectRowActions(Pane& pane) {
    connect(pane.configButton, &QPushButton::clicked, this, [&pane] { pane.configure(); });
    connect(pane.view, &QTableView::doubleClicked, this, [&pane] { pane.configure(); });
    connect(pane.removeButton, &QPushButton::clicked, this, [&pane] { pane.remove(); });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
            reason == Qt::ShortcutFocusReason) {
            selectOnFocus(watched);
        }
    }
    if (event->type() != QEvent::KeyPress) {
        return QObject::eventFilter(watched, event);
    }
    for (Pane* pane : {&user_, &system_, &drivers_}) {
        if (watched != pane->view) {
            continue;
        }
        auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (modifiers == Qt::NoModifier && selectedRow(*pane)) {
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                pane->configure();
                return true;
            }
            if (key->key() == Qt::Key_Delete) {
                pane->remove();
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void MainWindow::selectOnFocus(const QObject* watched) {
    for (const Pane* pane : {&user_, &system_, &drivers_}) {
        // A list reached from the keyboard with nothing selected selects
        // its current row, so that Return and Delete have one to act on.
        if (watched == pane->view && !pane->view->selectionModel()->hasSelection() &&
            pane->model->rowCount() > 0) {
            const QModelIndex current = pane->view->currentIndex();
            selectRow(*pane, current.isValid() ? current.row() : 0);
        }
    }
}

void MainWindow::connectDriverPane() {
    const auto runForm = [this](const std::string& name) {
        DriverFormDialog form(root_.get(), *this, controller_.sender());
        if (form.prepare(name)) {
            form.exec();
        }
        controller_.drivers().load();
        showDriverRows();
    };
    connect(drivers_.addButton, &QPushButton::clicked, this, [runForm] { runForm(""); });
    drivers_.configure = [this, runForm] {
        if (const auto row = selectedRow(drivers_)) {
            runForm(controller_.drivers().rows()[*row][0]);
        }
    };
    drivers_.remove = [this] {
        const auto row = selectedRow(drivers_);
        if (row && controller_.drivers().removeDriver(*row)) {
            controller_.drivers().load();
            showDriverRows();
        }
    };
    connectRowActions(drivers_);
}

void MainWindow::selectRow(const Pane& pane, int row) {
    pane.view->selectionModel()->setCurrentIndex(
        pane.model->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

std::optional<size_t> MainWindow::selectedRow(const Pane& pane) {
    const QModelIndexList rows = pane.view->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    return static_cast<size_t>(rows.first().row());
}

void MainWindow::updateButtons(const Pane& pane) {
    const bool selected = pane.view->selectionModel()->hasSelection();
    pane.configButton->setEnabled(selected);
    pane.removeButton->setEnabled(selected);
}

void MainWindow::showRows(Pane& pane, const RowsModel::Rows& rows) {
    // Listing again resets the model: the row that was selected, found by
    // its name, is selected again.
    const std::optional<size_t> before = selectedRow(pane);
    std::optional<std::string> kept;
    if (before && *before < pane.model->rows().size() && !pane.model->rows()[*before].empty()) {
        kept = pane.model->rows()[*before][0];
    }
    pane.model->setRows(rows);
    for (size_t row = 0; kept && row < rows.size(); ++row) {
        if (!rows[row].empty() && rows[row][0] == *kept) {
            selectRow(pane, static_cast<int>(row));
            break;
        }
    }
    if (!pane.sized && !rows.empty()) {
        pane.view->resizeColumnsToContents();
        pane.sized = true;
    }
    updateButtons(pane);
}

void MainWindow::showDsnRows() {
    showRows(user_, controller_.userDSN().rows());
    showRows(system_, controller_.systemDSN().rows());
}

void MainWindow::showDriverRows() {
    showRows(drivers_, controller_.drivers().rows());
}

void MainWindow::showTracing() {
    const TracingSettings& settings = controller_.tracing();
    enableTracing_->setChecked(settings.enabled);
    logFileField_->setText(qtext(settings.traceFile));
    traceLibraryField_->setText(qtext(settings.traceLibrary));
    toggleFields();
}

void MainWindow::toggleFields() {
    const bool on = enableTracing_->isChecked();
    for (QWidget* control :
         std::initializer_list<QWidget*>{logFileLabel_, traceLibraryLabel_, logFileField_,
                                         traceLibraryField_, logFileButton_, traceLibraryButton_}) {
        control->setEnabled(on);
    }
}

void MainWindow::applyTracing() {
    TracingSettings& settings = controller_.tracing();
    settings.enabled = enableTracing_->isChecked();
    settings.traceFile = logFileField_->text().toStdString();
    settings.traceLibrary = traceLibraryField_->text().toStdString();
    settings.apply();
}

void MainWindow::reloadAll() {
    controller_.awakeFromNib();
    showDsnRows();
    showDriverRows();
    showTracing();
}

void MainWindow::applicationDidFinishLaunching() {
    const IniRepair::Ui ui{[this](const std::string& title, const std::string& message) {
                               QMessageBox box(QMessageBox::Information, qtext(title),
                                               qtext(message), QMessageBox::NoButton, root_.get());
                               QPushButton* fix =
                                   box.addButton(QStringLiteral("Fix"), QMessageBox::AcceptRole);
                               box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
                               box.setDefaultButton(fix);
                               box.exec();
                               return box.clickedButton() == fix;
                           },
                           [this](const std::string& title, const std::string& message) {
                               QMessageBox::warning(root_.get(), qtext(title), qtext(message));
                           }};
    if (controller_.repairUserIni(ui) != IniRepair::Result::NothingToDo) {
        showDsnRows();
    }
}

bool MainWindow::confirm(const std::string& title, const std::string& message) {
    return QMessageBox::question(root_.get(), qtext(title), qtext(message),
                                 QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

void MainWindow::alert(const std::string& title, const std::string& message) {
    QMessageBox::warning(root_.get(), qtext(title), qtext(message));
}

std::optional<std::string> MainWindow::pickDriver() {
    return runDriverList(root_.get(), controller_.environment());
}

void MainWindow::runDsnForm(const std::string& dsn, const std::string& driver,
                            IniAccess::Mode mode) {
    DsnFormDialog form(root_.get(), *this, controller_.sender());
    if (form.prepare(dsn, driver, mode)) {
        form.exec();
    }
}

void* MainWindow::windowHandle() {
    return root_.get();
}
