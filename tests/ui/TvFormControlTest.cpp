#include "ui/TvFormControl.h"
#include "ModalTestSupport.h"
#include "ui/TvSound.h"
#include "ui/UAlEdit.h"

#include <QApplication>
#include <QElapsedTimer>
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
        // Integer division truncates toward zero, so an odd negative difference rounds up.
        const QPoint expected((work.width() - outer.width()) / 2,
                              (work.height() - outer.height()) / 2);
        QTRY_COMPARE(window.pos(), expected);
        if (outer.width() > work.width()) {
            QVERIFY(window.pos().x() < 0 && window.pos().y() < 0);
        }
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
