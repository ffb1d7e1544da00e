// The main window and the history, driven by the real keys: what a conversion leaves in the
// history (and when), the history window (Ctrl+H), the favourites (Ctrl+1 ...), the recent units
// of the unit search (Ctrl+K), the start with the last units, and a history that is broken or
// cannot be kept. The history is read back through a store of the test's own, as the tool reads
// it.

#include "ModalTestSupport.h"
#include "history/TvHistory.h"
#include "ui/Tv10FrmAbout.h"
#include "ui/Tv10FrmAll.h"
#include "ui/Tv10FrmFind.h"
#include "ui/Tv10FrmHistory.h"
#include "ui/Tv10FrmMain.h"
#include "ui/Tv10FrmSet.h"
#include "ui/TvFormControl.h"
#include "ui/TvSound.h"
#include "ui/TvStartUp.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <memory>

using namespace tv;

namespace {

const char* const kUnits = ">>\n長さ\nm,$i,$t,\nkm,$i*1000,$t/1000,\ncm,$i/100,$t*100,\n<<\n"
                           ">>\n重さ\ng,$i,$t,\nkg,$i*1000,$t/1000,\n<<\n";

QStringList* g_sounds = nullptr;

class SoundRecorder : public ISoundPlayer {
public:
    void Exclamation() override { g_sounds->append(QStringLiteral("Exclamation")); }
    void Asterisk() override { g_sounds->append(QStringLiteral("Asterisk")); }
};

THistoryEntry Entry(const char* group, const char* source, const char* target, const char* value,
                    const char* result) {
    THistoryEntry e;
    e.Group = group;
    e.Source = source;
    e.Target = target;
    e.Value = value;
    e.Result = result;
    return e;
}

} // namespace

class FrmMainHistoryTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void commandsRecordBeforeTheResultIsShown();
    void editsAreRecordedOnceTheyPause();
    void historyWindowByItsKeys();
    void entryWhoseUnitIsGone();
    void favouritesByTheirKeys();
    void favouriteKeyAsTheFirstInput();
    void favouritesMenuOpenedWithoutInput();
    void recentUnitsFirstInTheSearch();
    void startWithTheLastUnits_data();
    void startWithTheLastUnits();
    void historyOffWritesNothing();
    void capDropsTheOldest();
    void brokenFileIsMovedAsideWithOneWarning();
    void unusableFolderIsSaidOnce();

private:
    QString DbPath() const {
        return dir_->filePath(QStringLiteral("state/tenvari/history.sqlite"));
    }
    void WriteFile(const QString& name, const QByteArray& bytes);
    void WriteSettings(const QString& text) {
        WriteFile(QStringLiteral("tenvari.ini"), text.toUtf8());
    }
    std::vector<THistoryEntry> Entries() const {
        return THistory(DbPath().toStdString()).Entries();
    }
    // warning: a warning box is to open at the start, which the main window waits out.
    void Start(bool warning = false);
    void Destroy();
    template <typename T> T* Find(const char* name) const {
        T* found = main_->findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QLineEdit* Edit(const char* name) const { return Find<QLineEdit>(name); }
    QComboBox* List(const char* name) const { return Find<QComboBox>(name); }
    QString Status() const { return Find<QLabel>("stbPanel0")->text(); }
    int Page() const { return Find<QTabWidget>("PageControl")->currentIndex(); }
    void Choose(QComboBox* list, int index) {
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    void Type(QLineEdit* box, const QString& text) {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
    }
    void Press(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key(key), modifiers);
    }
    // Ctrl+H from the input box; handler drives the history window.
    void WithHistoryWindow(const std::function<void(TTvFrmHistory&)>& handler);
    // Clicks button in the next message box that opens, and notes its text.
    void AnswerNextBox(QMessageBox::StandardButton button, QString* text) {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll, button, text] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                *text = box->text();
                poll->deleteLater();
                poll->stop();
                box->button(button)->click();
            }
        });
        poll->start(10);
    }
    void Commit(QLineEdit* box, const QString& text) {
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(box, &commit);
    }

    std::unique_ptr<QTemporaryDir> dir_;
    QStringList sounds_;
    QStringList errors_;
    tv::test::TModalGuard guard_;
    QList<tv::test::TSeenModal>& modals_ = guard_.Seen();
    std::unique_ptr<TTvFrmMain> main_;
    std::unique_ptr<TTvFrmAbout> about_;
    std::unique_ptr<TTvFrmAll> all_;
    std::unique_ptr<TTvFrmSet> set_;
};

void FrmMainHistoryTest::initTestCase() {
    InstallProgramStyle();
    g_sounds = &sounds_;
    SetSoundPlayer(std::make_unique<SoundRecorder>());
    SetErrorBoxHandler([this](const QString& text) { errors_.append(text); });
}

void FrmMainHistoryTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    sounds_.clear();
    errors_.clear();
    ResultText().clear();
    qputenv("XDG_DATA_HOME", dir_->filePath(QStringLiteral("data-home")).toUtf8());
    qputenv("XDG_STATE_HOME", dir_->filePath(QStringLiteral("state")).toUtf8());
    WriteFile(QStringLiteral("units.dat"), kUnits);
    WriteFile(QStringLiteral("prefix.dat"), "k,1000\n");
}

void FrmMainHistoryTest::cleanup() {
    Destroy();
    guard_.Verify();
    QVERIFY2(errors_.isEmpty(), qPrintable(errors_.join(QLatin1Char('\n'))));
}

void FrmMainHistoryTest::WriteFile(const QString& name, const QByteArray& bytes) {
    QFile file(dir_->filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

void FrmMainHistoryTest::Start(bool warning) {
    main_ = std::make_unique<TTvFrmMain>(dir_->path() + QLatin1Char('/'),
                                         dir_->filePath(QStringLiteral("tenvari.ini")));
    about_ = std::make_unique<TTvFrmAbout>(main_.get());
    all_ = std::make_unique<TTvFrmAll>(main_.get());
    set_ = std::make_unique<TTvFrmSet>(main_.get());
    main_->SetWindows(about_.get(), all_.get(), set_.get());
    main_->show();
    if (warning) {
        QTRY_COMPARE(modals_.size(), 1);
    }
    main_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main_.get()));
}

void FrmMainHistoryTest::Destroy() {
    if (main_)
        main_->close();
    set_.reset();
    all_.reset();
    about_.reset();
    main_.reset();
}

void FrmMainHistoryTest::WithHistoryWindow(const std::function<void(TTvFrmHistory&)>& handler) {
    bool shown = false;
    guard_.Expect([&](QWidget* modal) {
        auto* window = qobject_cast<TTvFrmHistory*>(modal);
        if (!window) {
            modals_.append({modal->windowTitle(), {}, {}});
            qobject_cast<QDialog*>(modal)->reject();
            return;
        }
        shown = true;
        handler(*window);
        if (window->isVisible())
            window->reject();
    });
    Press(Edit("edtInput"), Qt::Key_H, Qt::ControlModifier);
    guard_.Expect(nullptr);
    QVERIFY(shown);
}

// Enter on either page and a batch each write one entry, in the history before the output box
// shows the result; a failure writes none.
void FrmMainHistoryTest::commandsRecordBeforeTheResultIsShown() {
    Start();
    size_t seenWhenShown = 0;
    for (const char* box : {"edtOutput", "edtOutputB"}) {
        connect(Edit(box), &QLineEdit::textChanged, this,
                [&] { seenWhenShown = Entries().size(); });
    }
    Choose(List("comOutput"), 1);
    Type(Edit("edtInput"), QStringLiteral("2"));
    QVERIFY(Entries().empty());
    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("0.002"));
    QCOMPARE(seenWhenShown, 1U);

    Type(Edit("edtInput"), QStringLiteral("1/0"));
    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(Status(), QStringLiteral("ZeroDivide Error."));
    QCOMPARE(Entries().size(), 1U);

    Find<QTabWidget>("PageControl")->setCurrentIndex(1);
    QTest::mouseClick(Find<QPushButton>("btnBaseOutput16"), Qt::LeftButton);
    Type(Edit("edtInputB"), QStringLiteral("255"));
    Press(Edit("edtInputB"), Qt::Key_Return);
    QCOMPARE(seenWhenShown, 2U);

    Press(Edit("edtInputB"), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(guard_.TakeTitles(), QStringList{QStringLiteral("変換結果")});

    const std::vector<THistoryEntry> entries = Entries();
    QCOMPARE(entries.size(), 3U);
    const THistoryEntry& batch = entries[0];
    QVERIFY(batch.Batch);
    QCOMPARE(batch.Page, THistoryPage::Base);
    QCOMPARE(batch.Source, std::string("10"));
    QCOMPARE(batch.Value, std::string("255"));
    QCOMPARE(std::count(batch.Result.begin(), batch.Result.end(), '\n'), 34L);
    QVERIFY(batch.Result.find("255 (10) => FF (16)") != std::string::npos);
    const THistoryEntry& base = entries[1];
    QCOMPARE(base.Page, THistoryPage::Base);
    QCOMPARE(base.Group, std::string());
    QCOMPARE(base.Source + ">" + base.Target, std::string("10>16"));
    QCOMPARE(base.Value + ">" + base.Result, std::string("255>FF"));
    const THistoryEntry& unit = entries[2];
    QCOMPARE(unit.Page, THistoryPage::Unit);
    QCOMPARE(unit.Group, std::string("長さ"));
    QCOMPARE(unit.Source + ">" + unit.Target, std::string("m>km"));
    QCOMPARE(unit.Value + ">" + unit.Result, std::string("2>0.002"));
    QVERIFY(!unit.Batch);
}

// With conversion on every change: one entry once the typing pauses, one when a unit changes,
// one at the end; the "0" of an emptied box is no entry; Enter repeats the held one only once.
void FrmMainHistoryTest::editsAreRecordedOnceTheyPause() {
    WriteSettings(QStringLiteral("[Convert]\nConvDispose=1\n"));
    Start();
    Choose(List("comUnits"), 1);
    Type(Edit("edtInput"), QStringLiteral("12"));
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("12"));
    QVERIFY2(Entries().empty(), "nothing while typing, nothing for the group's emptied box");
    QTRY_COMPARE_WITH_TIMEOUT(Entries().size(), 1U, 10000);
    QCOMPARE(Entries()[0].Value, std::string("12"));

    Type(Edit("edtInput"), QStringLiteral("3"));
    Choose(List("comOutput"), 1);
    std::vector<THistoryEntry> entries = Entries();
    QCOMPARE(entries.size(), 2U);
    QCOMPARE(entries[0].Value + " " + entries[0].Target, std::string("3 g"));

    Press(Edit("edtInput"), Qt::Key_Return);
    entries = Entries();
    QCOMPARE(entries.size(), 3U);
    QCOMPARE(entries[0].Value + " " + entries[0].Target + " " + entries[0].Result,
             std::string("3 kg 0.003"));

    Type(Edit("edtInput"), QStringLiteral("7"));
    Destroy();
    entries = Entries();
    QCOMPARE(entries.size(), 4U);
    QCOMPARE(entries[0].Value + " " + entries[0].Result, std::string("7 0.007"));
}

// Ctrl+H lists the newest first; the filter folds; Enter puts the entry back and converts it;
// Delete removes one; the clear command asks first.
void FrmMainHistoryTest::historyWindowByItsKeys() {
    {
        THistory store(DbPath().toStdString());
        store.Record(Entry("重さ", "kg", "g", "3", "3000"), 0);
        store.Record(Entry("長さ", "km", "m", "2", "2000"), 0);
    }
    Start();
    WithHistoryWindow([&](TTvFrmHistory& window) {
        QCOMPARE(window.windowTitle(), QStringLiteral("履歴"));
        QCOMPARE(window.edtFilter()->accessibleName(), QStringLiteral("履歴の検索"));
        QCOMPARE(window.lstEntries()->accessibleName(), QStringLiteral("履歴の一覧"));
        const QAbstractItemModel* model = window.lstEntries()->model();
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->index(0, 2).data().toString(), QStringLiteral("2 [km]"));
        QCOMPARE(model->index(0, 3).data().toString(), QStringLiteral("2000 [m]"));
        QCOMPARE(window.lblCount()->text(), QStringLiteral("2 件"));
        Commit(window.edtFilter(), QStringLiteral("ＫＧ"));
        QCOMPARE(model->rowCount(), 1);
        QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("重さ"));
        QTest::keyClick(window.edtFilter(), Qt::Key_Return);
    });
    QCOMPARE(Page(), 0);
    QCOMPARE(List("comUnits")->currentText(), QStringLiteral("重さ"));
    QCOMPARE(List("comInput")->currentText(), QStringLiteral("kg"));
    QCOMPARE(List("comOutput")->currentText(), QStringLiteral("g"));
    QCOMPARE(Edit("edtInput")->text(), QStringLiteral("3"));
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("3000"));
    QCOMPARE(Status(), QStringLiteral("単位変換：変換完了"));
    // The conversion made again is the newest entry.
    QCOMPARE(Entries().size(), 3U);

    WithHistoryWindow([&](TTvFrmHistory& window) {
        QCOMPARE(window.lstEntries()->model()->rowCount(), 3);
        Commit(window.edtFilter(), QStringLiteral("km"));
        QTest::keyClick(window.edtFilter(), Qt::Key_Left);
        QTest::keyClick(window.edtFilter(), Qt::Key_Delete);
        QCOMPARE(window.edtFilter()->text(), QStringLiteral("k"));
        // Inside the text Delete edits the filter.
        QCOMPARE(Entries().size(), 3U);
        QTest::keyClick(window.edtFilter(), Qt::Key_End);
        QTest::keyClick(window.edtFilter(), Qt::Key_Down);
        QTest::keyClick(window.edtFilter(), Qt::Key_Delete);
        QCOMPARE(window.lstEntries()->model()->rowCount(), 2);
        // The question opens inside the guard's own handling of this window, so the test
        // answers it itself.
        QString asked;
        AnswerNextBox(QMessageBox::No, &asked);
        QTest::mouseClick(window.btnClear(), Qt::LeftButton);
        QCOMPARE(asked, QStringLiteral("履歴をすべて消去しますか？"));
        QCOMPARE(Entries().size(), 2U);
        AnswerNextBox(QMessageBox::Yes, &asked);
        QTest::mouseClick(window.btnClear(), Qt::LeftButton);
        QCOMPARE(window.lstEntries()->model()->rowCount(), 0);
        QTest::keyClick(window.edtFilter(), Qt::Key_Return);
        QVERIFY2(window.isVisible(), "Enter without an entry leaves the window open");
        QTest::keyClick(window.edtFilter(), Qt::Key_Escape);
    });
    QVERIFY(Entries().empty());
    QCOMPARE(Status(), QStringLiteral("履歴：消去完了"));
    QCOMPARE(sounds_, (QStringList{QStringLiteral("Asterisk"), QStringLiteral("Exclamation")}));
}

void FrmMainHistoryTest::entryWhoseUnitIsGone() {
    {
        THistory store(DbPath().toStdString());
        store.Record(Entry("長さ", "mi", "m", "1", "1609.344"), 0);
        store.Record(Entry("温度", "K", "C", "0", "-273.15"), 0);
    }
    Start();
    Choose(List("comUnits"), 1);
    for (const auto& [row, status] : {std::pair{0, QStringLiteral("集団がありません：温度")},
                                      std::pair{1, QStringLiteral("単位がありません：mi")}}) {
        sounds_.clear();
        WithHistoryWindow([&, row = row](TTvFrmHistory& window) {
            for (int i = 0; i < row; ++i)
                QTest::keyClick(window.edtFilter(), Qt::Key_Down);
            QTest::keyClick(window.edtFilter(), Qt::Key_Return);
        });
        QCOMPARE(Status(), status);
        QCOMPARE(sounds_, QStringList{QStringLiteral("Exclamation")});
        QCOMPARE(List("comUnits")->currentText(), QStringLiteral("重さ"));
    }
    QCOMPARE(Entries().size(), 2U);
}

// A favourite is added from the menu and chosen with Ctrl+1 ...; one whose unit has left the
// data is never mapped to another unit.
void FrmMainHistoryTest::favouritesByTheirKeys() {
    WriteSettings(QStringLiteral("[Convert]\nConvDispose=1\n"));
    Start();
    auto* add = Find<QAction>("mnuFavouriteAdd");
    QCOMPARE(add->text(), QStringLiteral("現在の組み合わせを追加"));
    Choose(List("comUnits"), 1);
    Choose(List("comInput"), 1);
    add->trigger();
    QCOMPARE(Status(), QStringLiteral("お気に入り：追加完了"));
    add->trigger();
    QCOMPARE(Status(), QStringLiteral("お気に入り：登録済み"));
    QCOMPARE(sounds_, QStringList{QStringLiteral("Exclamation")});
    Find<QTabWidget>("PageControl")->setCurrentIndex(1);
    QTest::mouseClick(Find<QPushButton>("btnBaseOutput2"), Qt::LeftButton);
    QTest::mouseClick(Find<QPushButton>("btnBaseInput16"), Qt::LeftButton);
    add->trigger();
    {
        THistory store(DbPath().toStdString());
        store.AddFavourite({0, "mi → m", THistoryPage::Unit, "長さ", "mi", "m"});
    }
    Find<QAction>("mnuFavouritesManage")->trigger();
    QCOMPARE(guard_.TakeTitles(), QStringList{QStringLiteral("お気に入りの整理")});
    QCOMPARE(Find<QAction>("mnuFavourite1")->text(), QStringLiteral("&1 kg → g"));
    QCOMPARE(Find<QAction>("mnuFavourite2")->text(), QStringLiteral("&2 基数 16 → 2"));

    Find<QTabWidget>("PageControl")->setCurrentIndex(0);
    Choose(List("comUnits"), 0);
    Type(Edit("edtInput"), QStringLiteral("5"));
    sounds_.clear();
    Press(Edit("edtInput"), Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(List("comUnits")->currentText(), QStringLiteral("重さ"));
    QCOMPARE(List("comInput")->currentText(), QStringLiteral("kg"));
    QCOMPARE(List("comOutput")->currentText(), QStringLiteral("g"));
    // It converted, as a choice does: the group change left "0".
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("0"));
    QCOMPARE(ResultText().endsWith(QStringLiteral("0 [kg] => 0 [g]\r\n")), true);
    QCOMPARE(Status(), QStringLiteral("お気に入り：kg → g"));

    Press(Edit("edtInput"), Qt::Key_2, Qt::ControlModifier);
    QCOMPARE(Page(), 1);
    QCOMPARE(Edit("edtBaseInput")->text(), QStringLiteral("16"));
    QCOMPARE(Edit("edtBaseOutput")->text(), QStringLiteral("2"));
    QCOMPARE(Status(), QStringLiteral("お気に入り：基数 16 → 2"));

    Press(Edit("edtInputB"), Qt::Key_3, Qt::ControlModifier);
    QCOMPARE(Page(), 1);
    QCOMPARE(Status(), QStringLiteral("単位がありません：mi"));
    QCOMPARE(sounds_, QStringList{QStringLiteral("Exclamation")});
}

// The program's windows open the history at the first key: a favourite's key as that key
// already finds the favourite in the menu.
void FrmMainHistoryTest::favouriteKeyAsTheFirstInput() {
    THistory(DbPath().toStdString())
        .AddFavourite({0, "kg → g", THistoryPage::Unit, "重さ", "kg", "g"});
    TProgramWindows windows(dir_->path() + QLatin1Char('/'),
                            dir_->filePath(QStringLiteral("tenvari.ini")), QString());
    windows.Show();
    TTvFrmMain& main = windows.Main();
    main.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&main));
    auto* input = main.findChild<QLineEdit*>(QStringLiteral("edtInput"));
    QVERIFY(input != nullptr);
    input->setFocus();
    QTest::keyClick(input, Qt::Key_1, Qt::ControlModifier);
    QCOMPARE(main.findChild<QComboBox*>(QStringLiteral("comUnits"))->currentText(),
             QStringLiteral("重さ"));
    QCOMPARE(main.findChild<QComboBox*>(QStringLiteral("comInput"))->currentText(),
             QStringLiteral("kg"));
    main.close();
}

// A menu opened by no key or click (a screen reader's action) still lists the favourites.
void FrmMainHistoryTest::favouritesMenuOpenedWithoutInput() {
    THistory(DbPath().toStdString())
        .AddFavourite({0, "kg → g", THistoryPage::Unit, "重さ", "kg", "g"});
    Start();
    auto* menu = Find<QMenu>("mnuFavourite_fa");
    menu->popup(QPoint(0, 0));
    QCOMPARE(Find<QAction>("mnuFavourite1")->text(), QStringLiteral("&1 kg → g"));
    menu->hide();
}

// With an empty filter the search lists the units of the history first, most recent first, then
// every unit; Enter takes the first.
void FrmMainHistoryTest::recentUnitsFirstInTheSearch() {
    {
        THistory store(DbPath().toStdString());
        store.Record(Entry("重さ", "kg", "g", "3", "3000"), 0);
        store.Record(Entry("長さ", "cm", "km", "2", "0.00002"), 0);
        store.Record(Entry("長さ", "gone", "m", "2", "2"), 0);
    }
    Start();
    bool searched = false;
    guard_.Expect([&](QWidget* modal) {
        auto* find = qobject_cast<TTvFrmFind*>(modal);
        QVERIFY(find);
        searched = true;
        const QAbstractItemModel* model = find->lstHits()->model();
        QStringList first;
        for (int row = 0; row < 5; ++row)
            first << model->index(row, 0).data().toString() + QLatin1Char('/') +
                         model->index(row, 1).data().toString();
        QCOMPARE(first, (QStringList{"m/長さ", "cm/長さ", "km/長さ", "kg/重さ", "g/重さ"}));
        QCOMPARE(model->rowCount(), 5 + 5);
        QTest::keyClick(find->edtFilter(), Qt::Key_Down);
        QTest::keyClick(find->edtFilter(), Qt::Key_Return);
    });
    Press(Edit("edtInput"), Qt::Key_K, Qt::ControlModifier);
    guard_.Expect(nullptr);
    QVERIFY(searched);
    QCOMPARE(List("comInput")->currentText(), QStringLiteral("cm"));
}

void FrmMainHistoryTest::startWithTheLastUnits_data() {
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("units");
    const QString lastGroup = QStringLiteral("[StartUp]\nUnitSeries=1\nLastUnits=1\n");
    QTest::newRow("on: the pair last used in the group")
        << lastGroup + QStringLiteral("LastUnitPair=1\n") << "kg>g";
    QTest::newRow("off by default: the first units") << lastGroup << "g>g";
}

void FrmMainHistoryTest::startWithTheLastUnits() {
    QFETCH(QString, settings);
    QFETCH(QString, units);
    {
        THistory store(DbPath().toStdString());
        store.Record(Entry("重さ", "g", "kg", "1", "0.001"), 0);
        store.Record(Entry("重さ", "kg", "g", "3", "3000"), 0);
        store.Record(Entry("長さ", "km", "m", "2", "2000"), 0);
    }
    WriteSettings(settings);
    Start();
    QCOMPARE(List("comUnits")->currentText(), QStringLiteral("重さ"));
    QCOMPARE(List("comInput")->currentText() + QLatin1Char('>') + List("comOutput")->currentText(),
             units);
}

// Off: nothing is written, not even an empty file; what is there stays.
void FrmMainHistoryTest::historyOffWritesNothing() {
    WriteSettings(QStringLiteral("[History]\nRecord=0\n[Convert]\nConvDispose=1\n"));
    for (const bool fileThere : {false, true}) {
        if (fileThere)
            THistory(DbPath().toStdString()).Record(Entry("長さ", "km", "m", "2", "2000"), 0);
        Start();
        Type(Edit("edtInput"), QStringLiteral("5"));
        Press(Edit("edtInput"), Qt::Key_Return);
        Press(Edit("edtInput"), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(guard_.TakeTitles(), QStringList{QStringLiteral("変換結果")});
        Destroy();
        if (fileThere)
            QCOMPARE(Entries().size(), 1U);
        else
            QVERIFY(!QFile::exists(DbPath()));
    }
}

void FrmMainHistoryTest::capDropsTheOldest() {
    WriteSettings(QStringLiteral("[History]\nEntries=2\n"));
    Start();
    for (const char* value : {"1", "2", "3"}) {
        Type(Edit("edtInput"), QString::fromLatin1(value));
        Press(Edit("edtInput"), Qt::Key_Return);
    }
    const std::vector<THistoryEntry> entries = Entries();
    QCOMPARE(entries.size(), 2U);
    QCOMPARE(entries[1].Value, std::string("2"));
}

void FrmMainHistoryTest::brokenFileIsMovedAsideWithOneWarning() {
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("state/tenvari")));
    WriteFile(QStringLiteral("state/tenvari/history.sqlite"), "not a database at all");
    Start(true);
    const tv::test::TSeenModal warning = modals_.takeFirst();
    QCOMPARE(warning.title, QStringLiteral("警告"));
    QVERIFY2(warning.text.startsWith(
                 QStringLiteral(
                     "履歴ファイルが壊れていたため、別の名前で残し、新しい履歴を始めました。\n\n") +
                 DbPath() + QStringLiteral(".broken-")),
             qPrintable(warning.text));
    Type(Edit("edtInput"), QStringLiteral("4"));
    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(Entries().size(), 1U);
    const QStringList aside = QDir(dir_->filePath(QStringLiteral("state/tenvari")))
                                  .entryList({QStringLiteral("history.sqlite.broken-*")});
    QCOMPARE(aside.size(), 1);
}

// A state folder that is a file: the program works, says so once, and the commands that need
// the history say why they do nothing.
void FrmMainHistoryTest::unusableFolderIsSaidOnce() {
    WriteFile(QStringLiteral("state"), "a file where the folder belongs");
    Start(true);
    const tv::test::TSeenModal warning = modals_.takeFirst();
    QCOMPARE(warning.title, QStringLiteral("警告"));
    QVERIFY2(
        warning.text.startsWith(QStringLiteral("履歴を使用できないため、履歴なしで続けます。\n\n") +
                                dir_->filePath(QStringLiteral("state"))),
        qPrintable(warning.text));
    for (int i = 0; i < 2; ++i) {
        Type(Edit("edtInput"), QStringLiteral("4"));
        Press(Edit("edtInput"), Qt::Key_Return);
        QCOMPARE(Status(), QStringLiteral("単位変換：変換完了"));
    }
    sounds_.clear();
    Press(Edit("edtInput"), Qt::Key_H, Qt::ControlModifier);
    QCOMPARE(Status(), QStringLiteral("履歴：使用できません"));
    Find<QAction>("mnuFavouriteAdd")->trigger();
    QCOMPARE(Status(), QStringLiteral("お気に入り：追加できません"));
    QCOMPARE(sounds_, (QStringList{QStringLiteral("Exclamation"), QStringLiteral("Exclamation")}));
    // A second warning would be shown by now.
    QCoreApplication::processEvents();
    QVERIFY(modals_.isEmpty());
}

QTEST_MAIN(FrmMainHistoryTest)
#include "FrmMainHistoryTest.moc"
