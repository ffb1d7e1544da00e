#include "AccessibilityTestSupport.h"
#include "ModalTestSupport.h"
#include "ui/Tv10FrmSet.h"
#include "ui/TvFormControl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using tv::TTvFrmSet;
using tv::test::RunModal;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The value of the checked button of a group, or -1 when none is checked.
int Checked(const std::function<QRadioButton*(int)>& button, int count) {
    for (int value = 0; value < count; ++value) {
        if (button(value)->isChecked()) {
            return value;
        }
    }
    return -1;
}

// Clicks a radio button or check box in the middle of what takes the click: the indicator and
// the text, as wide as the button's own font draws it. The blank beyond the text takes none, so
// the middle of the whole button misses it with a narrow font.
void Click(QAbstractButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QStyle::SubElement area = qobject_cast<QRadioButton*>(button) != nullptr
                                        ? QStyle::SE_RadioButtonClickRect
                                        : QStyle::SE_CheckBoxClickRect;
    QTest::mouseClick(button, Qt::LeftButton, {},
                      button->style()->subElementRect(area, &option, button).center());
}

} // namespace

class FrmSetTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The program's own font, so that the layout checks measure the texts a user sees.
        QApplication::setFont(tv::ProgramFont());
        tv::InstallProgramStyle();
    }

    void init() {
        folder_.reset(new QTemporaryDir);
        QVERIFY(folder_->isValid());
        path_ = folder_->filePath(QStringLiteral("tenvari.ini"));
        groups_ = QStringList{"長さ", "面積", "体積"};
        errors_.clear();
        tv::SetErrorBoxHandler([this](const QString& text) { errors_ << text; });
        tv::TopMostMode = false;
        dialog_.reset(new TTvFrmSet);
        dialog_->SetSettingsPath(path_);
        dialog_->SetGroupNames([this] { return groups_; });
    }

    void cleanup() {
        dialog_.reset();
        tv::SetErrorBoxHandler({});
        guard_.Verify();
    }

    void captionsAndLayout() {
        TTvFrmSet& d = *dialog_;
        QCOMPARE(d.windowTitle(), QStringLiteral("設定"));
        QCOMPARE(d.size(), QSize(331, 218));
        QCOMPARE(d.pctSetting()->tabText(0), QStringLiteral("起動時"));
        QCOMPARE(d.pctSetting()->tabText(1), QString::fromUtf8("変換\u3000"));
        QCOMPARE(d.btnOK()->text(), QStringLiteral("OK"));
        QCOMPARE(d.btnCancel()->text(), QStringLiteral("キャンセル"));
        QVERIFY(d.btnOK()->isDefault());
        QVERIFY(!d.windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!d.windowFlags().testFlag(Qt::WindowSystemMenuHint));
        const QStringList labels = {d.findChild<QLabel*>("lblShowExp1")->text(),
                                    d.findChild<QLabel*>("lblShowExp2")->text(),
                                    d.findChild<QLabel*>("lblShowExp3")->text()};
        QCOMPARE(labels,
                 (QStringList{"※変換式は", QString::fromUtf8("\u3000 変換結果ウィンドウから"),
                              QString::fromUtf8("\u3000 確認することができます。")}));
        // Every control lies inside its parent, and controls of one parent do not overlap.
        for (QWidget* widget : d.findChildren<QWidget*>()) {
            QWidget* parent = widget->parentWidget();
            if (widget->isWindow() || parent == nullptr ||
                (qobject_cast<QGroupBox*>(parent) == nullptr && parent != &d)) {
                continue;
            }
            QVERIFY2(parent->rect().contains(widget->geometry()),
                     qPrintable(widget->objectName() + " " + QDebug::toString(widget->geometry())));
            for (QWidget* sibling : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (sibling != widget && !sibling->objectName().isEmpty() &&
                    !widget->objectName().isEmpty()) {
                    QVERIFY2(!sibling->geometry().intersects(widget->geometry()),
                             qPrintable(widget->objectName() + " " + sibling->objectName()));
                }
            }
        }
    }

    void defaultsWithoutAFile() {
        TTvFrmSet& d = *dialog_;
        const int result = Show([&] {
            QCOMPARE(d.pctSetting()->currentIndex(), 0);
            QVERIFY(d.rbtMainWinPos(0)->isChecked());
            QVERIFY(d.rbtUnitListSet(0)->isChecked());
            QCOMPARE(d.comUnitSeries()->count(), 3);
            QCOMPARE(d.comUnitSeries()->currentText(), QStringLiteral("長さ"));
            QVERIFY(!d.comUnitSeries()->isEnabled());
            QVERIFY(d.rbtConvDispose(0)->isChecked());
            QVERIFY(d.rbtShowAns(0)->isChecked());
            QVERIFY(!d.cbxExpShow()->isChecked());
            QTest::mouseClick(d.btnCancel(), Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(!QFile::exists(path_));
    }

    void storedValuesAreShown_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<int>>("shown"); // WinPos, UnitSeries, combo row, ConvDispose,
                                               // ShowAns, check box
        QTest::addColumn<bool>("comboEnabled");
        QTest::newRow("second choices")
            << QByteArray("[StartUp]\nWinPos=1\nUnitSeries=1\nSetUnits=1\n"
                          "[Convert]\nConvDispose=1\nShowAns=1\nShowExp=1\n")
            << QList<int>{1, 1, 1, 1, 1, 1} << false;
        QTest::newRow("selected group enables the list")
            << QByteArray("[startup]\nunitseries=2\nsetunits=$2\n[CONVERT]\nSHOWANS=2\n")
            << QList<int>{0, 2, 2, 0, 2, 0} << true;
        QTest::newRow("values outside the lists show the defaults")
            << QByteArray("[StartUp]\nWinPos=5\nUnitSeries=7\nSetUnits=9\n"
                          "[Convert]\nConvDispose=-1\nShowAns=3\nShowExp=2\n")
            << QList<int>{0, 0, -1, 0, 0, 0} << false;
        QTest::newRow("values that are not numbers show the defaults")
            << QByteArray("[StartUp]\nWinPos=x\nUnitSeries=\nSetUnits=one\n"
                          "[Convert]\nConvDispose=on\nShowAns=1.0\nShowExp=yes\n")
            << QList<int>{0, 0, 0, 0, 0, 0} << false;
    }

    void storedValuesAreShown() {
        QFETCH(QByteArray, file);
        QFETCH(QList<int>, shown);
        QFETCH(bool, comboEnabled);
        WriteAll(path_, file);
        TTvFrmSet& d = *dialog_;
        // A first showing with other values makes the second showing change every control.
        WriteAll(path_ + ".other", "[StartUp]\nWinPos=1\nUnitSeries=1\n"
                                   "[Convert]\nConvDispose=1\nShowAns=1\nShowExp=1\n");
        for (const QString& path : {path_ + ".other", path_}) {
            d.SetSettingsPath(path);
            Show([&] {
                const QList<int> actual = {Checked([&](int v) { return d.rbtMainWinPos(v); }, 2),
                                           Checked([&](int v) { return d.rbtUnitListSet(v); }, 3),
                                           d.comUnitSeries()->currentIndex(),
                                           Checked([&](int v) { return d.rbtConvDispose(v); }, 2),
                                           Checked([&](int v) { return d.rbtShowAns(v); }, 3),
                                           d.cbxExpShow()->isChecked() ? 1 : 0};
                if (path == path_) {
                    QCOMPARE(actual, shown);
                    QCOMPARE(d.comUnitSeries()->isEnabled(), comboEnabled);
                }
                d.reject();
            });
        }
    }

    // OK writes the nine keys in their order after what the file holds, keeping every other
    // section and key; comments go as at every save.
    void okWritesTheNineKeys() {
        WriteAll(path_, "[StartUp]\nLeft=10\nTop=20\nLastUnits=1\n; note\n[Mine]\nfoo=bar\n");
        TTvFrmSet& d = *dialog_;
        const int result = Show([&] {
            Click(d.rbtMainWinPos(1));
            Click(d.rbtUnitListSet(2));
            QVERIFY(d.comUnitSeries()->isEnabled());
            d.comUnitSeries()->setFocus();
            QTest::keyClick(d.comUnitSeries(), Qt::Key_Down);
            QCOMPARE(d.comUnitSeries()->currentIndex(), 1);
            d.pctSetting()->setCurrentIndex(1);
            Click(d.rbtConvDispose(1));
            Click(d.rbtShowAns(2));
            Click(d.cbxExpShow());
            QTest::mouseClick(d.btnOK(), Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(ReadAll(path_), QByteArray("[StartUp]\nLeft=10\nTop=20\nLastUnits=1\nWinPos=1\n"
                                            "UnitSeries=2\nSetUnits=1\nLastUnitPair=0\n\n"
                                            "[Mine]\nfoo=bar\n\n"
                                            "[Convert]\nConvDispose=1\nShowAns=2\nShowExp=1\n\n"
                                            "[History]\nRecord=1\nEntries=10000\n\n"
                                            "[Desktop]\nTrayIcon=0\n\n"));
    }

    void enterIsOk() {
        TTvFrmSet& d = *dialog_;
        const int result = Show([&] {
            d.pctSetting()->setCurrentIndex(1);
            Click(d.cbxExpShow());
            QTest::keyClick(&d, Qt::Key_Return);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(ReadAll(path_), QByteArray("[StartUp]\nWinPos=0\nUnitSeries=0\nSetUnits=0\n"
                                            "LastUnitPair=0\n\n"
                                            "[Convert]\nConvDispose=0\nShowAns=0\nShowExp=1\n\n"
                                            "[History]\nRecord=1\nEntries=10000\n\n"
                                            "[Desktop]\nTrayIcon=0\n\n"));
    }

    // Values the dialog could not show are replaced by the choices it showed; a group position
    // outside the list is kept, since the list may be longer at the next start.
    void okAfterValuesOutsideTheListsWritesWhatWasShown() {
        WriteAll(path_, "[StartUp]\nWinPos=5\nUnitSeries=7\nSetUnits=9\nLastUnitPair=3\n"
                        "[Convert]\nConvDispose=-1\nShowAns=3\nShowExp=2\n"
                        "[History]\nRecord=2\nEntries=0\n");
        TTvFrmSet& d = *dialog_;
        QCOMPARE(Show([&] { QTest::mouseClick(d.btnOK(), Qt::LeftButton); }),
                 int(QDialog::Accepted));
        QCOMPARE(ReadAll(path_), QByteArray("[StartUp]\nWinPos=0\nUnitSeries=0\nSetUnits=9\n"
                                            "LastUnitPair=0\n\n"
                                            "[Convert]\nConvDispose=0\nShowAns=0\nShowExp=0\n\n"
                                            "[History]\nRecord=1\nEntries=10000\n\n"
                                            "[Desktop]\nTrayIcon=0\n\n"));
    }

    // The history page: the switch, the number of entries (enabled with the switch, within its
    // range) and the start with the last units, read and written like the other keys.
    void historyPage() {
        WriteAll(path_, "[History]\nRecord=0\nEntries=500\n[StartUp]\nLastUnitPair=1\n");
        TTvFrmSet& d = *dialog_;
        Show([&] {
            d.pctSetting()->setCurrentIndex(2);
            QCOMPARE(d.pctSetting()->tabText(2), QStringLiteral("履歴"));
            QVERIFY(!d.cbxHistory()->isChecked());
            QCOMPARE(d.spnHistoryEntries()->value(), 500);
            QVERIFY(!d.spnHistoryEntries()->isEnabled());
            QVERIFY(d.cbxLastUnitPair()->isChecked());
            QTest::mouseClick(d.cbxHistory(), Qt::LeftButton);
            QVERIFY(d.spnHistoryEntries()->isEnabled());
            d.spnHistoryEntries()->setFocus();
            d.spnHistoryEntries()->selectAll();
            QTest::keyClicks(d.spnHistoryEntries(), QStringLiteral("999999"));
            // Typing stops at the end of the range.
            QCOMPARE(d.spnHistoryEntries()->value(), 99999);
            QTest::mouseClick(d.cbxLastUnitPair(), Qt::LeftButton);
            QTest::mouseClick(d.btnOK(), Qt::LeftButton);
        });
        const QByteArray file = ReadAll(path_);
        QVERIFY2(file.contains("[History]\nRecord=1\nEntries=99999\n"), file.constData());
        QVERIFY2(file.contains("LastUnitPair=0\n"), file.constData());
    }

    void choosingTheGroupRuleSwitchesTheList() {
        WriteAll(path_, "[StartUp]\nUnitSeries=2\nSetUnits=2\n");
        TTvFrmSet& d = *dialog_;
        Show([&] {
            QVERIFY(d.comUnitSeries()->isEnabled());
            Click(d.rbtUnitListSet(0));
            QVERIFY(!d.comUnitSeries()->isEnabled());
            Click(d.rbtUnitListSet(1));
            QVERIFY(!d.comUnitSeries()->isEnabled());
            Click(d.rbtUnitListSet(2));
            QVERIFY(d.comUnitSeries()->isEnabled());
            QTest::mouseClick(d.btnOK(), Qt::LeftButton);
        });
        // No group was picked: the stored one stays.
        QVERIFY(ReadAll(path_).contains("UnitSeries=2\nSetUnits=2\n"));
    }

    // The tray setting: shown as stored; without a tray it cannot be changed and says why, and
    // OK keeps what is stored.
    void trayIconSetting_data() {
        QTest::addColumn<bool>("available");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("click");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("tray, off, turned on") << true << QByteArray() << true << QByteArray("1");
        QTest::newRow("tray, on, turned off")
            << true << QByteArray("[Desktop]\nTrayIcon=1\n") << true << QByteArray("0");
        QTest::newRow("tray, on, kept")
            << true << QByteArray("[Desktop]\nTrayIcon=1\n") << false << QByteArray("1");
        QTest::newRow("no tray, on, kept")
            << false << QByteArray("[Desktop]\nTrayIcon=1\n") << true << QByteArray("1");
        QTest::newRow("no tray, off") << false << QByteArray() << true << QByteArray("0");
    }

    void trayIconSetting() {
        QFETCH(bool, available);
        QFETCH(QByteArray, stored);
        QFETCH(bool, click);
        QFETCH(QByteArray, written);
        if (!stored.isEmpty()) {
            WriteAll(path_, stored);
        }
        TTvFrmSet& d = *dialog_;
        d.SetTrayAvailable([available] { return available; });
        Show([&] {
            d.pctSetting()->setCurrentIndex(3);
            QCOMPARE(d.pctSetting()->tabText(3), QStringLiteral("デスクトップ"));
            QCOMPARE(d.cbxTrayIcon()->text(), QStringLiteral("通知領域にアイコンを表示する"));
            QCOMPARE(d.cbxTrayIcon()->isChecked(), stored.contains("TrayIcon=1"));
            QCOMPARE(d.cbxTrayIcon()->isEnabled(), available);
            QCOMPARE(d.cbxTrayIcon()->toolTip(),
                     available
                         ? QString()
                         : QStringLiteral("このデスクトップには通知領域がないため、使えません。"));
            if (click) {
                QTest::mouseClick(d.cbxTrayIcon(), Qt::LeftButton);
            }
            QTest::mouseClick(d.btnOK(), Qt::LeftButton);
        });
        QVERIFY2(ReadAll(path_).contains("[Desktop]\nTrayIcon=" + written + "\n"), ReadAll(path_));
    }

    void cancelWritesNothing_data() {
        QTest::addColumn<bool>("byEsc");
        QTest::newRow("button") << false;
        QTest::newRow("Esc") << true;
    }

    void cancelWritesNothing() {
        QFETCH(bool, byEsc);
        const QByteArray stored = "; mine\n[StartUp]\nWinPos=1\n";
        WriteAll(path_, stored);
        TTvFrmSet& d = *dialog_;
        const int result = Show([&] {
            Click(d.rbtMainWinPos(0));
            Click(d.rbtUnitListSet(2));
            if (byEsc) {
                QTest::keyClick(&d, Qt::Key_Escape);
            } else {
                QTest::mouseClick(d.btnCancel(), Qt::LeftButton);
            }
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(ReadAll(path_), stored);
        Show([&] {
            QVERIFY(d.rbtMainWinPos(1)->isChecked());
            QVERIFY(d.rbtUnitListSet(0)->isChecked());
            QVERIFY(!d.comUnitSeries()->isEnabled());
            d.reject();
        });
    }

    void groupListFollowsTheCatalogue() {
        TTvFrmSet& d = *dialog_;
        for (int showing = 0; showing < 2; ++showing) {
            Show([&] {
                QCOMPARE(d.comUnitSeries()->count(), 3);
                d.reject();
            });
        }
        groups_ = QStringList{"温度"};
        Show([&] {
            QCOMPARE(d.comUnitSeries()->count(), 1);
            QCOMPARE(d.comUnitSeries()->itemText(0), QStringLiteral("温度"));
            d.reject();
        });
    }

    void opensOnThePageLastUsed() {
        TTvFrmSet& d = *dialog_;
        Show([&] {
            QCOMPARE(d.pctSetting()->currentIndex(), 0);
            d.pctSetting()->setCurrentIndex(1);
            d.reject();
        });
        Show([&] {
            QCOMPARE(d.pctSetting()->currentIndex(), 1);
            d.reject();
        });
    }

    // A settings path that is a folder cannot be saved: the error box names it, the dialog stays
    // open with the user's choices, and Cancel still closes it.
    void failedSaveKeepsTheDialogOpen() {
        QVERIFY(QDir().mkpath(path_));
        TTvFrmSet& d = *dialog_;
        const int result = Show([&] {
            Click(d.rbtMainWinPos(1));
            QTest::mouseClick(d.btnOK(), Qt::LeftButton);
            QCOMPARE(errors_.size(), 1);
            QVERIFY2(errors_[0].contains(path_), qPrintable(errors_[0]));
            QVERIFY(d.isVisible());
            QVERIFY(d.rbtMainWinPos(1)->isChecked());
            QTest::mouseClick(d.btnCancel(), Qt::LeftButton);
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(QDir(folder_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"tenvari.ini"});
    }

    // The dialog opens with the focus drawn on the first control of its page, the chosen option,
    // and Tab walks it top to bottom: each group's options, then OK, Cancel and the page tabs.
    void focusStartsAtTheFirstControl() {
        TTvFrmSet& d = *dialog_;
        QWidget* tabs = d.pctSetting()->findChild<QTabBar*>();
        Show([&] {
            QCOMPARE(QApplication::focusWidget(), d.rbtMainWinPos(0));
            QVERIFY(d.testAttribute(Qt::WA_KeyboardFocusChange));
            QCOMPARE(tv::test::FocusedObjects(&d),
                     QStringList{QStringLiteral("デスクトップの中央")});
            // An exclusive group is one stop, at its chosen option; arrows move within it.
            const QList<QWidget*> order = {d.rbtUnitListSet(0), d.btnOK(), d.btnCancel(), tabs,
                                           d.rbtMainWinPos(0)};
            for (QWidget* next : order) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QCOMPARE(QApplication::focusWidget(), next);
            }
            // The page tabs are named as shown, without the blank that pads one of them.
            QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(tabs);
            QCOMPARE(bar->child(1)->text(QAccessible::Name), QStringLiteral("変換"));
            d.pctSetting()->setCurrentIndex(1);
            d.reject();
        });
        Show([&] {
            QCOMPARE(QApplication::focusWidget(), d.rbtConvDispose(0));
            d.reject();
        });
    }

    void followsTheTopMostMode() {
        TTvFrmSet& d = *dialog_;
        tv::TopMostMode = true;
        Show([&] {
            QVERIFY(d.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            d.reject();
        });
        tv::TopMostMode = false;
        Show([&] {
            QVERIFY(!d.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
            d.reject();
        });
    }

private:
    int Show(const std::function<void()>& whileOpen) {
        return RunModal(
            *dialog_, [this] { return dialog_->ShowModal(); }, whileOpen);
    }

    std::unique_ptr<QTemporaryDir> folder_;
    QString path_;
    QStringList groups_;
    QStringList errors_;
    std::unique_ptr<TTvFrmSet> dialog_;
    tv::test::TModalGuard guard_;
};

QTEST_MAIN(FrmSetTest)
#include "FrmSetTest.moc"
