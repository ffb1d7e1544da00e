#include "ui/TvFormControl.h"
#include "ModalTestSupport.h"
#include "ui/TvAccessible.h"
#include "ui/TvPlatform.h"
#include "ui/TvSound.h"
#include "ui/UAlEdit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QScreen>
#include <QTest>
#include <QWidget>

class TvFormControlTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { guard_.Verify(); }

    void centerFormUsesTheWorkAreaSize_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("smaller than the work area") << QSize(301, 201);
        QTest::newRow("larger than the work area") << QSize(3001, 2001);
    }

    void centerFormUsesTheWorkAreaSize() {
        QFETCH(QSize, size);
        QWidget window;
        window.resize(size);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.resize(size); // the window system may have limited it to the screen at showing
        tv::CenterForm(&window);
        const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
        const QSize outer = window.frameGeometry().size();
        // The outer frame is centred; integer division truncates toward zero, so an odd negative
        // difference rounds up.
        const QPoint expected = work.topLeft() + QPoint((work.width() - outer.width()) / 2,
                                                        (work.height() - outer.height()) / 2);
        QTRY_COMPARE(window.pos(), expected);
        if (outer.width() > work.width()) {
            QVERIFY(window.pos().x() < 0 && window.pos().y() < 0);
        }
    }

    // A stored corner is kept while a grip of the title bar lies in some work area, and is
    // otherwise moved just far enough into the nearest one.
    void bringIntoWorkArea_data() {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QPoint>("corner");
        const QSize size(252, 259);
        QTest::newRow("inside") << QRect(QPoint(100, 100), size) << QPoint(100, 100);
        QTest::newRow("on the second screen")
            << QRect(QPoint(1500, 200), size) << QPoint(1500, 200);
        QTest::newRow("grip left at the right edge")
            << QRect(QPoint(984, 30), size) << QPoint(984, 30);
        QTest::newRow("less than the grip at the right edge")
            << QRect(QPoint(2841, 30), size) << QPoint(2880 - 252, 30);
        QTest::newRow("title bar under the top panel")
            << QRect(QPoint(100, 10), size) << QPoint(100, 30);
        QTest::newRow("below the first screen, nearest to it")
            << QRect(QPoint(300, 900), size) << QPoint(300, 768 - 259);
        QTest::newRow("left of every screen") << QRect(QPoint(-4000, 300), size) << QPoint(40, 300);
        QTest::newRow("larger than the nearest work area")
            << QRect(-50, -50, 4000, 3000) << QPoint(1024, 0);
    }

    void bringIntoWorkArea() {
        QFETCH(QRect, frame);
        QFETCH(QPoint, corner);
        // A panel at the top and the left of the first screen; the second screen lies to its right.
        const QList<QRect> areas = {QRect(40, 30, 984, 738), QRect(1024, 0, 1856, 1024)};
        QCOMPARE(tv::BringIntoWorkArea(frame, 20, areas), corner);
    }

    void platformChoice_data() {
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QString>("platform");
        QTest::newRow("Wayland with XWayland")
            << QStringList{"WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0"} << "xcb";
        QTest::newRow("Wayland named by the session type")
            << QStringList{"XDG_SESSION_TYPE=wayland", "DISPLAY=:1"} << "xcb";
        QTest::newRow("the user's choice wins")
            << QStringList{"WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0", "QT_QPA_PLATFORM=wayland"}
            << "";
        QTest::newRow("Wayland without XWayland") << QStringList{"WAYLAND_DISPLAY=wayland-0"} << "";
        QTest::newRow("an empty choice is none")
            << QStringList{"WAYLAND_DISPLAY=wayland-0", "DISPLAY=:0", "QT_QPA_PLATFORM="} << "xcb";
        QTest::newRow("X11 session") << QStringList{"DISPLAY=:0", "XDG_SESSION_TYPE=x11"} << "";
        QTest::newRow("no display at all") << QStringList{} << "";
    }

    void platformChoice() {
        QFETCH(QStringList, environment);
        QFETCH(QString, platform);
        QMap<QByteArray, QByteArray> values;
        for (const QString& entry : environment) {
            const auto parts = entry.toUtf8().split('=');
            values.insert(parts.at(0), parts.at(1));
        }
        const auto chosen = tv::ChoosePlatform([&values](const char* name) -> const char* {
            const auto found = values.constFind(QByteArray(name));
            return found == values.constEnd() ? nullptr : found->constData();
        });
        QCOMPARE(QString::fromStdString(chosen.value_or("")), platform);
    }

    void setTopMostKeepsPlaceAndVisibility() {
        QWidget window;
        window.setGeometry(40, 50, 220, 130);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect before = window.geometry();
        for (const bool on : {true, false}) {
            tv::SetTopMost(&window, on);
            QCOMPARE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint), on);
            QVERIFY(window.isVisible());
            QTRY_COMPARE(window.geometry(), before);
        }
        QWidget hidden;
        tv::SetTopMost(&hidden, true);
        QVERIFY(!hidden.isVisible());
        QVERIFY(hidden.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        tv::SetTopMost(nullptr, true);
    }

    void statusPanelShortensInTheMiddle() {
        tv::TStatusPanel panel;
        panel.setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel.setFixedWidth(120);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        panel.SetText(QStringLiteral("short"));
        QVERIFY(!panel.Elided());
        QCOMPARE(panel.toolTip(), QString());
        const QString text =
            QStringLiteral("変換前の単位：英熱量単位インチ毎平方フィート [BTU・in]");
        panel.SetText(text);
        QCOMPARE(panel.text(), text);
        QVERIFY(panel.Elided());
        QCOMPARE(panel.toolTip(), text);
        // Wide enough again, the whole text shows and the tooltip goes.
        panel.setFixedWidth(panel.fontMetrics().horizontalAdvance(text) + 20);
        QVERIFY(!panel.Elided());
        QCOMPARE(panel.toolTip(), QString());
    }

    void errorBoxAddsTheFullStop_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Convert"
                                << "Convert.";
        QTest::newRow("full stop already") << "Done."
                                           << "Done.";
        QTest::newRow("character before the full stop") << "Error -"
                                                        << "Error -";
        QTest::newRow("Japanese") << "メモリが足りません"
                                  << "メモリが足りません.";
    }

    void errorBoxAddsTheFullStop() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QStringList boxes;
        tv::SetErrorBoxHandler([&boxes](const QString& text) { boxes << text; });
        tv::ShowErrorBox(nullptr, message);
        tv::SetErrorBoxHandler({});
        QCOMPARE(boxes, QStringList{shown});
    }

    void urlOpenerFailureIsAnAnswer() {
        QList<QUrl> urls;
        tv::SetUrlOpener([&urls](const QUrl& url) {
            urls << url;
            if (url.scheme() == QStringLiteral("mailto")) {
                throw std::runtime_error("no mail program");
            }
            return false;
        });
        QVERIFY(!tv::OpenUrl(QUrl(QStringLiteral("https://tenvari.example.org/"))));
        QVERIFY(!tv::OpenUrl(QUrl(QStringLiteral("mailto:info@tenvari.example.org"))));
        tv::SetUrlOpener({});
        QCOMPARE(urls.size(), 2);
    }

    void accessibleCaption_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("name");
        QTest::newRow("key in parentheses") << "単位変換(&U)"
                                            << "単位変換";
        QTest::newRow("key in full-width parentheses") << "単位変換（&U）"
                                                       << "単位変換";
        QTest::newRow("marker before an ellipsis") << "一括変換(&A)..."
                                                   << "一括変換...";
        QTest::newRow("marker after a blank") << "小 [10pt] (&S)"
                                              << "小 [10pt]";
        QTest::newRow("label with a colon") << "検索(&S):"
                                            << "検索";
        QTest::newRow("marker in the word") << "&OK"
                                            << "OK";
        QTest::newRow("a real ampersand") << "A && B"
                                          << "A & B";
        QTest::newRow("parentheses that are no marker") << "ケーブル（1/10 海里）"
                                                        << "ケーブル（1/10 海里）";
        QTest::newRow("padding blank") << QString::fromUtf8("変換\u3000") << "変換";
    }

    void accessibleCaption() {
        QFETCH(QString, caption);
        QFETCH(QString, name);
        QCOMPARE(tv::AccessibleCaption(caption), name);
    }

    void numbersKeptWithCounters_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kept");
        QTest::newRow("counter") << "単位の行に 4 つの項目がありません"
                                 << "単位の行に 4\u00a0つの項目がありません";
        QTest::newRow("line number") << " の 12 行目"
                                     << " の 12\u00a0行目";
        QTest::newRow("a blank before the number may break") << "行に 4"
                                                             << "行に 4";
        QTest::newRow("a Latin word after the number") << "4 items"
                                                       << "4 items";
    }

    void numbersKeptWithCounters() {
        QFETCH(QString, text);
        QFETCH(QString, kept);
        QCOMPARE(tv::KeepNumbersWithCounters(text), kept);
    }

    void alignedEditKeepsTextRight() {
        tv::TAlEdit edit;
        edit.resize(80, 24);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        QTest::keyClicks(&edit, QStringLiteral("12345678901234567890"));
        QCOMPARE(edit.text(), QStringLiteral("12345678901234567890"));
        QCOMPARE(edit.alignment(), Qt::AlignRight | Qt::AlignVCenter);
        QCOMPARE(edit.cursorPosition(), 20);
    }

    void installedSoundPlayerReceivesTheSounds() {
        struct TRecorder : tv::ISoundPlayer {
            explicit TRecorder(QStringList& log) : log_(log) {}
            void Exclamation() override { log_ << "exclamation"; }
            void Asterisk() override { log_ << "asterisk"; }
            QStringList& log_;
        };
        QStringList log;
        tv::SetSoundPlayer(std::make_unique<TRecorder>(log));
        tv::Sound().Exclamation();
        tv::Sound().Asterisk();
        tv::SetSoundPlayer(nullptr);
        QCOMPARE(log, (QStringList{"exclamation", "asterisk"}));
    }

    // The test machine has no sound server: the desktop player must neither crash nor hang.
    void desktopSoundWithoutASoundServer() {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 3; ++i) {
            tv::Sound().Exclamation();
            tv::Sound().Asterisk();
        }
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    }

private:
    tv::test::TModalGuard guard_;
};

QTEST_MAIN(TvFormControlTest)
#include "TvFormControlTest.moc"
