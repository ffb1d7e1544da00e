// The requests that reach the running program over the bus, carried out on a real main window
// (offscreen): which window comes to the front and where the focus goes, --toggle, the unit
// search with the desktop's terms, and what is refused while a dialog is open.
#include "ModalTestSupport.h"
#include "desktop/TvWindowRequests.h"
#include "ui/Tv10FrmAbout.h"
#include "ui/Tv10FrmAll.h"
#include "ui/Tv10FrmFind.h"
#include "ui/Tv10FrmMain.h"
#include "ui/Tv10FrmSet.h"
#include "ui/TvFormControl.h"
#include "ui/TvSound.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <utility>

using namespace tv;
using tv::desktop::TLaunchRequest;
using TKind = tv::desktop::TLaunchRequest::TKind;

namespace {

const char kUnits[] = ">>\n長さ\nm,$i,$t,\nkm,$i*1000,$t/1000,\n<<\n";

class TSilent : public ISoundPlayer {
public:
    void Exclamation() override {}
    void Asterisk() override {}
};

} // namespace

class WindowRequestsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        SetSoundPlayer(std::make_unique<TSilent>());
        SetErrorBoxHandler([](const QString& text) { QFAIL(qPrintable(text)); });
    }

    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        qputenv("XDG_DATA_HOME", dir_->filePath(QStringLiteral("data-home")).toUtf8());
        for (const auto& [name, text] :
             {std::pair{"units.dat", kUnits}, {"prefix.dat", "k,1E3\n"}}) {
            QFile file(dir_->filePath(QLatin1String(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text);
        }
        main_ = std::make_unique<TTvFrmMain>(dir_->path(),
                                             dir_->filePath(QStringLiteral("tenvari.ini")));
        about_ = std::make_unique<TTvFrmAbout>(main_.get());
        all_ = std::make_unique<TTvFrmAll>(main_.get());
        set_ = std::make_unique<TTvFrmSet>(main_.get());
        main_->SetWindows(about_.get(), all_.get(), set_.get());
        requests_ = std::make_unique<desktop::TWindowRequests>(*main_);
        main_->show();
        main_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main_.get()));
    }

    void cleanup() {
        requests_.reset();
        set_.reset();
        all_.reset();
        about_.reset();
        main_.reset();
        guard_.Verify();
    }

    // Activate shows a hidden or minimised window, with the focus in the active page's value
    // box and its text selected.
    void activateFocusesTheValueBox_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("how");
        QTest::newRow("unit page, hidden") << 0 << "hidden";
        QTest::newRow("base page, minimised") << 1 << "minimised";
        QTest::newRow("base page, shown") << 1 << "shown";
    }

    void activateFocusesTheValueBox() {
        QFETCH(int, page);
        QFETCH(QString, how);
        main_->findChild<QTabWidget*>(QStringLiteral("PageControl"))->setCurrentIndex(page);
        QLineEdit* box = Box(page == 0 ? "edtInput" : "edtInputB");
        box->setText(QStringLiteral("123"));
        main_->findChild<QWidget*>(page == 0 ? "comUnits" : "edtBaseOutput")->setFocus();
        if (how == QLatin1String("hidden")) {
            main_->hide();
        } else if (how == QLatin1String("minimised")) {
            main_->showMinimized();
        }
        QCOMPARE(requests_->Take({TKind::Activate, {}}, {}), QString());
        QTRY_VERIFY(main_->isVisible() && !main_->isMinimized());
        QTRY_COMPARE(main_->focusWidget(), static_cast<QWidget*>(box));
        QCOMPARE(box->selectedText(), QStringLiteral("123"));
    }

    // Toggle hides the window that has the focus; a hidden, minimised or inactive one comes back.
    void toggle_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("shownAfter");
        QTest::newRow("active: hides") << "active" << false;
        QTest::newRow("hidden: shows") << "hidden" << true;
        QTest::newRow("minimised: shows") << "minimised" << true;
        QTest::newRow("behind another window: shows") << "inactive" << true;
    }

    void toggle() {
        QFETCH(QString, how);
        QFETCH(bool, shownAfter);
        QWidget other;
        if (how == QLatin1String("hidden")) {
            main_->hide();
        } else if (how == QLatin1String("minimised")) {
            main_->showMinimized();
        } else if (how == QLatin1String("inactive")) {
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        }
        QCOMPARE(requests_->Take({TKind::Toggle, {}}, {}), QString());
        if (shownAfter) {
            QTRY_VERIFY(main_->isVisible() && !main_->isMinimized());
            // The focus window, which the offscreen platform keeps for a window it hid, while
            // QApplication's active window is set only at a change of it.
            QTRY_COMPARE(QGuiApplication::focusWindow(), main_->windowHandle());
        } else {
            QTRY_VERIFY(!main_->isVisible());
        }
    }

    // LaunchSearch's terms land in the unit search's filter.
    void searchOpensWithTheTerms() {
        QString filter;
        guard_.Expect([&filter](QWidget* dialog) {
            filter = dialog->findChild<QLineEdit*>()->text();
            static_cast<QDialog*>(dialog)->reject();
        });
        QCOMPARE(requests_->Take({TKind::Search, QStringLiteral("km")}, {}), QString());
        QTRY_COMPARE(filter, QStringLiteral("km"));
    }

    // While a dialog is open, the main window takes no commands: a query or a search is refused
    // and the dialog comes to the front; showing and toggling bring the dialog forward too.
    void refusedWhileADialogIsOpen() {
        QMessageBox box(QMessageBox::Information, QStringLiteral("x"), QStringLiteral("y"));
        box.setProperty(test::kDrivenByTest, true);
        QString search;
        QString query;
        QString activate;
        QString toggle;
        QTimer::singleShot(0, &box, [&] {
            QVERIFY(QTest::qWaitForWindowActive(&box));
            search = requests_->Take({TKind::Search, QStringLiteral("km")}, {});
            query = requests_->Take({TKind::Query, QStringLiteral("5 km to m")}, {});
            activate = requests_->Take({TKind::Activate, {}}, {});
            toggle = requests_->Take({TKind::Toggle, {}}, {});
            QTest::qWait(0);
            QVERIFY(box.isVisible());
            box.done(0);
        });
        box.exec();
        const QString busy = QStringLiteral("Tenvari has a dialog open; close it and try again");
        QCOMPARE(search, busy);
        QCOMPARE(query, busy);
        QCOMPARE(activate, QString());
        QCOMPARE(toggle, QString());
        QVERIFY(main_->isVisible());
    }

    // What the desktop's search would never send is refused without a look at it.
    void textsNoSearchSends_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("too long") << QString(300, QLatin1Char('5'));
        QTest::newRow("a control character") << QStringLiteral("5\u0001km");
        QTest::newRow("blank") << QStringLiteral("  ");
    }

    void textsNoSearchSends() {
        QFETCH(QString, text);
        const QString refused =
            QStringLiteral("the text is empty, longer than 256 bytes or holds control characters");
        QCOMPARE(requests_->Take({TKind::Search, text}, {}), refused);
        QCOMPARE(requests_->Take({TKind::Query, text}, {}), refused);
    }

private:
    QLineEdit* Box(const char* name) const {
        return main_->findChild<QLineEdit*>(QLatin1String(name));
    }

    test::TModalGuard guard_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<TTvFrmMain> main_;
    std::unique_ptr<TTvFrmAbout> about_;
    std::unique_ptr<TTvFrmAll> all_;
    std::unique_ptr<TTvFrmSet> set_;
    std::unique_ptr<desktop::TWindowRequests> requests_;
};

QTEST_MAIN(WindowRequestsTest)
#include "WindowRequestsTest.moc"
