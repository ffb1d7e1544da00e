// What the first unit conversion after start-up costs against the later ones: the program's
// main window with the shipped data, started as the program starts it, shown and left to settle;
// then the user types 1 into the value box and converts it into kilometres (Enter), and after it
// 2, 3, ... metres, each timed from the command to the repainted window. The first conversion
// pays for whatever the program prepares only on first use; what the first key prepares (the
// history opens at the user's first key or click) is timed on its own.
//
// Every conversion, the first and each later one, comes after the same half-second pause, as a
// user's do: a machine runs the same work more slowly after a pause (bench/pause_probe.cpp
// shows it without Qt), and a later conversion timed straight after another would be compared
// warm against the first one's cold. The same conversions back to back are timed too, as the
// warm figure.
//
// Prints one line: "first_us N later_us N warm_us N first_key_us N later_key_us N" (the first
// conversion, the median of the later ones after a pause and of those back to back, then the
// first typed value and the median of the later ones after a pause, in microseconds).
// scripts/bench-startup.sh runs it once per process, as only a new process has a first
// conversion.
#include "ui/Tv10FrmMain.h"
#include "ui/TvStartUp.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    tv::SetUpApplication(app);
    const QTemporaryDir settings;
    tv::TProgramWindows windows(QStringLiteral(TENVARI_SHIPPED_DATA "/"),
                                settings.filePath(QStringLiteral("tenvari.ini")), QString());
    windows.Show();
    tv::TTvFrmMain& frmMain = windows.Main();

    auto* input = frmMain.findChild<QLineEdit*>(QStringLiteral("edtInput"));
    auto* convert = frmMain.findChild<QAction*>(QStringLiteral("mnuNConv"));
    auto* output = frmMain.findChild<QLineEdit*>(QStringLiteral("edtOutput"));
    auto* target = frmMain.findChild<QComboBox*>(QStringLiteral("comOutput"));
    if (input == nullptr || convert == nullptr || output == nullptr || target == nullptr) {
        std::fprintf(stderr, "first_conversion: the main window lacks its controls\n");
        return 1;
    }
    // The user's first Enter comes long after the window appeared: everything the start-up left
    // for after the first frame has run by then. Each pause waits in the event loop, as the
    // program waits for a user.
    QElapsedTimer waited;
    waited.start();
    while (frmMain.windowHandle() == nullptr || !frmMain.windowHandle()->isExposed()) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        if (waited.elapsed() > 30000) {
            std::fprintf(stderr, "first_conversion: the main window was not shown\n");
            return 1;
        }
    }
    const auto pause = [] {
        QEventLoop loop;
        QTimer::singleShot(500, &loop, &QEventLoop::quit);
        loop.exec();
    };
    pause();

    target->setCurrentIndex(1); // the length group's second unit, kilometres
    input->setFocus();
    qint64 typed = 0;
    const auto timeConversion = [&](int value) {
        input->selectAll();
        QElapsedTimer timer;
        timer.start();
        QTest::keyClicks(input, QString::number(value));
        typed = timer.nsecsElapsed() / 1000;
        timer.restart();
        convert->trigger();
        frmMain.repaint();
        return timer.nsecsElapsed() / 1000;
    };
    const qint64 first = timeConversion(1);
    const qint64 firstTyped = typed;
    constexpr int kLater = 10;
    constexpr int kWarm = 20;
    std::vector<qint64> later;
    std::vector<qint64> laterTyped;
    std::vector<qint64> warm;
    int value = 2;
    for (int i = 0; i < kLater; ++i, ++value) {
        pause();
        later.push_back(timeConversion(value));
        laterTyped.push_back(typed);
    }
    for (int i = 0; i < kWarm; ++i, ++value) {
        warm.push_back(timeConversion(value));
    }
    if (output->text() != QStringLiteral("0.0%1").arg(value - 1)) {
        std::fprintf(stderr, "first_conversion: converted to %s, not 0.0%d\n",
                     qPrintable(output->text()), value - 1);
        return 1;
    }
    const auto median = [](std::vector<qint64> values) {
        std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
        return static_cast<long long>(values[values.size() / 2]);
    };
    std::printf("first_us %lld later_us %lld warm_us %lld first_key_us %lld later_key_us %lld\n",
                static_cast<long long>(first), median(later), median(warm),
                static_cast<long long>(firstTyped), median(laterTyped));
    return 0;
}
