#include "AccessibilityTestSupport.h"
#include "ModalTestSupport.h"
#include "ui/Tv10FrmAll.h"
#include "ui/TvFormControl.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using tv::ResultText;
using tv::TTvFrmAll;
using tv::test::RunModal;

namespace {

int Show(TTvFrmAll& window, const std::function<void()>& whileOpen) {
    return RunModal(
        window, [&window] { return window.ShowModal(); }, whileOpen);
}

QString Shown(const QString& resultText) {
    QString text = resultText;
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QPoint WorkCentred(const QSize& size) {
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    return {(work.width() - size.width()) / 2, (work.height() - size.height()) / 2};
}

} // namespace

class FrmAllTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        ResultText().clear();
        tv::TopMostMode = false;
    }

    void cleanup() { guard_.Verify(); }

    void menuCaptions() {
        TTvFrmAll window;
        const QList<QAction*> menus = window.findChild<QMenuBar*>()->actions();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus[0]->text(), QStringLiteral("表示(&V)"));
        QCOMPARE(menus[1]->text(), QStringLiteral("その他(&O)"));
        QCOMPARE(menus[0]->menu()->actions().at(0)->text(), QStringLiteral("文字の大きさ(&S)"));
        const QStringList sizes = {"小 [10pt] (&S)", "中 [16pt] (&M)", "大 [20pt] (&L)",
                                   "特 [32pt] (&X)"};
        for (int tag = 0; tag < 4; ++tag) {
            QCOMPARE(window.sizeAction(tag)->text(), sizes[tag]);
        }
        QAction* close = menus[1]->menu()->actions().at(0);
        QCOMPARE(close->text(), QStringLiteral("このウィンドウを閉じる(&Q)"));
        QCOMPARE(close->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
        QCOMPARE(window.windowTitle(), QStringLiteral("変換結果"));
        QCOMPARE(window.btnAConvWinClose()->text(), QStringLiteral("閉じる"));
    }

    // What the user changed at one showing (size, maximised state, text size) is undone at the
    // next, and the text is the result text as it stands then.
    void everyShowingStartsAfresh() {
        TTvFrmAll window;
        ResultText() = QStringLiteral("1 [m] => 100 [cm]\r\n");
        int result = Show(window, [&] {
            QCOMPARE(window.size(), QSize(480, 360));
            QCOMPARE(QApplication::focusWidget(), window.btnAConvWinClose());
            QCOMPARE(window.memAllConvs()->toPlainText(), Shown(ResultText()));
            QVERIFY(window.memAllConvs()->isReadOnly());
            QCOMPARE(window.memAllConvs()->font().pointSize(), 10);

            window.sizeAction(3)->trigger();
            QCOMPARE(window.memAllConvs()->font().pointSize(), 32);
            QVERIFY(window.sizeAction(3)->isChecked());
            QVERIFY(!window.sizeAction(0)->isChecked());
            QCOMPARE(window.btnAConvWinClose()->font().pointSize(), window.font().pointSize());
            window.showMaximized();
            QTest::mouseClick(window.btnAConvWinClose(), Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Accepted));

        ResultText() += QStringLiteral("2 [m] => 200 [cm]\r\n");
        QSize outerSize;
        result = Show(window, [&] {
            QCOMPARE(window.size(), QSize(480, 360));
            QVERIFY(!(window.windowState() & Qt::WindowMaximized));
            QCOMPARE(window.memAllConvs()->font().pointSize(), 10);
            QVERIFY(window.sizeAction(0)->isChecked());
            QVERIFY(!window.sizeAction(3)->isChecked());
            QCOMPARE(window.memAllConvs()->toPlainText(), Shown(ResultText()));
            window.resize(600, 500);
            outerSize = window.frameGeometry().size();
            window.close();
        });
        QCOMPARE(result, int(QDialog::Rejected));

        // Centring uses the size the window had before it is set back to 480 x 360.
        Show(window, [&] {
            QCOMPARE(window.pos(), WorkCentred(outerSize));
            QCOMPARE(window.size(), QSize(480, 360));
            window.accept();
        });
    }

    // Screen readers meet the report by its name and hear no mnemonic markers in the menus; the
    // line is a separator, and the button's focus is drawn.
    void accessibleObjects() {
        TTvFrmAll window;
        Show(window, [&] {
            QCOMPARE(QAccessible::queryAccessibleInterface(window.memAllConvs())
                         ->text(QAccessible::Name),
                     QStringLiteral("変換結果"));
            QCOMPARE(QAccessible::queryAccessibleInterface(window.findChild<QWidget*>("bvlLine"))
                         ->role(),
                     QAccessible::Separator);
            QCOMPARE(tv::test::NamesWithMnemonics(&window), QStringList());
            QVERIFY(window.testAttribute(Qt::WA_KeyboardFocusChange));
            window.accept();
        });
    }

    void sizeItemsSetTheTextSize_data() {
        QTest::addColumn<int>("tag");
        QTest::addColumn<int>("points");
        QTest::newRow("小") << 0 << 10;
        QTest::newRow("中") << 1 << 16;
        QTest::newRow("大") << 2 << 20;
        QTest::newRow("特") << 3 << 32;
    }

    void sizeItemsSetTheTextSize() {
        QFETCH(int, tag);
        QFETCH(int, points);
        TTvFrmAll window;
        Show(window, [&] {
            const int windowPoints = window.font().pointSize();
            window.sizeAction(tag)->trigger();
            QCOMPARE(window.memAllConvs()->font().pointSize(), points);
            QCOMPARE(window.font().pointSize(), windowPoints);
            for (int other = 0; other < 4; ++other) {
                QCOMPARE(window.sizeAction(other)->isChecked(), other == tag);
            }
            window.accept();
        });
    }

    void cannotBeMadeSmallerThan400By300() {
        TTvFrmAll window;
        Show(window, [&] {
            window.resize(100, 50);
            QCOMPARE(window.size(), QSize(400, 300));
            window.accept();
        });
    }

    void closesByEveryCommand_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("Ctrl+Q") << 0;
        QTest::newRow("Esc in the text box") << 1;
        QTest::newRow("click on the button") << 2;
        QTest::newRow("Enter on the button") << 3;
        QTest::newRow("menu item") << 4;
    }

    void closesByEveryCommand() {
        QFETCH(int, way);
        TTvFrmAll window;
        const int result = Show(window, [&] {
            switch (way) {
            case 0:
                QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
                break;
            case 1:
                window.memAllConvs()->setFocus();
                QTest::keyClick(window.memAllConvs(), Qt::Key_Escape);
                break;
            case 2:
                QTest::mouseClick(window.btnAConvWinClose(), Qt::LeftButton);
                break;
            case 3:
                window.btnAConvWinClose()->setFocus();
                QTest::keyClick(window.btnAConvWinClose(), Qt::Key_Return);
                break;
            default:
                window.findChild<QMenuBar*>()->actions().at(1)->menu()->actions().at(0)->trigger();
                break;
            }
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(!window.isVisible());
    }

    void enterInTheTextBoxKeepsItOpen() {
        TTvFrmAll window;
        ResultText() = QStringLiteral("a\r\nb\r\n");
        const int result = Show(window, [&] {
            window.memAllConvs()->setFocus();
            QTest::keyClick(window.memAllConvs(), Qt::Key_Return);
            QTest::keyClick(window.memAllConvs(), Qt::Key_Enter);
            QCoreApplication::processEvents();
            QVERIFY(window.isVisible());
            QCOMPARE(window.memAllConvs()->toPlainText(), QStringLiteral("a\nb\n"));
            window.accept();
        });
        QCOMPARE(result, int(QDialog::Accepted));
    }

    void joinsTheTopMostBandOnlyWhileTheModeIsOn() {
        TTvFrmAll window;
        tv::TopMostMode = true;
        Show(window, [&] {
            QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            window.accept();
        });
        tv::TopMostMode = false;
        Show(window, [&] {
            QVERIFY(!window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            window.accept();
        });
    }

    void showsALongReportQuickly() {
        QString& text = ResultText();
        for (int line = 0; line < 100000; ++line) {
            text += QStringLiteral("%1 [m] => %2 [cm]\r\n").arg(line).arg(line * 100);
        }
        TTvFrmAll window;
        QElapsedTimer timer;
        timer.start();
        Show(window, [&] {
            QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
            QPlainTextEdit* memo = window.memAllConvs();
            QCOMPARE(memo->blockCount(), 100001);
            memo->setFocus();
            QTest::keyClick(memo, Qt::Key_End, Qt::ControlModifier);
            QCOMPARE(memo->textCursor().blockNumber(), 100000);
            QVERIFY(memo->cursorForPosition(QPoint(0, 0)).blockNumber() > 99000);
            window.accept();
        });
        QVERIFY2(timer.elapsed() < 15000, qPrintable(QString::number(timer.elapsed())));
    }

    // A line too long to lay out is shown cut at 10 000 characters, never within a character,
    // with a note of its length; the other lines, and the result text itself, stay whole.
    void longLinesAreShownShortened() {
        const QString longest(10000, QLatin1Char('a'));
        const QString cutBeforePair = QString(9999, QLatin1Char('b')) + QStringLiteral("😀c");
        const QString longLine = QString(250000, QLatin1Char('1'));
        ResultText() = QStringLiteral("1 [m] => 1 [m]\r\n") + longest + QStringLiteral("\r\n") +
                       longLine + QStringLiteral("\r\n") + cutBeforePair +
                       QStringLiteral("\r\nend");
        const QString whole = ResultText();
        const auto note = [](qsizetype length, qsizetype shown) {
            return QStringLiteral(" …［長い行のため、%1 文字のうち先頭の %2 文字を表示］")
                .arg(length)
                .arg(shown);
        };
        TTvFrmAll window;
        Show(window, [&] {
            QCOMPARE(window.memAllConvs()->toPlainText(),
                     QStringLiteral("1 [m] => 1 [m]\n") + longest + QLatin1Char('\n') +
                         longLine.left(10000) + note(250000, 10000) + QLatin1Char('\n') +
                         cutBeforePair.left(9999) + note(10002, 9999) + QStringLiteral("\nend"));
            window.accept();
        });
        QCOMPARE(ResultText(), whole);
    }

private:
    tv::test::TModalGuard guard_;
};

QTEST_MAIN(FrmAllTest)
#include "FrmAllTest.moc"
