// The unit search dialog driven as a user drives it: text committed by an input method into the
// filter field, Up and Down, Enter, Shift+Enter and Escape, checked through the list, the count,
// the beep and the unit taken.

#include "AccessibilityTestSupport.h"
#include "ModalTestSupport.h"
#include "calc/TvUnitSearch.h"
#include "ui/Tv10FrmFind.h"
#include "ui/TvFormControl.h"
#include "ui/TvSound.h"

#include <QApplication>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTreeView>
#include <memory>
#include <optional>

using tv::TFindChoice;
using tv::TTvFrmFind;
using tv::TUnitSearch;
using tv::test::RunModal;

namespace {

const char* const kUnits = ">>\n"
                           "長さ\n"
                           "\"メートル [m]\",$i,$t,\n"
                           "\"マイル [mi]\",$i*1609.344,$t/1609.344,\n"
                           "\"海里 [nmi]\",$i*1852,$t/1852,\n"
                           "<<\n"
                           ">>\n"
                           "面積\n"
                           "坪,$i*400/121,$t*121/400,,\"つぼ tsubo\"\n"
                           "\"平方マイル [mi2]\",$i*2589988.110336,$t/2589988.110336,\n"
                           "<<\n"
                           "<<\\d\n";

int g_beeps = 0;

class BeepCounter : public tv::ISoundPlayer {
public:
    void Exclamation() override { ++g_beeps; }
    void Asterisk() override {}
};

void Commit(QLineEdit* field, const QString& text) {
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(field, &commit);
}

// Presses the keys of a script such as "Down S-Enter": Up, Down, PgDn, Enter, KpEnter, Esc,
// with "S-" for Shift.
void PressKeys(QWidget* widget, const QString& script) {
    for (QString token : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        Qt::KeyboardModifiers modifiers;
        if (token.startsWith(QLatin1String("S-"))) {
            modifiers = Qt::ShiftModifier;
            token.remove(0, 2);
        }
        int key = Qt::Key_unknown;
        if (token == QLatin1String("Up")) {
            key = Qt::Key_Up;
        } else if (token == QLatin1String("Down")) {
            key = Qt::Key_Down;
        } else if (token == QLatin1String("PgDn")) {
            key = Qt::Key_PageDown;
        } else if (token == QLatin1String("Enter")) {
            key = Qt::Key_Return;
        } else if (token == QLatin1String("Esc")) {
            key = Qt::Key_Escape;
        } else if (token == QLatin1String("KpEnter")) {
            key = Qt::Key_Enter;
            modifiers |= Qt::KeypadModifier;
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown key ") + token));
        }
        QTest::keyClick(widget, Qt::Key(key), modifiers);
    }
}

} // namespace

class FrmFindTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        tv::SetSoundPlayer(std::make_unique<BeepCounter>());
        QVERIFY(units_.LoadFromText(kUnits));
        search_ = std::make_unique<TUnitSearch>(units_);
    }

    void init() {
        g_beeps = 0;
        dialog_ = std::make_unique<TTvFrmFind>();
    }

    void cleanup() {
        dialog_.reset();
        guard_.Verify();
    }

    void keys_data() {
        QTest::addColumn<QString>("committed");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("taken"); // empty: closed without a choice
        QTest::addColumn<bool>("target");

        QTest::newRow("Enter takes the first hit as the source") << "mi"
                                                                 << "Enter"
                                                                 << "マイル [mi]" << false;
        QTest::newRow("Down, then Shift+Enter takes it as the target")
            << "mi"
            << "Down S-Enter"
            << "平方マイル [mi2]" << true;
        QTest::newRow("Up on the first hit stays there") << "mi"
                                                         << "Up Enter"
                                                         << "マイル [mi]" << false;
        QTest::newRow("Down stops at the last hit") << "mi"
                                                    << "Down Down Down Down Enter"
                                                    << "海里 [nmi]" << false;
        QTest::newRow("Page Down") << "mi"
                                   << "PgDn S-Enter"
                                   << "海里 [nmi]" << true;
        QTest::newRow("an alias") << "tsubo"
                                  << "Enter"
                                  << "坪" << false;
        QTest::newRow("keypad Enter") << "海里"
                                      << "KpEnter"
                                      << "海里 [nmi]" << false;
        QTest::newRow("hiragana finds katakana") << "まいる"
                                                 << "Down Enter"
                                                 << "平方マイル [mi2]" << false;
        QTest::newRow("full-width letters and digits") << "ＭＩ２"
                                                       << "Enter"
                                                       << "平方マイル [mi2]" << false;
        QTest::newRow("a unit without a symbol") << "坪"
                                                 << "S-Enter"
                                                 << "坪" << true;
        QTest::newRow("Escape closes without a choice") << "mi"
                                                        << "Down Esc"
                                                        << "" << false;
    }

    void keys() {
        QFETCH(QString, committed);
        QFETCH(QString, keys);
        QFETCH(QString, taken);
        QFETCH(bool, target);
        const std::optional<TFindChoice> choice = Show([&] {
            Commit(dialog_->edtFilter(), committed);
            PressKeys(dialog_->edtFilter(), keys);
        });
        QVERIFY(!dialog_->isVisible());
        if (taken.isEmpty()) {
            QVERIFY(!choice);
            return;
        }
        QVERIFY(choice);
        QCOMPARE(QString::fromStdString(std::string(search_->UnitName(choice->Hit))), taken);
        QCOMPARE(choice->Target, target);
        // The hit names the group and the position in it, as the unit lists hold them.
        const std::vector<std::string> names = units_.GroupUnitNames(choice->Hit.Group);
        QCOMPARE(QString::fromStdString(names.at(static_cast<size_t>(choice->Hit.Position))),
                 taken);
    }

    void listRefreshesOnEveryKeystroke() {
        Show([&] {
            QLineEdit* field = dialog_->edtFilter();
            // An empty filter lists every unit.
            QCOMPARE(Rows(), 5);
            QCOMPARE(dialog_->lblCount()->text(), QStringLiteral("5 件"));
            Commit(field, QStringLiteral("mi"));
            QCOMPARE(Rows(), 3);
            // The exact symbol, then a symbol beginning with it, then a name holding it.
            QCOMPARE(Row(0), QStringLiteral("マイル [mi]\t長さ"));
            QCOMPARE(Row(1), QStringLiteral("平方マイル [mi2]\t面積"));
            QCOMPARE(Row(2), QStringLiteral("海里 [nmi]\t長さ"));
            QCOMPARE(dialog_->lblCount()->text(), QStringLiteral("3 件"));
            // Down moves in the list, and the focus stays in the field.
            QTest::keyClick(field, Qt::Key_Down);
            QCOMPARE(SelectedRow(), 1);
            QCOMPARE(QApplication::focusWidget(), field);
            // Each keystroke filters anew and starts at the first hit.
            QTest::keyClick(field, Qt::Key_2);
            QCOMPARE(Rows(), 1);
            QCOMPARE(SelectedRow(), 0);
            QTest::keyClick(field, Qt::Key_Backspace);
            QCOMPARE(Rows(), 3);
            dialog_->reject();
        });
    }

    // A screen reader stays in the field while one types, and hears the current hit as the list's
    // selection; the names carry no mnemonic markers.
    void focusStaysInTheFieldForScreenReaders() {
        Show([&] {
            QLineEdit* field = dialog_->edtFilter();
            Commit(field, QStringLiteral("mi"));
            QTest::keyClick(field, Qt::Key_Down);
            QCOMPARE(tv::test::FocusedObjects(dialog_.get()), QStringList{QStringLiteral("検索")});
            QAccessibleTableInterface* table =
                QAccessible::queryAccessibleInterface(dialog_->lstHits())->tableInterface();
            QVERIFY(table != nullptr);
            QCOMPARE(table->selectedRows(), QList<int>{1});
            QCOMPARE(table->selectedCells().first()->text(QAccessible::Name),
                     QStringLiteral("平方マイル [mi2]"));
            // Selected, and not reported as focused besides the field.
            QVERIFY(!table->selectedCells().first()->state().focused);
            QVERIFY(!dialog_->lstHits()->currentIndex().isValid());
            QCOMPARE(tv::test::NamesWithMnemonics(dialog_.get()), QStringList());
            dialog_->reject();
        });
    }

    void aliasShowsBesideTheName() {
        Show([&] {
            Commit(dialog_->edtFilter(), QStringLiteral("tsu"));
            QCOMPARE(Rows(), 1);
            QCOMPARE(Row(0), QStringLiteral("坪 — tsubo\t面積"));
            QTest::keyClick(dialog_->edtFilter(), Qt::Key_Backspace);
            QTest::keyClick(dialog_->edtFilter(), Qt::Key_Backspace);
            QTest::keyClick(dialog_->edtFilter(), Qt::Key_Backspace);
            Commit(dialog_->edtFilter(), QStringLiteral("坪"));
            QCOMPARE(Row(0), QStringLiteral("坪\t面積"));
            dialog_->reject();
        });
    }

    // A whole query in the field is taken by Enter and Shift+Enter; the count label says what
    // Enter does, or what is wrong with a query that has no hits.
    void enterTakesAWholeQuery_data() {
        QTest::addColumn<QString>("committed");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("query");
        QTest::newRow("a whole query") << "5 mi to m"
                                       << "Enter：マイル [mi] → メートル [m] に変換"
                                       << "Enter" << true;
        QTest::newRow("with Shift") << "1 つぼ を mi2"
                                    << "Enter：坪 → 平方マイル [mi2] に変換"
                                    << "S-Enter" << true;
        QTest::newRow("a query without a target is a search") << "5 mi"
                                                              << "0 件"
                                                              << "Enter" << false;
        QTest::newRow("a failed query says why") << "5 mx to m"
                                                 << "単位「mx」が見つかりません"
                                                 << "Esc" << false;
    }

    void enterTakesAWholeQuery() {
        QFETCH(QString, committed);
        QFETCH(QString, label);
        QFETCH(QString, keys);
        QFETCH(bool, query);
        tv::TPrefixes prefixes;
        QVERIFY(prefixes.LoadFromText("k,1000\n"));
        const tv::TQueryData data{units_, *search_, prefixes};
        std::optional<TFindChoice> choice;
        RunModal(
            *dialog_,
            [&] {
                choice = dialog_->ShowModal(*search_, &data);
                return 0;
            },
            [&] {
                Commit(dialog_->edtFilter(), committed);
                QCOMPARE(dialog_->lblCount()->text(), label);
                PressKeys(dialog_->edtFilter(), keys);
                if (dialog_->isVisible()) {
                    dialog_->reject();
                }
            });
        QCOMPARE(choice.has_value() && choice->Query.has_value(), query);
        if (query) {
            QCOMPARE(choice->QueryText, committed);
            QCOMPARE(choice->Query->Terms.size(), size_t{1});
        }
    }

    // A long note is shortened in the middle, its whole text the tooltip; the dialog keeps its
    // width and the buttons their room.
    void longNoteKeepsTheWidth() {
        const QString name = QStringLiteral("キロカロリー毎メートル毎時毎度").repeated(4);
        tv::TUnits units;
        QVERIFY(units.LoadFromText(
            QStringLiteral(">>\n長さ\n\"メートル [m]\",$i,$t,\n\"%1 [x]\",$i,$t,\n<<\n")
                .arg(name)
                .toStdString()));
        const TUnitSearch search(units);
        tv::TPrefixes prefixes;
        const tv::TQueryData data{units, search, prefixes};
        RunModal(
            *dialog_,
            [&] {
                dialog_->ShowModal(search, &data);
                return 0;
            },
            [&] {
                dialog_->resize(400, 250);
                QCoreApplication::sendPostedEvents();
                Commit(dialog_->edtFilter(), QStringLiteral("1 x to m"));
                QCoreApplication::sendPostedEvents();
                const QString note =
                    QStringLiteral("Enter：%1 [x] → メートル [m] に変換").arg(name);
                QCOMPARE(dialog_->lblCount()->text(), note);
                QCOMPARE(dialog_->lblCount()->toolTip(), note);
                QCOMPARE(dialog_->width(), 400);
                // The buttons keep their room beside it.
                QVERIFY(dialog_->btnSource()->width() >= dialog_->btnSource()->sizeHint().width());
                QVERIFY(dialog_->btnTarget()->geometry().right() < dialog_->width());
                dialog_->reject();
            });
    }

    void enterWithoutAHitBeepsAndStaysOpen() {
        const std::optional<TFindChoice> choice = Show([&] {
            Commit(dialog_->edtFilter(), QStringLiteral("zzz"));
            QCOMPARE(dialog_->lblCount()->text(), QStringLiteral("0 件"));
            QVERIFY(!dialog_->btnSource()->isEnabled());
            QVERIFY(!dialog_->btnTarget()->isEnabled());
            QTest::keyClick(dialog_->edtFilter(), Qt::Key_Return);
            QCOMPARE(g_beeps, 1);
            QVERIFY(dialog_->isVisible());
            QTest::keyClick(dialog_->edtFilter(), Qt::Key_Escape);
        });
        QVERIFY(!choice);
    }

    void buttonsTakeAsTheKeysDo() {
        const std::optional<TFindChoice> choice = Show([&] {
            Commit(dialog_->edtFilter(), QStringLiteral("メートル"));
            QTest::mouseClick(dialog_->btnTarget(), Qt::LeftButton);
        });
        QVERIFY(choice);
        QCOMPARE(choice->Hit.Group, 0);
        QCOMPARE(choice->Hit.Position, 0);
        QVERIFY(choice->Target);
    }

    void filterKeptSelectedForTheNextSearch() {
        Show([&] {
            Commit(dialog_->edtFilter(), QStringLiteral("mi"));
            QTest::keyClick(dialog_->edtFilter(), Qt::Key_Return);
        });
        const std::optional<TFindChoice> choice = Show([&] {
            QLineEdit* field = dialog_->edtFilter();
            QCOMPARE(field->selectedText(), QStringLiteral("mi"));
            QCOMPARE(Rows(), 3);
            // Typing replaces the kept text.
            Commit(field, QStringLiteral("坪"));
            QCOMPARE(field->text(), QStringLiteral("坪"));
            QTest::keyClick(field, Qt::Key_Return);
        });
        QVERIFY(choice);
        QCOMPARE(choice->Hit.Group, 1);
        QCOMPARE(choice->Hit.Position, 0);
    }

    // The dialog opens wide enough for the longest unit and group names, never wider than the
    // screen, and a later showing keeps the size the user gave it.
    void fitsTheLongestNames_data() {
        QTest::addColumn<int>("repeats"); // of the name's long part
        QTest::addColumn<bool>("fits");
        QTest::newRow("the longest shipped name") << 1 << true;
        QTest::newRow("a name wider than the screen") << 40 << false;
    }

    void fitsTheLongestNames() {
        QFETCH(int, repeats);
        QFETCH(bool, fits);
        const QString group = QStringLiteral("比エネルギー・発熱量");
        const QString name = QStringLiteral("キロカロリー毎メートル毎時毎度").repeated(repeats) +
                             QStringLiteral("（国際蒸気表） [kcalIT/(m・h・℃)]");
        tv::TUnits units;
        QVERIFY(units.LoadFromText(QStringLiteral(">>\n%1\n\"メートル [m]\",$i,$t,\n\"%2\",$i,$t,\n"
                                                  "<<\n<<\\d\n")
                                       .arg(group, name)
                                       .toStdString()));
        const TUnitSearch search(units);
        Show(
            [&] {
                const QFontMetrics metrics = dialog_->lstHits()->fontMetrics();
                const QHeaderView* header = dialog_->lstHits()->header();
                QCOMPARE(header->sectionSize(0) >= metrics.horizontalAdvance(name), fits);
                QVERIFY(header->sectionSize(1) >= metrics.horizontalAdvance(group));
                QVERIFY(dialog_->frameGeometry().width() <=
                        dialog_->screen()->availableGeometry().width());
                dialog_->resize(400, 250);
                dialog_->reject();
            },
            &search);
        Show(
            [&] {
                QCOMPARE(dialog_->size(), QSize(400, 250));
                dialog_->reject();
            },
            &search);
    }

private:
    std::optional<TFindChoice> Show(const std::function<void()>& whileOpen,
                                    const TUnitSearch* search = nullptr) {
        std::optional<TFindChoice> choice;
        RunModal(
            *dialog_,
            [&] {
                choice = dialog_->ShowModal(search != nullptr ? *search : *search_);
                return 0;
            },
            whileOpen);
        return choice;
    }

    int Rows() const { return dialog_->lstHits()->model()->rowCount(); }

    // The current hit: the list's selected row, or -1.
    int SelectedRow() const {
        const QModelIndexList rows = dialog_->lstHits()->selectionModel()->selectedRows();
        return rows.isEmpty() ? -1 : rows.first().row();
    }

    QString Row(int row) const {
        const QAbstractItemModel* model = dialog_->lstHits()->model();
        return model->index(row, 0).data().toString() + QLatin1Char('\t') +
               model->index(row, 1).data().toString();
    }

    tv::TUnits units_;
    std::unique_ptr<TUnitSearch> search_;
    std::unique_ptr<TTvFrmFind> dialog_;
    tv::test::TModalGuard guard_;
};

QTEST_MAIN(FrmFindTest)
#include "FrmFindTest.moc"
