#pragma once

#include <QDialog>
#include <QTest>
#include <QTimer>
#include <functional>

namespace tv::test {

// Runs show(dialog) (which shows it modally) and calls whileOpen once the dialog is visible and
// active. A dialog still open after a failed check, or after 20 s, is closed with -1 so that a
// broken test fails instead of hanging.
inline int RunModal(QDialog& dialog, const std::function<int()>& show,
                    const std::function<void()>& whileOpen) {
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &dialog, [&dialog] {
        if (dialog.isVisible()) {
            dialog.done(-1);
        }
    });
    QTimer::singleShot(0, &dialog, [&] {
        watchdog.start(20000);
        if (QTest::qWaitForWindowActive(&dialog)) {
            whileOpen();
        } else {
            QTest::qFail("the dialog did not become active", __FILE__, __LINE__);
        }
        if (QTest::currentTestFailed() && dialog.isVisible()) {
            dialog.done(-1);
        }
    });
    return show();
}

} // namespace tv::test
