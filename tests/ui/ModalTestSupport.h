#pragma once

#include <QApplication>
#include <QDialog>
#include <QList>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <functional>
#include <utility>

namespace tv::test {

// The exit status of a suite whose test dependency is missing: CTest's SKIP_RETURN_CODE.
inline constexpr int kSkipped = 77;

// Marks a window that a test shows and drives itself, which the guard leaves alone.
inline constexpr char kDrivenByTest[] = "tvDrivenByTest";

// What a modal window showed when the guard closed it.
struct TSeenModal {
    QString title;
    QString text;   // a message box's text, else that of the window's text area
    QString detail; // a message box's detailed text
};

// One per window suite: looks for a modal window every 10 ms. A window the test drives (RunModal)
// is the test's; the next one after Expect() goes to its handler; any other is recorded and
// closed, so that no test hangs. Verify(), at the end of cleanup(), fails a test that left a
// record it did not take.
class TModalGuard : public QObject {
public:
    TModalGuard() {
        connect(&timer_, &QTimer::timeout, this, &TModalGuard::Check);
        timer_.start(10);
    }

    // The next modal window goes to handler instead of being recorded and closed.
    void Expect(std::function<void(QWidget*)> handler) { onModal_ = std::move(handler); }

    // The windows recorded so far; a test takes those it examined.
    QList<TSeenModal>& Seen() { return seen_; }

    // Takes every record and returns the windows' titles.
    QStringList TakeTitles() {
        QStringList titles;
        for (const TSeenModal& seen : std::exchange(seen_, {})) {
            titles << seen.title;
        }
        return titles;
    }

    void Verify() {
        onModal_ = nullptr;
        QStringList left;
        for (const TSeenModal& seen : std::exchange(seen_, {})) {
            left << seen.title + QStringLiteral(": ") + seen.text;
        }
        if (!left.isEmpty()) {
            const QString message =
                QStringLiteral("unexpected modal window:\n") + left.join(QLatin1Char('\n'));
            QTest::qFail(qPrintable(message), __FILE__, __LINE__);
        }
    }

private:
    void Check() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->property(kDrivenByTest).toBool()) {
            return;
        }
        if (onModal_) {
            std::exchange(onModal_, nullptr)(modal);
            return;
        }
        TSeenModal seen{modal->windowTitle(), {}, {}};
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.text = box->text();
            seen.detail = box->detailedText();
        } else if (auto* area = modal->findChild<QPlainTextEdit*>()) {
            seen.text = area->toPlainText();
        }
        seen_.append(seen);
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
    }

    QTimer timer_;
    QList<TSeenModal> seen_;
    std::function<void(QWidget*)> onModal_;
};

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
    dialog.setProperty(kDrivenByTest, true);
    const int result = show();
    dialog.setProperty(kDrivenByTest, false);
    return result;
}

} // namespace tv::test
