// How the module finds an application to show its dialogs in: it makes one
// when none exists (keeping the process locale), hands a dialog from
// another thread to the application's running event loop, and refuses it
// when that thread runs none.
#include <QApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <clocale>
#include <thread>

#include "tests/ui/UiTestSupport.h"

namespace {

using ui_test::click;
using ui_test::RecordingHost;
using ui_test::whenModal;

// Presses OK on the next dialog, from inside the application's loop.
void pressOkWhenShown() {
    whenModal([](QWidget* dialog) { click(dialog, "okButton"); });
}

TEST(Application, MadeWhenNoneExistsAndDialogsHandedToItsThread) {
    const MorvanexUiTable* table = ui_test::moduleTable();
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    RecordingHost host;

    // No application yet: the module makes one; a routine run by its
    // constructor arms the OK press, which fires once the dialog's loop runs.
    qAddPreRoutine([] { QTimer::singleShot(0, &pressOkWhenShown); });
    EXPECT_EQ(table->alert(&host.host, "Made", "here", nullptr), 0);
    ASSERT_NE(qobject_cast<QApplication*>(QCoreApplication::instance()), nullptr);
    EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C");

    // From another thread while this one runs a loop: the dialog runs here.
    std::atomic<int> response{-2};
    QThread* dialogThread = nullptr;
    QEventLoop loop;
    whenModal([&](QWidget* dialog) {
        dialogThread = QThread::currentThread();
        click(dialog, "secondBtn");
    });
    std::thread caller([&] {
        response = table->alert(&host.host, "Handed over", "", "Cancel");
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    caller.join();
    EXPECT_EQ(response, 1);
    EXPECT_EQ(dialogThread, QCoreApplication::instance()->thread());

    // This thread is busy and runs no loop: refused, not blocked forever.
    std::thread refused([&] { response = table->alert(&host.host, "Refused", "", nullptr); });
    refused.join();
    EXPECT_EQ(response, MORVANEX_UI_NOT_SHOWN);
    EXPECT_EQ(host.log.back(), "Dialog not shown: the application's thread runs no event loop");
    // The abandoned dialog, taken later, shows nothing.
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ui_test::setPrivateEnvironment();
    return RUN_ALL_TESTS();
}
