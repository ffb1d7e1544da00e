// The main window driven as a user drives it: typing, shortcuts, list choices and menu commands,
// checked through the boxes, lists, captions, status panels, recorded sounds, the clipboard and
// the settings file.

#include "AccessibilityTestSupport.h"
#include "ModalTestSupport.h"
#include "TvAllocationLimit.h"
#include "ui/Tv10FrmAbout.h"
#include "ui/Tv10FrmAll.h"
#include "ui/Tv10FrmFind.h"
#include "ui/Tv10FrmMain.h"
#include "ui/Tv10FrmSet.h"
#include "ui/TvFormControl.h"
#include "ui/TvSound.h"
#include "ui/UAlEdit.h"
#include "units/TvTextFile.h"
#include "units/TvUserData.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace tv;

namespace {

// Three groups; "重さ" holds a unit whose formula is an invalid operation, "一つ" a single unit.
const char* const kUnits = ">>\r\n"
                           "長さ\r\n"
                           "m,$i,$t,\r\n"
                           "km,$i*1000,$t/1000,\r\n"
                           "cm,$i/100,$t*100,\r\n"
                           "<<\r\n"
                           ">>\r\n"
                           "重さ\r\n"
                           "g,$i,$t,\r\n"
                           "kg,$i*1000,$t/1000,\r\n"
                           "bad,$i,(0-1)^0.5,\r\n"
                           "<<\r\n"
                           ">>\r\n"
                           "一つ\r\n"
                           "only,$i,$t,\r\n"
                           "<<\r\n"
                           "<<\\d\r\n";

const char* const kPrefixes = "k,1000\r\nM,1E6\r\n";

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QStringList* g_sounds = nullptr;

class SoundRecorder : public ISoundPlayer {
public:
    void Exclamation() override { g_sounds->append(QStringLiteral("Exclamation")); }
    void Asterisk() override { g_sounds->append(QStringLiteral("Asterisk")); }
};

} // namespace

class FrmMainTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startupWithoutSettings();
    void startupGroup_data();
    void startupGroup();
    void startupGroupAfterAThousandGroups();
    void startupPositionAsStored_data();
    void startupPositionAsStored();
    void unitsFileWithoutGroups();
    void unitsLoadFailure_data();
    void unitsLoadFailure();
    void prefixLoadFailureAndKeyFilter_data();
    void prefixLoadFailureAndKeyFilter();
    void inputMethodCommitIsFiltered();

    void unitConversion_data();
    void unitConversion();
    void unitConversionFailure_data();
    void unitConversionFailure();
    void invalidOperationShowsErrorBox();
    void nestedFailureShowsOneErrorBox();
    void convDisposeOff();
    void convDisposeOnTyping();
    void convDisposeOnEmptyInputConvertsTwice();
    void unitChoiceConvertsOnlyWhenChosen();
    void groupChange();
    void groupChangeConvertsWithNewUnits();
    void pageChange();
    void typingIntoListOpensIt();
    void enterInOpenListOnlyChooses();
    void focusOrder();
    void focusSelectsTheWholeValue();
    void zeroWrittenIntoEmptyBoxIsSelected();
    void accessibleNamesAndStatus();
    void screenReaderReadsTheOutcome();
    void hintsStayOutOfStatusBar();
    void controlsClearOfGroupBoxLines();
    void statusPanelsInsideTheBar();

    void baseConversion_data();
    void baseConversion();
    void baseKeyFilters_data();
    void baseKeyFilters();
    void baseUpDownAndButtons();
    void baseArrowKeysStep();

    void shortcutsFromInsideControls();
    void disabledCopyShortcutDoesNothing();
    void paste_data();
    void paste();
    void pasteWithoutText();
    void pasteConvertsTwiceWithConvDispose();
    void copy();
    void clear();
    void topMost();
    void dataReRead();
    void dataReReadFailure();
    void help_data();
    void help();
    void settingsCommandRereadsConvertKeys();
    void aboutCommand();

    void unitBatch_data();
    void unitBatch();
    void unitBatchWithBadInput();
    void baseBatch();
    void batchEndedByFailure();

    void findUnit_data();
    void findUnit();
    void findQuery_data();
    void findQuery();
    void newShortcutsFromInsideControls();
    void swapUnits_data();
    void swapUnits();
    void swapBases_data();
    void swapBases();
    void copyValue_data();
    void copyValue();
    void copyEmptyValueBeeps();
    void staleOutput_data();
    void staleOutput();
    void groupedOutputPastesBack();
    void unitListsShowWholeNames();

    void userUnitsInTheirGroups();
    void brokenUserFileLeavesShippedUnits_data();
    void brokenUserFileLeavesShippedUnits();
    void userEditCreatesAndOpens();
    void userEditFailures();
    void userFilesThatBlockOrLeaveUnitsOut_data();
    void userFilesThatBlockOrLeaveUnitsOut();
    void longFormulasStayLinearAndShowShortened();
    void conversionBeyondMemoryShowsOutOfMemory();

    void shutdownWritesSettings();
    void shutdownReportsUnwritableSettings();
    void readOnlySettingsAreKeptForTheSession();

private:
    void WriteFile(const QString& name, const QByteArray& bytes);
    void WriteData(const char* units = kUnits, const char* prefixes = kPrefixes);
    void WriteSettings(const QString& text);
    // The user's data folder of the test, and a file written into it.
    QString UserPath(const QString& name) const;
    void WriteUserFile(const QString& name, const QByteArray& bytes);
    QString SettingsText() const;
    // Creates the four windows as the program does and shows the main one.
    void Start();
    void CloseMain();
    // Destroys the windows as the program does at its end.
    void DestroyWindows();

    template <typename T> T* Find(const char* name) const {
        T* found = main_->findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QLineEdit* Edit(const char* name) const { return Find<QLineEdit>(name); }
    QComboBox* List(const char* name) const { return Find<QComboBox>(name); }
    QAction* Action(const char* name) const { return Find<QAction>(name); }
    QString Status() const { return Find<QLabel>("stbPanel0")->text(); }
    QString TopMostPanel() const { return Find<QLabel>("stbPanel1")->text(); }
    void ShowPage(int page) { Find<QTabWidget>("PageControl")->setCurrentIndex(page); }
    void Choose(QComboBox* list, int index);
    void Type(QLineEdit* box, const QString& text);
    void Press(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    QStringList TakeModals() { return guard_.TakeTitles(); }
    // Ctrl+K from widget; in the search dialog, filter committed by an input method, then key.
    void FindUnit(QWidget* widget, const QString& filter, int key,
                  Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    std::unique_ptr<QTemporaryDir> dir_;
    QString settingsPath_;
    QStringList sounds_;
    QStringList errors_;
    QList<QUrl> opened_;
    tv::test::TModalGuard guard_;
    // The modal windows the guard recorded and closed.
    QList<tv::test::TSeenModal>& modals_ = guard_.Seen();

    std::unique_ptr<TTvFrmMain> main_;
    std::unique_ptr<TTvFrmAbout> about_;
    std::unique_ptr<TTvFrmAll> all_;
    std::unique_ptr<TTvFrmSet> set_;
};

// ---- fixture ----

void FrmMainTest::initTestCase() {
    InstallProgramStyle();
    g_sounds = &sounds_;
    SetSoundPlayer(std::make_unique<SoundRecorder>());
    SetErrorBoxHandler([this](const QString& text) { errors_.append(text); });
    SetUrlOpener([this](const QUrl& url) {
        opened_.append(url);
        return true;
    });
}

void FrmMainTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    settingsPath_ = dir_->filePath(QStringLiteral("tenvari.ini"));
    sounds_.clear();
    errors_.clear();
    opened_.clear();
    ResultText().clear();
    TopMostMode = false;
    QGuiApplication::clipboard()->clear();
    // A user's data folder of the test's own, empty until a test writes into it, and a history
    // of its own.
    qputenv("XDG_DATA_HOME", dir_->filePath(QStringLiteral("data-home")).toUtf8());
    qputenv("XDG_STATE_HOME", dir_->filePath(QStringLiteral("state-home")).toUtf8());
}

void FrmMainTest::cleanup() {
    DestroyWindows();
    guard_.Verify();
    QVERIFY2(errors_.isEmpty(), qPrintable(errors_.join(QLatin1Char('\n'))));
}

void FrmMainTest::WriteFile(const QString& name, const QByteArray& bytes) {
    QFile file(dir_->filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

void FrmMainTest::WriteData(const char* units, const char* prefixes) {
    if (units)
        WriteFile(QStringLiteral("units.dat"), QByteArray::fromStdString(EncodeCp932(units)));
    if (prefixes)
        WriteFile(QStringLiteral("prefix.dat"), QByteArray::fromStdString(EncodeCp932(prefixes)));
}

void FrmMainTest::WriteSettings(const QString& text) {
    WriteFile(QStringLiteral("tenvari.ini"), text.toUtf8());
}

QString FrmMainTest::UserPath(const QString& name) const {
    return dir_->filePath(QStringLiteral("data-home/tenvari/") + name);
}

void FrmMainTest::WriteUserFile(const QString& name, const QByteArray& bytes) {
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("data-home/tenvari")));
    QFile file(UserPath(name));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QString FrmMainTest::SettingsText() const {
    QFile file(settingsPath_);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

void FrmMainTest::Start() {
    main_ = std::make_unique<TTvFrmMain>(dir_->path() + QLatin1Char('/'), settingsPath_);
    if (main_->UnitsLoadFailed())
        return;
    about_ = std::make_unique<TTvFrmAbout>(main_.get());
    all_ = std::make_unique<TTvFrmAll>(main_.get());
    set_ = std::make_unique<TTvFrmSet>(main_.get());
    main_->SetWindows(about_.get(), all_.get(), set_.get());
    main_->show();
    main_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main_.get()));
}

void FrmMainTest::CloseMain() {
    main_->close();
    QVERIFY(!main_->isVisible());
}

void FrmMainTest::DestroyWindows() {
    set_.reset();
    all_.reset();
    about_.reset();
    main_.reset();
}

void FrmMainTest::Choose(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
}

void FrmMainTest::Type(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    const bool latin1 =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x100; });
    if (text.isEmpty()) {
        QTest::keyClick(box, Qt::Key_Backspace);
    } else if (latin1) {
        QTest::keyClicks(box, text);
    } else {
        // Full-width characters come from an input method, as one commit.
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(box, &commit);
    }
}

void FrmMainTest::Press(QWidget* widget, int key, Qt::KeyboardModifiers modifiers) {
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key(key), modifiers);
}

void FrmMainTest::FindUnit(QWidget* widget, const QString& filter, int key,
                           Qt::KeyboardModifiers modifiers) {
    bool searched = false;
    guard_.Expect([&](QWidget* modal) {
        auto* find = qobject_cast<TTvFrmFind*>(modal);
        if (!find) {
            modals_.append({modal->windowTitle(), {}, {}});
            qobject_cast<QDialog*>(modal)->reject();
            return;
        }
        searched = true;
        QCOMPARE(find->windowTitle(), QStringLiteral("単位の検索"));
        QInputMethodEvent commit;
        commit.setCommitString(filter);
        QApplication::sendEvent(find->edtFilter(), &commit);
        QTest::keyClick(find->edtFilter(), Qt::Key(key), modifiers);
        if (find->isVisible())
            find->reject();
    });
    Press(widget, Qt::Key_K, Qt::ControlModifier);
    guard_.Expect(nullptr);
    QVERIFY(searched);
}

// ---- start-up ----

void FrmMainTest::startupWithoutSettings() {
    WriteData();
    Start();
    QCOMPARE(main_->windowTitle(), QStringLiteral("Tenvari - 長さ"));
    QCOMPARE(List("comUnits")->count(), 3);
    QCOMPARE(List("comUnits")->currentText(), QStringLiteral("長さ"));
    QCOMPARE(List("comInput")->currentText(), QStringLiteral("m"));
    QCOMPARE(List("comOutput")->currentText(), QStringLiteral("m"));
    QCOMPARE(Edit("edtInput")->text(), QString());
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("0"));
    QCOMPARE(Edit("edtInputB")->text(), QStringLiteral("0"));
    QCOMPARE(Edit("edtBaseInput")->text(), QStringLiteral("10"));
    QCOMPARE(Status(), QString());
    QCOMPARE(TopMostPanel(), QStringLiteral("-"));
    QVERIFY(!Action("mnuCopy")->isEnabled());
    QVERIFY(!Action("mnuOtherWinShow")->isEnabled());
    QVERIFY(Action("mnuAConv")->isEnabled());
    QVERIFY(!Action("mnuFront")->isChecked());
    QCOMPARE(QApplication::focusWidget(), Edit("edtInput"));

    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(main_->pos(), QPoint((work.width() - main_->frameGeometry().width()) / 2,
                                  (work.height() - main_->frameGeometry().height()) / 2));

    // Manual conversion: typing converts nothing.
    Type(Edit("edtInput"), QStringLiteral("5"));
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("0"));
    QVERIFY(ResultText().isEmpty());
}

void FrmMainTest::startupGroup_data() {
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("group");
    QTest::newRow("first group by default") << "[StartUp]\nLastUnits=2\n"
                                            << "長さ";
    QTest::newRow("last group") << "[StartUp]\nUnitSeries=1\nLastUnits=2\n"
                                << "一つ";
    QTest::newRow("chosen group") << "[StartUp]\nUnitSeries=2\nLastUnits=2\nSetUnits=1\n"
                                  << "重さ";
    QTest::newRow("unknown series") << "[StartUp]\nUnitSeries=7\nLastUnits=2\n"
                                    << "長さ";
    QTest::newRow("last group beyond the list") << "[StartUp]\nUnitSeries=1\nLastUnits=3\n"
                                                << "長さ";
    QTest::newRow("no last group") << "[StartUp]\nUnitSeries=1\nLastUnits=-1\n"
                                   << "長さ";
    QTest::newRow("chosen group beyond the list") << "[StartUp]\nUnitSeries=2\nSetUnits=99\n"
                                                  << "長さ";
}

void FrmMainTest::startupGroup() {
    QFETCH(QString, settings);
    QFETCH(QString, group);
    WriteData();
    WriteSettings(settings);
    Start();
    QCOMPARE(List("comUnits")->currentText(), group);
    QCOMPARE(main_->windowTitle(), QStringLiteral("Tenvari - ") + group);
    QCOMPARE(List("comInput")->currentIndex(), 0);
    QVERIFY(List("comInput")->count() > 0);
}

void FrmMainTest::startupGroupAfterAThousandGroups() {
    std::string units;
    for (int i = 0; i <= 1024; ++i) {
        const std::string n = std::to_string(i);
        units += ">>\r\nG" + n + "\r\nu" + n + ",$i,$t,\r\n<<\r\n";
    }
    WriteData(units.c_str());
    WriteSettings(QStringLiteral("[StartUp]\nUnitSeries=1\nLastUnits=1024\n"));
    Start();
    QCOMPARE(List("comUnits")->currentText(), QStringLiteral("G1024"));
    QCOMPARE(List("comInput")->currentText(), QStringLiteral("u1024"));
    QCOMPARE(List("comOutput")->currentText(), QStringLiteral("u1024"));
}

void FrmMainTest::startupPositionAsStored_data() {
    QTest::addColumn<QPoint>("stored");
    QTest::addColumn<bool>("kept");
    QTest::newRow("on the screen") << QPoint(30, 40) << true;
    QTest::newRow("partly off the right, the title bar reachable") << QPoint(700, 40) << true;
    QTest::newRow("far beyond the bottom right") << QPoint(1500, 3000) << false;
    QTest::newRow("title bar above the screen") << QPoint(100, -10) << false;
}

// Positions on a screen are used as stored; one that would leave the title bar out of every work
// area (an edited file, a monitor since removed) is brought back just inside the work area.
void FrmMainTest::startupPositionAsStored() {
    QFETCH(QPoint, stored);
    QFETCH(bool, kept);
    WriteData();
    WriteSettings(
        QStringLiteral("[StartUp]\nWinPos=1\nLeft=%1\nTop=%2\n").arg(stored.x()).arg(stored.y()));
    Start();
    if (kept) {
        QCOMPARE(main_->pos(), stored);
        return;
    }
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect frame = main_->frameGeometry();
    QCOMPARE(frame.topLeft(),
             QPoint(std::clamp(stored.x(), work.left(), work.right() + 1 - frame.width()),
                    std::clamp(stored.y(), work.top(), work.bottom() + 1 - frame.height())));
}

void FrmMainTest::unitsFileWithoutGroups() {
    WriteData("");
    WriteSettings(
        QStringLiteral("[StartUp]\nUnitSeries=1\nLastUnits=4\n[Convert]\nConvDispose=1\n"));
    Start();
    QCOMPARE(main_->windowTitle(), QStringLiteral("Tenvari - "));
    QCOMPARE(List("comUnits")->count(), 0);
    QCOMPARE(List("comInput")->count(), 0);
    QCOMPARE(List("comOutput")->count(), 0);

    // Converting, typing and the batch find no unit and do no harm.
    Type(Edit("edtInput"), QStringLiteral("12"));
    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("0"));
    QVERIFY(ResultText().isEmpty());
    Press(Edit("edtInput"), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(TakeModals(), QStringList{QStringLiteral("変換結果")});
    QCOMPARE(Status(), QStringLiteral("単位変換：一括変換完了"));
    QVERIFY(sounds_ == QStringList{QStringLiteral("Asterisk")});

    CloseMain();
    QVERIFY(SettingsText().contains(QStringLiteral("LastUnits=-1")));
}

void FrmMainTest::unitsLoadFailure_data() {
    QTest::addColumn<QByteArray>("units");
    QTest::addColumn<QString>("where");
    QTest::newRow("missing file") << QByteArray() << "units.dat: ";
    QTest::newRow("unit line without fields")
        << QByteArray(">>\r\nA\r\nm,$i\r\n<<\r\n")
        // A number and its counter never part at a line break.
        << "units.dat の 3\u00a0行目: 単位の行に 4\u00a0つの項目がありません";
}

void FrmMainTest::unitsLoadFailure() {
    QFETCH(QByteArray, units);
    QFETCH(QString, where);
    WriteData(nullptr);
    if (!units.isNull())
        WriteFile(QStringLiteral("units.dat"), units);
    Start();
    QVERIFY(main_->UnitsLoadFailed());
    QVERIFY(!main_->isVisible());
    QCOMPARE(modals_.size(), 1);
    const tv::test::TSeenModal box = modals_.takeFirst();
    QCOMPARE(box.title, QStringLiteral("エラー"));
    // The fixed lines, then the file, the line and the reason in the visible text.
    const QString fixed =
        QStringLiteral("単位データの読み込みに失敗しました。\nTenvariを終了します。\n"
                       "\n\"units.dat\" の有無をご確認ください。\n\n");
    QVERIFY2(box.text.startsWith(fixed + dir_->filePath(where)), qPrintable(box.text));
    QCOMPARE(box.detail, QString());

    // The window never ran, so nothing is written at the end.
    DestroyWindows();
    QVERIFY(!QFile::exists(settingsPath_));
}

void FrmMainTest::prefixLoadFailureAndKeyFilter_data() {
    QTest::addColumn<bool>("prefixesOk");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("prefixes on: everything passes") << true << "5k, x"
                                                    << "5k, x";
    QTest::newRow("prefixes off: letters, blank and comma dropped") << false << "5k, x"
                                                                    << "5";
    QTest::newRow("prefixes off: expression characters pass") << false << "(2e3+1.5E1)*-4/2^2"
                                                              << "(2e3+1.5E1)*-4/2^2";
    QTest::newRow("prefixes off: full-width digits dropped") << false << "１2"
                                                             << "2";
}

void FrmMainTest::prefixLoadFailureAndKeyFilter() {
    QFETCH(bool, prefixesOk);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    WriteData(kUnits, prefixesOk ? kPrefixes : "k\r\n");
    Start();
    if (!prefixesOk) {
        QCOMPARE(modals_.size(), 1);
        const tv::test::TSeenModal box = modals_.takeFirst();
        QCOMPARE(box.title, QStringLiteral("警告"));
        QVERIFY2(
            box.text.startsWith(QStringLiteral("接頭辞データの読み込みに失敗しました。\n\n"
                                               "入力における接頭辞の使用が不可となります。\n\n") +
                                dir_->filePath(QStringLiteral("prefix.dat の 1\u00a0行目: "))),
            qPrintable(box.text));
    }
    QVERIFY(main_->isVisible());
    Type(Edit("edtInput"), typed);
    QCOMPARE(Edit("edtInput")->text(), shown);
    QTest::keyClick(Edit("edtInput"), Qt::Key_Backspace);
    QCOMPARE(Edit("edtInput")->text(), shown.chopped(1));
}

void FrmMainTest::inputMethodCommitIsFiltered() {
    WriteData(kUnits, "bad\r\n");
    Start();
    QCOMPARE(TakeModals(), QStringList{QStringLiteral("警告")});
    QLineEdit* input = Edit("edtInput");
    input->setFocus();
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("12 km"));
    QApplication::sendEvent(input, &commit);
    QCOMPARE(input->text(), QStringLiteral("12"));

    ShowPage(1);
    QLineEdit* base = Edit("edtBaseInput");
    Type(base, QStringLiteral("16"));
    QInputMethodEvent hex;
    hex.setCommitString(QStringLiteral("fgA9"));
    QApplication::sendEvent(Edit("edtInputB"), &hex);
    QCOMPARE(Edit("edtInputB")->text(), QStringLiteral("FA9"));
    QInputMethodEvent digits;
    digits.setCommitString(QStringLiteral("1a2"));
    QApplication::sendEvent(base, &digits);
    QCOMPARE(base->text(), QStringLiteral("1612"));
}

// ---- unit page ----

void FrmMainTest::unitConversion_data() {
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("shownInput");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("report");

    const QString plain = QStringLiteral("[Convert]\nShowAns=0\n");
    QTest::newRow("km to m") << plain << "2.5" << 1 << 0 << "2.5"
                             << "2500"
                             << "2.5 [km] => 2500 [m]\r\n";
    QTest::newRow("prefix in the input") << plain << "5k" << 0 << 1 << "5k"
                                         << "5"
                                         << "5k [m] => 5 [km]\r\n";
    QTest::newRow("empty input becomes 0") << plain << "" << 1 << 2 << "0"
                                           << "0"
                                           << "0 [km] => 0 [cm]\r\n";
    QTest::newRow("same unit with formula line")
        << "[Convert]\nShowExp=1\n"
        << "1+1" << 0 << 0 << "1+1"
        << "2"
        << "1+1 [m] => 2 [m]\r\n\t同じ単位のため変換を行っていません。\r\n";
    QTest::newRow("formula line") << "[Convert]\nShowExp=1\n"
                                  << "2.5" << 1 << 2 << "2.5"
                                  << "250000"
                                  << "2.5 [km] => 250000 [cm]\r\n\tResult = (2.5*1000)*100\r\n";
    QTest::newRow("exponent display") << "[Convert]\nShowAns=1\n"
                                      << "12345" << 0 << 0 << "12345"
                                      << "1.23E+04"
                                      << "12345 [m] => 1.23E+04 [m]\r\n";
    QTest::newRow("grouped display") << "[Convert]\nShowAns=2\n"
                                     << "1234567.5" << 0 << 0 << "1234567.5"
                                     << "1,234,567.5"
                                     << "1234567.5 [m] => 1,234,567.5 [m]\r\n";
    QTest::newRow("unknown display keeps the output") << "[Convert]\nShowAns=5\n"
                                                      << "7" << 0 << 1 << "7"
                                                      << "0"
                                                      << "7 [m] => 0 [km]\r\n";
    QTest::newRow("full-width digits") << plain << "１２" << 1 << 0 << "１２"
                                       << "12000"
                                       << "１２ [km] => 12000 [m]\r\n";
}

void FrmMainTest::unitConversion() {
    QFETCH(QString, settings);
    QFETCH(QString, input);
    QFETCH(int, source);
    QFETCH(int, target);
    QFETCH(QString, shownInput);
    QFETCH(QString, output);
    QFETCH(QString, report);
    WriteData();
    WriteSettings(settings);
    Start();
    ResultText() = QStringLiteral("old line\r\n");
    Choose(List("comInput"), source);
    Choose(List("comOutput"), target);
    Type(Edit("edtInput"), input);
    Press(Edit("edtInput"), Qt::Key_Return);

    QCOMPARE(Edit("edtInput")->text(), shownInput);
    QCOMPARE(Edit("edtOutput")->text(), output);
    QCOMPARE(ResultText(), report);
    QCOMPARE(Status(), QStringLiteral("単位変換：変換完了"));
    QVERIFY(sounds_.isEmpty());
    QVERIFY(Action("mnuCopy")->isEnabled());
    QVERIFY(Action("mnuOtherWinShow")->isEnabled());
}

void FrmMainTest::unitConversionFailure_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("status");
    QTest::newRow("not an expression") << "abc"
                                       << "Convert Error.";
    QTest::newRow("unknown prefix") << "5x"
                                    << "Convert Error.";
    QTest::newRow("division by zero") << "1/0"
                                      << "ZeroDivide Error.";
    QTest::newRow("overflow") << "10^5000"
                              << "OverFlow Error.";
}

void FrmMainTest::unitConversionFailure() {
    QFETCH(QString, input);
    QFETCH(QString, status);
    WriteData();
    Start();
    Type(Edit("edtInput"), QStringLiteral("3"));
    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("3"));
    ResultText() = QStringLiteral("kept\r\n");
    Action("mnuCopy")->setEnabled(false);

    Type(Edit("edtInput"), input);
    Press(Edit("edtInput"), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(Status(), status);
    QCOMPARE(sounds_, QStringList{QStringLiteral("Exclamation")});
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("3"));
    QCOMPARE(Edit("edtInput")->text(), input);
    QVERIFY(ResultText().isEmpty());
    // A reported failure still completes the command.
    QVERIFY(Action("mnuCopy")->isEnabled());
}

void FrmMainTest::invalidOperationShowsErrorBox() {
    WriteData();
    Start();
    Choose(List("comUnits"), 1);
    Choose(List("comOutput"), 2);
    Type(Edit("edtInput"), QStringLiteral("4"));
    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(std::exchange(errors_, {}),
             QStringList{QStringLiteral("不正な浮動小数点数演算命令.")});
    QVERIFY(sounds_.isEmpty());
    QCOMPARE(Status(), QString());
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("0"));
    QVERIFY(!Action("mnuCopy")->isEnabled());

    // The program carries on.
    Choose(List("comOutput"), 1);
    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("0.004"));
}

void FrmMainTest::nestedFailureShowsOneErrorBox() {
    WriteData();
    WriteSettings(QStringLiteral("[Convert]\nConvDispose=1\n"));
    Start();
    Choose(List("comUnits"), 1);
    Type(Edit("edtInput"), QStringLiteral("4"));
    Choose(List("comOutput"), 2);
    QCOMPARE(std::exchange(errors_, {}).size(), 1);
    // Emptying the box converts the "0" from inside the outer conversion; the failure ends both
    // and is shown once.
    Type(Edit("edtInput"), QString());
    QCOMPARE(std::exchange(errors_, {}),
             QStringList{QStringLiteral("不正な浮動小数点数演算命令.")});
    QCOMPARE(Edit("edtInput")->text(), QStringLiteral("0"));
}

void FrmMainTest::convDisposeOff() {
    WriteData();
    WriteSettings(QStringLiteral("[Convert]\nConvDispose=0\n"));
    Start();
    Type(Edit("edtInput"), QStringLiteral("12"));
    Choose(List("comOutput"), 1);
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("0"));
    QVERIFY(ResultText().isEmpty());
    QCOMPARE(Status(), QString());
}

void FrmMainTest::convDisposeOnTyping() {
    WriteData();
    WriteSettings(QStringLiteral("[Convert]\nConvDispose=1\n"));
    Start();
    Choose(List("comOutput"), 2);
    Type(Edit("edtInput"), QStringLiteral("1"));
    QTest::keyClick(Edit("edtInput"), Qt::Key_2);
    ResultText().remove(0, ResultText().indexOf(QStringLiteral("1 [m]")));
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("1200"));
    QCOMPARE(ResultText(), QStringLiteral("1 [m] => 100 [cm]\r\n12 [m] => 1200 [cm]\r\n"));
    // Conversions on change enable nothing; Enter starts a new report.
    QVERIFY(!Action("mnuCopy")->isEnabled());
    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(ResultText(), QStringLiteral("12 [m] => 1200 [cm]\r\n"));
    QVERIFY(Action("mnuCopy")->isEnabled());
}

void FrmMainTest::convDisposeOnEmptyInputConvertsTwice() {
    WriteData();
    WriteSettings(QStringLiteral("[Convert]\nConvDispose=1\n"));
    Start();
    Type(Edit("edtInput"), QStringLiteral("7"));
    ResultText().clear();
    Type(Edit("edtInput"), QString());
    // Emptying converts; the "0" put into the box converts once more from inside.
    QCOMPARE(Edit("edtInput")->text(), QStringLiteral("0"));
    QCOMPARE(ResultText(), QStringLiteral("0 [m] => 0 [m]\r\n0 [m] => 0 [m]\r\n"));
}

void FrmMainTest::unitChoiceConvertsOnlyWhenChosen() {
    WriteData();
    WriteSettings(QStringLiteral("[Convert]\nConvDispose=1\n"));
    Start();
    Type(Edit("edtInput"), QStringLiteral("3"));
    ResultText().clear();
    List("comOutput")->setCurrentIndex(1);
    QVERIFY(ResultText().isEmpty());
    Choose(List("comInput"), 1);
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("3"));
    QCOMPARE(ResultText(), QStringLiteral("3 [km] => 3 [km]\r\n"));
}

void FrmMainTest::groupChange() {
    WriteData();
    Start();
    Choose(List("comInput"), 1);
    Choose(List("comOutput"), 2);
    Type(Edit("edtInput"), QStringLiteral("4"));
    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("400000"));

    // The group already loaded keeps everything.
    Choose(List("comUnits"), 0);
    QCOMPARE(Edit("edtInput")->text(), QStringLiteral("4"));
    QCOMPARE(List("comOutput")->currentIndex(), 2);

    Choose(List("comUnits"), 1);
    QCOMPARE(main_->windowTitle(), QStringLiteral("Tenvari - 重さ"));
    QCOMPARE(Edit("edtInput")->text(), QString());
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("0"));
    QCOMPARE(List("comInput")->currentText(), QStringLiteral("g"));
    QCOMPARE(List("comOutput")->currentText(), QStringLiteral("g"));
    QCOMPARE(List("comOutput")->count(), 3);
    QCOMPARE(ResultText(), QStringLiteral("4 [km] => 400000 [cm]\r\n"));
}

void FrmMainTest::groupChangeConvertsWithNewUnits() {
    WriteData();
    WriteSettings(QStringLiteral("[Convert]\nConvDispose=1\n"));
    Start();
    Choose(List("comInput"), 2);
    Choose(List("comOutput"), 2);
    Type(Edit("edtInput"), QStringLiteral("9"));
    ResultText().clear();
    // The one-unit group has no third unit; the conversion the emptied box starts must use it
    // anyway.
    Choose(List("comUnits"), 2);
    QCOMPARE(main_->windowTitle(), QStringLiteral("Tenvari - 一つ"));
    QCOMPARE(List("comInput")->currentText(), QStringLiteral("only"));
    QCOMPARE(Edit("edtInput")->text(), QStringLiteral("0"));
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("0"));
    QCOMPARE(ResultText(), QStringLiteral("0 [only] => 0 [only]\r\n0 [only] => 0 [only]\r\n"));
    QVERIFY(sounds_.isEmpty());
}

void FrmMainTest::pageChange() {
    WriteData();
    Start();
    Press(Edit("edtInput"), Qt::Key_Return);
    QVERIFY(Action("mnuCopy")->isEnabled());
    Action("mnuAConv")->setEnabled(false);
    ShowPage(1);
    QCOMPARE(main_->windowTitle(), QStringLiteral("Tenvari - 基数変換"));
    QCOMPARE(Status(), QString());
    QVERIFY(!Action("mnuCopy")->isEnabled());
    QVERIFY(Action("mnuOtherWinShow")->isEnabled());
    QVERIFY(Action("mnuAConv")->isEnabled());
    QCOMPARE(QApplication::focusWidget(), Edit("edtInputB"));
    Press(Edit("edtInputB"), Qt::Key_Return);
    QCOMPARE(Status(), QStringLiteral("基数変換：変換完了"));
    ShowPage(0);
    QCOMPARE(main_->windowTitle(), QStringLiteral("Tenvari - 長さ"));
    QCOMPARE(Status(), QString());
    QCOMPARE(QApplication::focusWidget(), Edit("edtInput"));
}

void FrmMainTest::typingIntoListOpensIt() {
    WriteData();
    Start();
    QComboBox* list = List("comOutput");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_C);
    QTRY_VERIFY(list->view()->isVisible());
    QCOMPARE(list->view()->currentIndex().row(), 2);
    QTest::keyClick(list->view(), Qt::Key_Return);
    QTRY_VERIFY(!list->view()->isVisible());
    QCOMPARE(list->currentText(), QStringLiteral("cm"));
}

// Choosing a group with the keyboard in the open list runs the group change only: the menu's
// Enter (normal conversion, which would empty the report) must not run as well.
void FrmMainTest::enterInOpenListOnlyChooses() {
    WriteData();
    Start();
    Type(Edit("edtInput"), QStringLiteral("4"));
    Press(Edit("edtInput"), Qt::Key_Return);
    const QString report = ResultText();
    QCOMPARE(report, QStringLiteral("4 [m] => 4 [m]\r\n"));

    QComboBox* groups = List("comUnits");
    groups->setFocus();
    QTest::keyClick(groups, Qt::Key_Down, Qt::AltModifier);
    QTRY_VERIFY(groups->view()->isVisible());
    QTest::keyClick(groups->view(), Qt::Key_Down);
    QTest::keyClick(groups->view(), Qt::Key_Return);
    QTRY_VERIFY(!groups->view()->isVisible());
    QCOMPARE(groups->currentText(), QStringLiteral("重さ"));
    QCOMPARE(main_->windowTitle(), QStringLiteral("Tenvari - 重さ"));
    QCOMPARE(ResultText(), report);
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("0"));
    QCOMPARE(Edit("edtInput")->text(), QString());
    QCOMPARE(Status(), QStringLiteral("単位変換：変換完了"));
}

// Tab runs top to bottom, left to right, through the page tabs and the active page's rows.
void FrmMainTest::focusOrder() {
    WriteData();
    Start();
    QWidget* tabs = Find<QTabWidget>("PageControl")->findChild<QTabBar*>();
    const QList<QWidget*> unitPage = {Edit("edtInput"),  List("comInput"), Edit("edtOutput"),
                                      List("comOutput"), List("comUnits"), tabs,
                                      Edit("edtInput")};
    QCOMPARE(QApplication::focusWidget(), Edit("edtInput"));
    for (QWidget* next : unitPage.mid(1)) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
    for (qsizetype i = unitPage.size() - 2; i >= 0; --i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), unitPage.at(i));
    }

    ShowPage(1);
    const QList<QWidget*> basePage = {Find<QWidget>("edtBaseInput"),
                                      Find<QWidget>("btnBaseInput2"),
                                      Find<QWidget>("btnBaseInput8"),
                                      Find<QWidget>("btnBaseInput10"),
                                      Find<QWidget>("btnBaseInput16"),
                                      Edit("edtOutputB"),
                                      Edit("edtBaseOutput"),
                                      Find<QWidget>("btnBaseOutput2"),
                                      Find<QWidget>("btnBaseOutput8"),
                                      Find<QWidget>("btnBaseOutput10"),
                                      Find<QWidget>("btnBaseOutput16"),
                                      tabs,
                                      Edit("edtInputB")};
    QCOMPARE(QApplication::focusWidget(), Edit("edtInputB"));
    for (QWidget* next : basePage) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

// Focus entering a value box by the program, by Tab or by a page change selects its whole text,
// so typing replaces it; a click places the caret.
void FrmMainTest::focusSelectsTheWholeValue() {
    WriteData();
    Start();
    ShowPage(1);
    QCOMPARE(QApplication::focusWidget(), Edit("edtInputB"));
    QCOMPARE(Edit("edtInputB")->selectedText(), QStringLiteral("0"));
    QTest::keyClicks(Edit("edtInputB"), QStringLiteral("255"));
    QCOMPARE(Edit("edtInputB")->text(), QStringLiteral("255"));

    // After a base button the value box has the focus again, its text selected.
    QTest::mouseClick(Find<QPushButton>("btnBaseOutput16"), Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), Edit("edtInputB"));
    QCOMPARE(Edit("edtInputB")->selectedText(), QStringLiteral("255"));

    ShowPage(0);
    Type(Edit("edtInput"), QStringLiteral("12"));
    List("comInput")->setFocus();
    QTest::keyClick(List("comInput"), Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), Edit("edtInput"));
    QCOMPARE(Edit("edtInput")->selectedText(), QStringLiteral("12"));
    QTest::keyClicks(Edit("edtInput"), QStringLiteral("7"));
    QCOMPARE(Edit("edtInput")->text(), QStringLiteral("7"));

    List("comInput")->setFocus();
    QTest::mouseClick(Edit("edtInput"), Qt::LeftButton, {}, QPoint(2, 10));
    QCOMPARE(QApplication::focusWidget(), Edit("edtInput"));
    QCOMPARE(Edit("edtInput")->selectedText(), QString());
}

// With conversion on every change, emptying the box writes "0" into it; that "0" is left selected
// so that the next digits replace it.
void FrmMainTest::zeroWrittenIntoEmptyBoxIsSelected() {
    WriteData();
    WriteSettings(QStringLiteral("[Convert]\nConvDispose=1\n"));
    Start();
    QLineEdit* input = Edit("edtInput");
    Type(input, QStringLiteral("5"));
    QTest::keyClick(input, Qt::Key_Backspace);
    QCOMPARE(input->text(), QStringLiteral("0"));
    QCOMPARE(input->selectedText(), QStringLiteral("0"));
    QTest::keyClicks(input, QStringLiteral("12"));
    QCOMPARE(input->text(), QStringLiteral("12"));
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("12"));

    ShowPage(1);
    QLineEdit* inputB = Edit("edtInputB");
    QTest::keyClicks(inputB, QStringLiteral("7"));
    QTest::keyClick(inputB, Qt::Key_Backspace);
    QCOMPARE(inputB->selectedText(), QStringLiteral("0"));
    QTest::keyClicks(inputB, QStringLiteral("9"));
    QCOMPARE(inputB->text(), QStringLiteral("9"));
}

// Every control carries the name a sighted user reads beside it, its label is its buddy, and the
// status bar's value is the outcome in panel 0.
void FrmMainTest::accessibleNamesAndStatus() {
    WriteData();
    Start();
    const struct {
        const char* control;
        const char* name;
    } rows[] = {
        {"edtInput", "変換前 値"},
        {"comInput", "変換前 単位"},
        {"edtOutput", "変換後 値"},
        {"comOutput", "変換後 単位"},
        {"comUnits", "集団"},
        {"edtInputB", "変換前 値"},
        {"edtOutputB", "変換後 値"},
        {"edtBaseInput", "入力の基数"},
        {"edtBaseOutput", "出力の基数"},
        {"btnBaseInput16", "入力の基数 16"},
        {"btnBaseOutput2", "出力の基数 2"},
        {"udbBaseInput", "入力の基数"},
    };
    for (const auto& row : rows) {
        auto* control = Find<QWidget>(row.control);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        QVERIFY2(accessible, row.control);
        const QString name = QString::fromUtf8(row.name);
        // On Linux Qt names a list by its selected entry and lets its label name it.
        if (!qobject_cast<QComboBox*>(control)) {
            QVERIFY2(accessible->text(QAccessible::Name) == name, row.control);
        }
        if (qobject_cast<QLineEdit*>(control) || qobject_cast<QComboBox*>(control)) {
            const auto labels = accessible->relations(QAccessible::Label);
            QVERIFY2(std::any_of(labels.begin(), labels.end(),
                                 [&name](const auto& label) {
                                     return label.first->text(QAccessible::Name) == name;
                                 }),
                     row.control);
        }
    }
    auto* up = Find<QWidget>("udbBaseInput")->findChild<QToolButton*>(QStringLiteral("up"));
    QCOMPARE(QAccessible::queryAccessibleInterface(up)->text(QAccessible::Name),
             QStringLiteral("入力の基数を増やす"));

    // Tabs and menu items are named without their mnemonic keys; the focus is in one place.
    QCOMPARE(tv::test::NamesWithMnemonics(main_.get()), QStringList());
    QCOMPARE(tv::test::FocusedObjects(main_.get()), QStringList{QStringLiteral("変換前 値")});
    QWidget* tabs = Find<QTabWidget>("PageControl")->findChild<QTabBar*>();
    tabs->setFocus();
    QCOMPARE(tv::test::FocusedObjects(main_.get()), QStringList{QStringLiteral("単位変換")});
}

// Every outcome in status panel 0 reaches a screen reader through the panel, a notification whose
// text can be read (the desktop suite hears it announced).
void FrmMainTest::screenReaderReadsTheOutcome() {
    WriteData();
    Start();
    QAccessibleInterface* status = QAccessible::queryAccessibleInterface(Find<QLabel>("stbPanel0"));
    QCOMPARE(status->role(), QAccessible::Notification);
    QAccessibleTextInterface* text = status->textInterface();
    QVERIFY(text != nullptr);
    const auto shown = [&] { return text->text(0, text->characterCount()); };

    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(status->text(QAccessible::Name), QStringLiteral("単位変換：変換完了"));
    QCOMPARE(shown(), QStringLiteral("単位変換：変換完了"));
    QCOMPARE(text->text(5, 9), QStringLiteral("変換完了"));
    Type(Edit("edtInput"), QStringLiteral("1/0"));
    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(shown(), QStringLiteral("ZeroDivide Error."));
    ShowPage(1);
    QCOMPARE(shown(), QString());
    QCOMPARE(text->characterCount(), 0);
    // The bar around it is the status bar, named.
    QAccessibleInterface* bar = status->parent();
    QCOMPARE(bar->role(), QAccessible::StatusBar);
    QCOMPARE(bar->text(QAccessible::Name), QStringLiteral("状態"));
}

void FrmMainTest::hintsStayOutOfStatusBar() {
    WriteData();
    Start();
    Press(Edit("edtInput"), Qt::Key_Return);
    QStatusTipEvent tip(Action("mnuNConv")->statusTip());
    QApplication::sendEvent(main_.get(), &tip);
    QCOMPARE(Status(), QStringLiteral("単位変換：変換完了"));
    QCOMPARE(main_->statusBar()->currentMessage(), QString());
}

// No control in a group box reaches its frame line: the line is found in the drawn box, as the
// first row down the right-hand margin that differs from the background.
void FrmMainTest::controlsClearOfGroupBoxLines() {
    WriteData();
    Start();
    for (const char* name : {"gbxInput", "gbxOutput", "gbxInputB", "gbxOutputB"}) {
        auto* box = Find<QGroupBox>(name);
        const QImage image = box->grab().toImage();
        const int x = image.width() - 4;
        int line = 0;
        while (line < image.height() && image.pixel(x, line) == image.pixel(x, 0))
            ++line;
        QVERIFY2(line > 0 && line < 20, name);
        for (QWidget* child : box->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!child->isHidden()) {
                QVERIFY2(child->geometry().top() > line + 1,
                         qPrintable(QStringLiteral("%1 at %2, line at %3")
                                        .arg(child->objectName())
                                        .arg(child->geometry().top())
                                        .arg(line)));
            }
        }
    }
}

// Both status panels, frames included, lie inside the status bar.
void FrmMainTest::statusPanelsInsideTheBar() {
    WriteData();
    Start();
    QStatusBar* bar = main_->statusBar();
    for (const char* name : {"stbPanel0", "stbPanel1"}) {
        const QRect panel = Find<QLabel>(name)->geometry();
        QVERIFY2(QRect(QPoint(0, 0), bar->size()).contains(panel),
                 qPrintable(QStringLiteral("%1: %2,%3 %4x%5 in %6x%7")
                                .arg(QLatin1String(name))
                                .arg(panel.x())
                                .arg(panel.y())
                                .arg(panel.width())
                                .arg(panel.height())
                                .arg(bar->width())
                                .arg(bar->height())));
    }
    // Room for the top-most text inside the panel's frame, with air for a scaled font.
    Action("mnuFront")->trigger();
    auto* panel1 = Find<QLabel>("stbPanel1");
    QCOMPARE(panel1->text(), QStringLiteral("TopMost"));
    QVERIFY(panel1->fontMetrics().horizontalAdvance(panel1->text()) <=
            panel1->contentsRect().width() - 4);
    QCOMPARE(Find<QLabel>("stbPanel0")->width() + panel1->width(), 240);
}

// ---- base page ----

void FrmMainTest::baseConversion_data() {
    QTest::addColumn<QString>("baseIn");
    QTest::addColumn<QString>("baseOut");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("status");

    const QString done = QStringLiteral("基数変換：変換完了");
    const QString failed = QStringLiteral("Convert Error.");
    QTest::newRow("hex to decimal") << "16"
                                    << "10"
                                    << "ff"
                                    << "255" << done;
    QTest::newRow("decimal to binary") << "10"
                                       << "2"
                                       << "255"
                                       << "11111111" << done;
    QTest::newRow("largest value") << "10"
                                   << "16"
                                   << "9223372036854775807"
                                   << "7FFFFFFFFFFFFFFF" << done;
    QTest::newRow("beyond the largest value") << "10"
                                              << "16"
                                              << "9223372036854775808"
                                              << "0" << failed;
    QTest::newRow("equal base texts copy the input") << "10"
                                                     << "10"
                                                     << "0010"
                                                     << "0010" << done;
    QTest::newRow("different base texts of one base") << "10"
                                                      << "010"
                                                      << "0010"
                                                      << "10" << done;
    QTest::newRow("empty input") << "10"
                                 << "2"
                                 << ""
                                 << "0" << done;
    QTest::newRow("empty base field is ten") << ""
                                             << "16"
                                             << "255"
                                             << "FF" << done;
    QTest::newRow("output base one") << "10"
                                     << "1"
                                     << "5"
                                     << "0" << failed;
    QTest::newRow("output base zero") << "10"
                                      << "0"
                                      << "5"
                                      << "0" << failed;
    QTest::newRow("input base above 36") << "37"
                                         << "10"
                                         << "1"
                                         << "0" << failed;
}

void FrmMainTest::baseConversion() {
    QFETCH(QString, baseIn);
    QFETCH(QString, baseOut);
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(QString, status);
    WriteData();
    Start();
    ShowPage(1);
    Type(Edit("edtBaseInput"), baseIn);
    Type(Edit("edtBaseOutput"), baseOut);
    Type(Edit("edtInputB"), input);
    Press(Edit("edtInputB"), Qt::Key_Return);

    QCOMPARE(Edit("edtOutputB")->text(), output);
    QCOMPARE(Status(), status);
    const QString shownInput = Edit("edtInputB")->text();
    if (status == QStringLiteral("Convert Error.")) {
        QCOMPARE(sounds_, QStringList{QStringLiteral("Exclamation")});
        QVERIFY(ResultText().isEmpty());
    } else {
        QVERIFY(sounds_.isEmpty());
        QCOMPARE(ResultText(),
                 shownInput + " (" + baseIn + ") => " + output + " (" + baseOut + ")\r\n");
    }
    QCOMPARE(shownInput, input.isEmpty() ? QStringLiteral("0") : input.toUpper());
}

void FrmMainTest::baseKeyFilters_data() {
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("hex letters become capitals") << "16"
                                                 << "fgA9z"
                                                 << "FA9";
    QTest::newRow("binary") << "2"
                            << "1021"
                            << "101";
    QTest::newRow("octal") << "8"
                           << "789"
                           << "7";
    QTest::newRow("base 36") << "36"
                             << "zZ!"
                             << "ZZ";
    QTest::newRow("invalid base field keeps the last base") << "99"
                                                            << "129a"
                                                            << "129";
}

void FrmMainTest::baseKeyFilters() {
    QFETCH(QString, base);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    WriteData();
    Start();
    ShowPage(1);
    Type(Edit("edtBaseInput"), base);
    Type(Edit("edtInputB"), typed);
    QCOMPARE(Edit("edtInputB")->text(), shown);

    Type(Edit("edtBaseOutput"), QStringLiteral("1x6 "));
    QCOMPARE(Edit("edtBaseOutput")->text(), QStringLiteral("16"));
}

void FrmMainTest::baseUpDownAndButtons() {
    WriteData();
    WriteSettings(QStringLiteral("[Convert]\nConvDispose=1\n"));
    Start();
    ShowPage(1);
    auto* inputUp = Find<QWidget>("udbBaseInput")->findChild<QToolButton*>(QStringLiteral("up"));
    auto* inputDown =
        Find<QWidget>("udbBaseInput")->findChild<QToolButton*>(QStringLiteral("down"));
    auto* outputUp = Find<QWidget>("udbBaseOutput")->findChild<QToolButton*>(QStringLiteral("up"));
    QVERIFY(inputUp && inputDown && outputUp);

    Type(Edit("edtInputB"), QStringLiteral("15"));
    QCOMPARE(Edit("edtOutputB")->text(), QStringLiteral("15"));
    ResultText().clear();

    // Stepping the input base empties the value, which converts as "0".
    QTest::mouseClick(inputUp, Qt::LeftButton);
    QCOMPARE(Edit("edtBaseInput")->text(), QStringLiteral("11"));
    QCOMPARE(Edit("edtInputB")->text(), QStringLiteral("0"));
    QCOMPARE(Edit("edtOutputB")->text(), QStringLiteral("0"));
    QVERIFY(ResultText().startsWith(QStringLiteral("0 (11) => 0 (10)\r\n")));

    // Stepping the output base converts nothing.
    Type(Edit("edtInputB"), QStringLiteral("A"));
    QCOMPARE(Edit("edtOutputB")->text(), QStringLiteral("10"));
    QTest::mouseClick(outputUp, Qt::LeftButton);
    QCOMPARE(Edit("edtBaseOutput")->text(), QStringLiteral("11"));
    QCOMPARE(Edit("edtOutputB")->text(), QStringLiteral("10"));

    // An output base button converts at once and hands the focus to the value box.
    QTest::mouseClick(Find<QPushButton>("btnBaseOutput2"), Qt::LeftButton);
    QCOMPARE(Edit("edtBaseOutput")->text(), QStringLiteral("2"));
    QCOMPARE(Edit("edtOutputB")->text(), QStringLiteral("1010"));
    QCOMPARE(QApplication::focusWidget(), Edit("edtInputB"));

    // An input base button empties the value; the range holds at both ends.
    QTest::mouseClick(Find<QPushButton>("btnBaseInput2"), Qt::LeftButton);
    QCOMPARE(Edit("edtBaseInput")->text(), QStringLiteral("2"));
    QCOMPARE(Edit("edtInputB")->text(), QStringLiteral("0"));
    // Stepping below the range writes the same text again, which is no change.
    Type(Edit("edtInputB"), QStringLiteral("1"));
    QTest::mouseClick(inputDown, Qt::LeftButton);
    QCOMPARE(Edit("edtBaseInput")->text(), QStringLiteral("2"));
    QCOMPARE(Edit("edtInputB")->text(), QStringLiteral("1"));
    Type(Edit("edtBaseInput"), QStringLiteral("36"));
    QTest::mouseClick(inputUp, Qt::LeftButton);
    QCOMPARE(Edit("edtBaseInput")->text(), QStringLiteral("36"));
    // A base field outside the range steps from the last base it held.
    Type(Edit("edtBaseInput"), QStringLiteral("50"));
    QTest::mouseClick(inputDown, Qt::LeftButton);
    QCOMPARE(Edit("edtBaseInput")->text(), QStringLiteral("35"));
}

// Up and Down in a base field step its base as the up-down buttons do, within 2 to 36.
void FrmMainTest::baseArrowKeysStep() {
    WriteData();
    Start();
    ShowPage(1);
    Type(Edit("edtInputB"), QStringLiteral("7"));
    QLineEdit* base = Edit("edtBaseInput");
    Press(base, Qt::Key_Up);
    QCOMPARE(base->text(), QStringLiteral("11"));
    // The input base changed, so the value was emptied, as with the buttons.
    QCOMPARE(Edit("edtInputB")->text(), QString());
    QTest::keyClick(base, Qt::Key_Down);
    QTest::keyClick(base, Qt::Key_Down);
    QCOMPARE(base->text(), QStringLiteral("9"));
    Type(Edit("edtBaseOutput"), QStringLiteral("36"));
    QTest::keyClick(Edit("edtBaseOutput"), Qt::Key_Up);
    QCOMPARE(Edit("edtBaseOutput")->text(), QStringLiteral("36"));
    Type(Edit("edtBaseOutput"), QStringLiteral("2"));
    QTest::keyClick(Edit("edtBaseOutput"), Qt::Key_Down);
    QCOMPARE(Edit("edtBaseOutput")->text(), QStringLiteral("2"));
}

// ---- shortcuts and commands ----

void FrmMainTest::shortcutsFromInsideControls() {
    WriteData();
    Start();
    Type(Edit("edtInput"), QStringLiteral("2"));
    Choose(List("comOutput"), 2);

    // Enter from a unit list.
    Press(List("comInput"), Qt::Key_Return);
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("200"));

    // Ctrl+C runs the program's copy, not the box's own.
    Edit("edtInput")->selectAll();
    Press(Edit("edtInput"), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("2 [m] => 200 [cm]"));
    QCOMPARE(Status(), QStringLiteral("クリップボードへ送信"));

    // Ctrl+V pastes through the program: an expression arrives as its value.
    QGuiApplication::clipboard()->setText(QStringLiteral("3*4"));
    Press(Edit("edtInput"), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(Edit("edtInput")->text(), QStringLiteral("12"));
    QCOMPARE(Status(), QStringLiteral("単位変換：値の貼り付け完了"));

    // Shift+Enter runs the batch from inside the value box.
    Press(Edit("edtInput"), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(TakeModals(), QStringList{QStringLiteral("変換結果")});
    QCOMPARE(Status(), QStringLiteral("単位変換：一括変換完了"));

    // Ctrl+W shows the results window again; Ctrl+D clears.
    Press(List("comUnits"), Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(TakeModals(), QStringList{QStringLiteral("変換結果")});
    Press(Edit("edtInput"), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(Status(), QStringLiteral("単位変換：クリア完了"));

    // Ctrl+Q ends the program.
    Press(Edit("edtInput"), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!main_->isVisible());
}

void FrmMainTest::disabledCopyShortcutDoesNothing() {
    WriteData();
    Start();
    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    Type(Edit("edtInput"), QStringLiteral("123"));
    Edit("edtInput")->selectAll();
    QVERIFY(!Action("mnuCopy")->isEnabled());
    Press(Edit("edtInput"), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
    QCOMPARE(Status(), QString());
    QCOMPARE(Edit("edtInput")->text(), QStringLiteral("123"));
}

void FrmMainTest::paste_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("status");

    const QString unitDone = QStringLiteral("単位変換：値の貼り付け完了");
    const QString unitFailed = QStringLiteral("単位変換：値の貼り付け失敗");
    const QString baseDone = QStringLiteral("基数変換：値の貼り付け完了");
    const QString baseFailed = QStringLiteral("基数変換：値の貼り付け失敗");
    // The digit grouping of the program's own output is no part of the value.
    QTest::newRow("number with commas and a line break") << 0 << ""
                                                         << "-1,234.5\r\n"
                                                         << "-1234.5" << unitDone;
    QTest::newRow("lines joined") << 0 << ""
                                  << "12\n34"
                                  << "1234" << unitDone;
    QTest::newRow("expression") << 0 << ""
                                << "2*3"
                                << "6" << unitDone;
    QTest::newRow("one third") << 0 << ""
                               << "1/3"
                               << "0.333333333333333333" << unitDone;
    QTest::newRow("small plain number kept") << 0 << ""
                                             << "0.00001"
                                             << "0.00001" << unitDone;
    QTest::newRow("small expression in general notation") << 0 << ""
                                                          << "1/100000"
                                                          << "1E-5" << unitDone;
    QTest::newRow("prefixed number") << 0 << ""
                                     << "2k"
                                     << "2000" << unitDone;
    QTest::newRow("full-width digits") << 0 << ""
                                       << "１２３"
                                       << "123" << unitDone;
    QTest::newRow("full-width expression") << 0 << ""
                                           << "２＊３"
                                           << "6" << unitDone;
    QTest::newRow("not a value") << 0 << ""
                                 << "abc"
                                 << "keep" << unitFailed;
    QTest::newRow("division by zero") << 0 << ""
                                      << "1/0"
                                      << "keep" << unitFailed;
    QTest::newRow("empty text") << 0 << ""
                                << ""
                                << "keep" << unitFailed;
    QTest::newRow("hex digits kept in lower case") << 1 << "16"
                                                   << "ff\r\n"
                                                   << "ff" << baseDone;
    QTest::newRow("not hex") << 1 << "16"
                             << "fg"
                             << "keep" << baseFailed;
    QTest::newRow("full-width hex digits") << 1 << "16"
                                           << "ｆｆ"
                                           << "ff" << baseDone;
    QTest::newRow("not binary") << 1 << "2"
                                << "102"
                                << "keep" << baseFailed;
    QTest::newRow("only line breaks") << 1 << "10"
                                      << "\r\n"
                                      << "keep" << baseFailed;
}

void FrmMainTest::paste() {
    QFETCH(int, page);
    QFETCH(QString, base);
    QFETCH(QString, clipboard);
    QFETCH(QString, box);
    QFETCH(QString, status);
    WriteData();
    Start();
    ShowPage(page);
    QLineEdit* target = Edit(page == 0 ? "edtInput" : "edtInputB");
    if (page == 1)
        Type(Edit("edtBaseInput"), base);
    target->setText(QStringLiteral("keep"));
    QGuiApplication::clipboard()->setText(clipboard);
    Press(target, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(target->text(), box);
    QCOMPARE(Status(), status);
    const bool failed = status.endsWith(QStringLiteral("失敗"));
    QCOMPARE(sounds_, failed ? QStringList{QStringLiteral("Exclamation")} : QStringList{});
    // Manual conversion: a paste converts nothing.
    QVERIFY(ResultText().isEmpty());
}

void FrmMainTest::pasteWithoutText() {
    WriteData();
    Start();
    Type(Edit("edtInput"), QStringLiteral("5"));
    QGuiApplication::clipboard()->clear();
    Press(Edit("edtInput"), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(sounds_, QStringList{QStringLiteral("Exclamation")});
    QCOMPARE(Status(), QString());
    QCOMPARE(Edit("edtInput")->text(), QStringLiteral("5"));
}

void FrmMainTest::pasteConvertsTwiceWithConvDispose() {
    WriteData();
    WriteSettings(QStringLiteral("[Convert]\nConvDispose=1\n"));
    Start();
    Choose(List("comOutput"), 1);
    ResultText().clear();
    QGuiApplication::clipboard()->setText(QStringLiteral("1500"));
    Action("mnuPaste")->trigger();
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("1.5"));
    // The change handler converts, then the paste itself converts.
    QCOMPARE(ResultText(), QStringLiteral("1500 [m] => 1.5 [km]\r\n1500 [m] => 1.5 [km]\r\n"));
    QCOMPARE(Status(), QStringLiteral("単位変換：変換完了"));

    ShowPage(1);
    ResultText().clear();
    QGuiApplication::clipboard()->setText(QStringLiteral("77"));
    Action("mnuPaste")->trigger();
    QCOMPARE(Edit("edtOutputB")->text(), QStringLiteral("77"));
    QCOMPARE(ResultText(), QStringLiteral("77 (10) => 77 (10)\r\n77 (10) => 77 (10)\r\n"));
}

void FrmMainTest::copy() {
    WriteData();
    Start();
    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    Action("mnuCopy")->setEnabled(true);
    Action("mnuCopy")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    QCOMPARE(Status(), QStringLiteral("クリップボードへ送信"));

    ResultText() = QStringLiteral("a [m] => b [m]\r\n\tResult = x \t\r\n\r\n");
    Action("mnuCopy")->trigger();
    // The clipboard gets the desktop's LF; the report itself keeps CR LF.
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("a [m] => b [m]\n\tResult = x"));
    QVERIFY(ResultText().startsWith(QStringLiteral("a [m] => b [m]\r\n")));
}

void FrmMainTest::clear() {
    WriteData();
    Start();
    Choose(List("comInput"), 1);
    Choose(List("comOutput"), 2);
    Type(Edit("edtInput"), QStringLiteral("3"));
    Press(Edit("edtInput"), Qt::Key_Return);
    const QString report = ResultText();
    Action("mnuClear")->trigger();
    QCOMPARE(Edit("edtInput")->text(), QString());
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("0"));
    QCOMPARE(List("comInput")->currentIndex(), 0);
    QCOMPARE(List("comOutput")->currentIndex(), 0);
    QCOMPARE(Status(), QStringLiteral("単位変換：クリア完了"));
    QCOMPARE(sounds_, QStringList{QStringLiteral("Asterisk")});
    QCOMPARE(ResultText(), report);
    QVERIFY(Action("mnuCopy")->isEnabled());

    ShowPage(1);
    sounds_.clear();
    Type(Edit("edtBaseInput"), QStringLiteral("16"));
    Type(Edit("edtBaseOutput"), QStringLiteral("2"));
    Type(Edit("edtInputB"), QStringLiteral("F"));
    Press(Edit("edtInputB"), Qt::Key_Return);
    QCOMPARE(Edit("edtOutputB")->text(), QStringLiteral("1111"));
    Action("mnuClear")->trigger();
    QCOMPARE(Edit("edtInputB")->text(), QString());
    QCOMPARE(Edit("edtOutputB")->text(), QStringLiteral("0"));
    QCOMPARE(Edit("edtBaseInput")->text(), QStringLiteral("10"));
    QCOMPARE(Edit("edtBaseOutput")->text(), QStringLiteral("10"));
    QCOMPARE(Status(), QStringLiteral("基数変換：クリア完了"));
    QCOMPARE(sounds_, QStringList{QStringLiteral("Asterisk")});
}

void FrmMainTest::topMost() {
    WriteData();
    Start();
    Press(Edit("edtInput"), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(Action("mnuFront")->isChecked());
    QCOMPARE(TopMostPanel(), QStringLiteral("TopMost"));
    QVERIFY(TopMostMode);
    QVERIFY(main_->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(main_->isVisible());
    Action("mnuFront")->trigger();
    QVERIFY(!Action("mnuFront")->isChecked());
    QCOMPARE(TopMostPanel(), QStringLiteral("-"));
    QVERIFY(!TopMostMode);
    QVERIFY(!main_->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

void FrmMainTest::dataReRead() {
    WriteData();
    Start();
    Choose(List("comUnits"), 2);
    ShowPage(1);
    Type(Edit("edtInputB"), QStringLiteral("5"));
    Press(Edit("edtInputB"), Qt::Key_Return);
    const QString report = ResultText();

    // A renamed group, one more group, and no prefixes any more.
    WriteData(">>\r\nA\r\na1,$i,$t,\r\n<<\r\n>>\r\nB\r\nb1,$i,$t,\r\nb2,$i,$t,\r\n<<\r\n"
              ">>\r\nC 改\r\nc1,$i,$t,\r\nc2,$i,$t,\r\n<<\r\n>>\r\nD\r\nd1,$i,$t,\r\n<<\r\n",
              nullptr);
    QFile::remove(dir_->filePath(QStringLiteral("prefix.dat")));
    Press(Edit("edtInputB"), Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(TakeModals(), QStringList{QStringLiteral("警告")});
    QCOMPARE(Status(), QStringLiteral("Data Refreshed."));
    QCOMPARE(Find<QTabWidget>("PageControl")->currentIndex(), 1);
    QCOMPARE(main_->windowTitle(), QStringLiteral("Tenvari - C 改"));
    QCOMPARE(List("comUnits")->count(), 4);
    QCOMPARE(List("comInput")->currentText(), QStringLiteral("c1"));
    QCOMPARE(ResultText(), report);
    QVERIFY(Action("mnuOtherWinShow")->isEnabled());

    // Prefixes are off now: the key filter drops letters.
    ShowPage(0);
    Type(Edit("edtInput"), QStringLiteral("5k"));
    QCOMPARE(Edit("edtInput")->text(), QStringLiteral("5"));

    // Fewer groups than the noted position: the first group is taken.
    Choose(List("comUnits"), 3);
    WriteData(">>\r\nOnly\r\no,$i,$t,\r\n<<\r\n");
    Action("mnuDataReRead")->trigger();
    QCOMPARE(List("comUnits")->currentIndex(), 0);
    QCOMPARE(main_->windowTitle(), QStringLiteral("Tenvari - Only"));
    QCOMPARE(List("comOutput")->currentText(), QStringLiteral("o"));
}

void FrmMainTest::dataReReadFailure() {
    WriteData();
    Start();
    Choose(List("comUnits"), 1);
    QFile::remove(dir_->filePath(QStringLiteral("units.dat")));
    Action("mnuDataReRead")->trigger();
    QCOMPARE(modals_.size(), 1);
    QCOMPARE(modals_.takeFirst().title, QStringLiteral("エラー"));
    QVERIFY(!main_->isVisible());
    QVERIFY(main_->UnitsLoadFailed());
    QVERIFY(SettingsText().contains(QStringLiteral("LastUnits=1")));
}

void FrmMainTest::help_data() {
    QTest::addColumn<bool>("chm");
    QTest::addColumn<bool>("readme");
    QTest::addColumn<QString>("opened");
    QTest::newRow("both files: the help file") << true << true << "tvhelp.chm";
    QTest::newRow("text only") << false << true << "readme.txt";
    QTest::newRow("help only") << true << false << "tvhelp.chm";
    QTest::newRow("neither") << false << false << "";
    QTest::newRow("no program to open it") << false << true << "readme.txt";
}

void FrmMainTest::help() {
    QFETCH(bool, chm);
    QFETCH(bool, readme);
    QFETCH(QString, opened);
    WriteData();
    if (chm)
        WriteFile(QStringLiteral("tvhelp.chm"), "x");
    if (readme)
        WriteFile(QStringLiteral("readme.txt"), "x");
    Start();
    const bool noProgram = QByteArray(QTest::currentDataTag()) == "no program to open it";
    if (noProgram)
        SetUrlOpener([this](const QUrl& url) {
            opened_.append(url);
            return false;
        });
    Press(Edit("edtInput"), Qt::Key_F1);
    if (noProgram) {
        SetUrlOpener([this](const QUrl& url) {
            opened_.append(url);
            return true;
        });
        QCOMPARE(modals_.size(), 1);
        const tv::test::TSeenModal box = modals_.takeFirst();
        QCOMPARE(box.title, QStringLiteral("警告"));
        QCOMPARE(box.text,
                 QStringLiteral("次のファイルを開くプログラムが見つかりませんでした。\n\n") +
                     dir_->filePath(opened));
    }
    if (opened.isEmpty()) {
        QVERIFY(opened_.isEmpty());
        QCOMPARE(modals_.size(), 1);
        const tv::test::TSeenModal box = modals_.takeFirst();
        QCOMPARE(box.title, QStringLiteral("警告"));
        QCOMPARE(box.text, QStringLiteral("ヘルプファイルがありません。"));
    } else {
        QCOMPARE(opened_, QList<QUrl>{QUrl::fromLocalFile(dir_->filePath(opened))});
    }
}

void FrmMainTest::settingsCommandRereadsConvertKeys() {
    WriteData();
    Start();
    Type(Edit("edtInput"), QStringLiteral("1"));
    bool shown = false;
    guard_.Expect([&](QWidget* modal) {
        shown = qobject_cast<TTvFrmSet*>(modal) != nullptr;
        // Another copy of the program saves its settings while the dialog is open.
        WriteSettings(QStringLiteral("[Convert]\nConvDispose=1\nShowAns=1\n"));
        qobject_cast<QDialog*>(modal)->reject();
    });
    Press(Edit("edtInput"), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(shown);
    QTest::keyClicks(Edit("edtInput"), QStringLiteral("2"));
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("1.20E+01"));
}

void FrmMainTest::aboutCommand() {
    WriteData();
    Start();
    bool shown = false;
    guard_.Expect([&](QWidget* modal) {
        shown = qobject_cast<TTvFrmAbout*>(modal) != nullptr;
        modal->close();
    });
    Action("mnuAbout")->trigger();
    QVERIFY(shown);
}

// ---- batch ----

void FrmMainTest::unitBatch_data() {
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("report");
    QTest::newRow("report lines") << ""
                                  << "2 [km] => 2000 [m]\n"
                                     "2 [km] => 2 [km]\n"
                                     "2 [km] => 200000 [cm]\n";
    QTest::newRow("with formula lines")
        << "[Convert]\nShowExp=1\n"
        << "2 [km] => 2000 [m]\n\tResult = (2*1000)\n"
           "2 [km] => 2 [km]\n\t同じ単位のため変換を行っていません。\n"
           "2 [km] => 200000 [cm]\n\tResult = (2*1000)*100\n";
}

void FrmMainTest::unitBatch() {
    QFETCH(QString, settings);
    QFETCH(QString, report);
    WriteData();
    WriteSettings(settings);
    Start();
    Choose(List("comInput"), 1);
    Choose(List("comOutput"), 2);
    Type(Edit("edtInput"), QStringLiteral("2"));
    ResultText() = QStringLiteral("old\r\n");

    Press(Edit("edtInput"), Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
    QCOMPARE(modals_.size(), 1);
    const tv::test::TSeenModal window = modals_.takeFirst();
    QCOMPARE(window.title, QStringLiteral("変換結果"));
    QCOMPARE(window.text, report);
    QCOMPARE(ResultText(), QString(report).replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
    QCOMPARE(Status(), QStringLiteral("単位変換：一括変換完了"));
    QCOMPARE(sounds_, QStringList{QStringLiteral("Asterisk")});
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("0"));
    QCOMPARE(List("comOutput")->currentIndex(), 0);
    QCOMPARE(List("comInput")->currentIndex(), 1);
    QCOMPARE(Edit("edtInput")->text(), QStringLiteral("2"));
    QVERIFY(Action("mnuCopy")->isEnabled());
    QVERIFY(Action("mnuOtherWinShow")->isEnabled());

    // The batch is over: Enter starts a new report.
    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(ResultText(),
             QStringLiteral("2 [km] => 2000 [m]\r\n") +
                 (settings.isEmpty() ? QString() : QStringLiteral("\tResult = (2*1000)\r\n")));
}

void FrmMainTest::unitBatchWithBadInput() {
    WriteData();
    Start();
    Type(Edit("edtInput"), QStringLiteral("2x"));
    Action("mnuAConv")->trigger();
    QCOMPARE(modals_.size(), 1);
    QCOMPARE(modals_.takeFirst().text, QString());
    QCOMPARE(sounds_, (QStringList{QStringLiteral("Exclamation"), QStringLiteral("Exclamation"),
                                   QStringLiteral("Exclamation"), QStringLiteral("Asterisk")}));
    QCOMPARE(Status(), QStringLiteral("単位変換：一括変換完了"));
}

void FrmMainTest::baseBatch() {
    WriteData();
    Start();
    ShowPage(1);
    Type(Edit("edtInputB"), QStringLiteral("255"));
    Type(Edit("edtBaseOutput"), QStringLiteral("7"));
    Press(Edit("edtInputB"), Qt::Key_Return, Qt::ShiftModifier);

    QCOMPARE(modals_.size(), 1);
    const QStringList lines = modals_.takeFirst().text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 35);
    for (int base = 2; base <= 36; ++base) {
        const QString expected = QStringLiteral("255 (10) => %1 (%2)")
                                     .arg(QString::number(255, base).toUpper())
                                     .arg(base);
        QCOMPARE(lines.at(base - 2), expected);
    }
    QCOMPARE(Status(), QStringLiteral("基数変換：一括変換完了"));
    QCOMPARE(Edit("edtOutputB")->text(), QStringLiteral("0"));
    QCOMPARE(Edit("edtBaseOutput")->text(), QStringLiteral("10"));
    QCOMPARE(Edit("edtInputB")->text(), QStringLiteral("255"));
    QCOMPARE(sounds_, QStringList{QStringLiteral("Asterisk")});
    QVERIFY(Action("mnuCopy")->isEnabled());
}

void FrmMainTest::batchEndedByFailure() {
    WriteData();
    Start();
    Choose(List("comUnits"), 1);
    Type(Edit("edtInput"), QStringLiteral("3"));
    Action("mnuAConv")->trigger();
    // The third unit's formula is an invalid operation: the batch stops there.
    QCOMPARE(std::exchange(errors_, {}),
             QStringList{QStringLiteral("不正な浮動小数点数演算命令.")});
    QVERIFY(modals_.isEmpty());
    QVERIFY(sounds_.isEmpty());
    QCOMPARE(Status(), QStringLiteral("単位変換：変換完了"));
    QCOMPARE(ResultText(), QStringLiteral("3 [g] => 3 [g]\r\n3 [g] => 0.003 [kg]\r\n"));
    QVERIFY(!Action("mnuCopy")->isEnabled());
    QVERIFY(!Action("mnuOtherWinShow")->isEnabled());

    // No batch is left running: Enter empties the report again.
    Choose(List("comOutput"), 1);
    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(ResultText(), QStringLiteral("3 [g] => 0.003 [kg]\r\n"));
}

// ---- unit search, swap, value copy, whole names ----

void FrmMainTest::findUnit_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("convDispose");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("key"); // Qt::Key_Return, with Shift when shift is set
    QTest::addColumn<bool>("shift");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("units");  // source and target unit, "source>target"
    QTest::addColumn<QString>("values"); // input and output box, "input>output"
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("report");
    QTest::addColumn<QStringList>("sounds");

    const int enter = Qt::Key_Return;
    QTest::newRow("source in another group: the group change runs first")
        << 0 << 0 << "5"
        << "kg" << enter << false << "重さ"
        << "kg>g"
        << ">0"
        << "変換前の単位：kg"
        << "" << QStringList();
    QTest::newRow("target in the loaded group keeps the input") << 0 << 0 << "5"
                                                                << "ｃｍ" << enter << true << "長さ"
                                                                << "m>cm"
                                                                << "5>0"
                                                                << "変換後の単位：cm"
                                                                << "" << QStringList();
    QTest::newRow("converting on change: the choice converts") << 0 << 1 << "2"
                                                               << "cm" << enter << true << "長さ"
                                                               << "m>cm"
                                                               << "2>200"
                                                               << "変換後の単位：cm"
                                                               << "2 [m] => 200 [cm]\r\n"
                                                               << QStringList();
    QTest::newRow("converting on change, another group: as choosing the group, then the unit")
        << 0 << 1 << "2"
        << "kg" << enter << false << "重さ"
        << "kg>g"
        << "0>0"
        << "変換前の単位：kg"
        << "0 [g] => 0 [g]\r\n0 [g] => 0 [g]\r\n0 [kg] => 0 [g]\r\n"
        << QStringList();
    QTest::newRow("converting on change: a failure keeps its status")
        << 0 << 1 << "1/0"
        << "km" << enter << false << "長さ"
        << "km>m"
        << "1/0>1"
        << "ZeroDivide Error."
        << "" << QStringList{QStringLiteral("Exclamation")};
    QTest::newRow("from the base page: the unit page is shown")
        << 1 << 0 << ""
        << "only" << enter << false << "一つ"
        << "only>only"
        << ">0"
        << "変換前の単位：only"
        << "" << QStringList();
    QTest::newRow("Escape changes nothing") << 0 << 0 << "5"
                                            << "kg" << int(Qt::Key_Escape) << false << "長さ"
                                            << "m>m"
                                            << "5>0"
                                            << ""
                                            << "" << QStringList();
}

void FrmMainTest::findUnit() {
    QFETCH(int, page);
    QFETCH(int, convDispose);
    QFETCH(QString, typed);
    QFETCH(QString, filter);
    QFETCH(int, key);
    QFETCH(bool, shift);
    QFETCH(QString, group);
    QFETCH(QString, units);
    QFETCH(QString, values);
    QFETCH(QString, status);
    QFETCH(QString, report);
    QFETCH(QStringList, sounds);
    WriteData();
    WriteSettings(QStringLiteral("[Convert]\nConvDispose=%1\n").arg(convDispose));
    Start();
    if (!typed.isEmpty())
        Type(Edit("edtInput"), typed);
    ShowPage(page);
    ResultText().clear();
    sounds_.clear();

    FindUnit(Edit(page == 0 ? "edtInput" : "edtInputB"), filter, key,
             shift ? Qt::ShiftModifier : Qt::NoModifier);
    QCOMPARE(Find<QTabWidget>("PageControl")->currentIndex(), 0);
    QCOMPARE(List("comUnits")->currentText(), group);
    QCOMPARE(main_->windowTitle(), QStringLiteral("Tenvari - ") + group);
    QCOMPARE(List("comInput")->currentText() + QLatin1Char('>') + List("comOutput")->currentText(),
             units);
    QCOMPARE(Edit("edtInput")->text() + QLatin1Char('>') + Edit("edtOutput")->text(), values);
    QCOMPARE(Status(), status);
    QCOMPARE(ResultText(), report);
    QCOMPARE(sounds_, sounds);
    // Neither a conversion command nor a page change of its own: the menu states stay.
    QVERIFY(!Action("mnuCopy")->isEnabled());
}

// Enter on a whole query in the unit search fills the unit page with it and converts, as Enter
// on the page would, whatever ConvDispose says.
void FrmMainTest::findQuery_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("convDispose");
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("units");  // "source>target"
    QTest::addColumn<QString>("values"); // "input>output"
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("report");
    QTest::addColumn<QStringList>("sounds");

    QTest::newRow("manual conversion, from the base page")
        << 1 << 0 << "5 km to m" << false << "長さ"
        << "km>m"
        << "5>5000"
        << "単位変換：「5 km to m」を変換完了"
        << "5 [km] => 5000 [m]\r\n"
        << QStringList();
    QTest::newRow("converting on change, another group: one report")
        << 0 << 1 << "2 kg を g に" << true << "重さ"
        << "kg>g"
        << "2>2000"
        << "単位変換：「2 kg を g に」を変換完了"
        << "2 [kg] => 2000 [g]\r\n"
        << QStringList();
    QTest::newRow("a sum, in the unit of its last term")
        << 0 << 0 << "1 km 5 m to cm" << false << "長さ"
        << "m>cm"
        << "1005>100500"
        << "単位変換：「1 km 5 m to cm」を変換完了"
        << "1005 [m] => 100500 [cm]\r\n"
        << QStringList();
    QTest::newRow("a mixed target: its first unit, and the whole result in the status")
        << 0 << 0 << "1500 m to km;m" << false << "長さ"
        << "m>km"
        << "1500>1.5"
        << "単位変換：「1500 m to km;m」を変換完了（1 [km] 500 [m]）"
        << "1500 [m] => 1.5 [km]\r\n"
        << QStringList();
    QTest::newRow("a failure keeps its status") << 0 << 0 << "1/0 km to m" << false << "長さ"
                                                << "km>m"
                                                << "1/0>0"
                                                << "ZeroDivide Error."
                                                << "" << QStringList{QStringLiteral("Exclamation")};
}

void FrmMainTest::findQuery() {
    QFETCH(int, page);
    QFETCH(int, convDispose);
    QFETCH(QString, query);
    QFETCH(bool, shift);
    QFETCH(QString, group);
    QFETCH(QString, units);
    QFETCH(QString, values);
    QFETCH(QString, status);
    QFETCH(QString, report);
    QFETCH(QStringList, sounds);
    WriteData();
    WriteSettings(QStringLiteral("[Convert]\nConvDispose=%1\n").arg(convDispose));
    Start();
    ShowPage(page);
    ResultText() = QStringLiteral("earlier\r\n");
    sounds_.clear();

    FindUnit(Edit(page == 0 ? "edtInput" : "edtInputB"), query, Qt::Key_Return,
             shift ? Qt::ShiftModifier : Qt::NoModifier);
    QCOMPARE(Find<QTabWidget>("PageControl")->currentIndex(), 0);
    QCOMPARE(List("comUnits")->currentText(), group);
    QCOMPARE(List("comInput")->currentText() + QLatin1Char('>') + List("comOutput")->currentText(),
             units);
    QCOMPARE(Edit("edtInput")->text() + QLatin1Char('>') + Edit("edtOutput")->text(), values);
    QCOMPARE(Status(), status);
    QCOMPARE(ResultText(), report);
    QCOMPARE(sounds_, sounds);
    // As after Enter on the page.
    QVERIFY(Action("mnuCopy")->isEnabled());
    QVERIFY(Action("mnuOtherWinShow")->isEnabled());
}

void FrmMainTest::newShortcutsFromInsideControls() {
    WriteData();
    Start();
    // Ctrl+K deletes to the end of the line in an edit box; here the search takes it.
    QLineEdit* input = Edit("edtInput");
    Type(input, QStringLiteral("123"));
    input->setCursorPosition(0);
    FindUnit(input, QStringLiteral("km"), Qt::Key_Return);
    QCOMPARE(input->text(), QStringLiteral("123"));
    QCOMPARE(List("comInput")->currentText(), QStringLiteral("km"));

    Press(List("comOutput"), Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(List("comInput")->currentText(), QStringLiteral("m"));
    QCOMPARE(List("comOutput")->currentText(), QStringLiteral("km"));

    Press(input, Qt::Key_Return);
    Press(List("comUnits"), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("0.123"));

    FindUnit(List("comInput"), QStringLiteral("g"), Qt::Key_Return);
    QCOMPARE(List("comUnits")->currentText(), QStringLiteral("重さ"));
}

void FrmMainTest::swapUnits_data() {
    QTest::addColumn<int>("convDispose");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("report");
    QTest::newRow("manual conversion: only the units change") << 0 << "0"
                                                              << "";
    QTest::newRow("converting on change: converts once") << 1 << "3E-5"
                                                         << "3 [cm] => 3E-5 [km]\r\n";
}

void FrmMainTest::swapUnits() {
    QFETCH(int, convDispose);
    QFETCH(QString, output);
    QFETCH(QString, report);
    WriteData();
    WriteSettings(QStringLiteral("[Convert]\nConvDispose=%1\n").arg(convDispose));
    Start();
    Choose(List("comInput"), 1);
    Choose(List("comOutput"), 2);
    Type(Edit("edtInput"), QStringLiteral("3"));
    ResultText().clear();

    Press(Edit("edtInput"), Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(List("comInput")->currentText(), QStringLiteral("cm"));
    QCOMPARE(List("comOutput")->currentText(), QStringLiteral("km"));
    QCOMPARE(Edit("edtInput")->text(), QStringLiteral("3"));
    QCOMPARE(Edit("edtOutput")->text(), output);
    QCOMPARE(ResultText(), report);
    QCOMPARE(Status(), QStringLiteral("単位変換：単位の入れ替え完了"));
    QVERIFY(sounds_.isEmpty());
    QVERIFY(!Action("mnuCopy")->isEnabled());

    // Twice is where it started.
    Action("mnuSwap")->trigger();
    QCOMPARE(List("comInput")->currentText(), QStringLiteral("km"));
    QCOMPARE(List("comOutput")->currentText(), QStringLiteral("cm"));
}

void FrmMainTest::swapBases_data() {
    QTest::addColumn<int>("convDispose");
    QTest::addColumn<QString>("bases"); // input and output base before the swap, "16>2"
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("status");

    const QString swapped = QStringLiteral("基数変換：基数の入れ替え完了");
    QTest::newRow("manual conversion: the value stays") << 0 << "16>2"
                                                        << "F"
                                                        << "0" << swapped;
    QTest::newRow("converting on change: the value in the new input base")
        << 1 << "2>16"
        << "101"
        << "100000001" << swapped;
    // 1 and 13 zeros: 8192 in base 2, beyond 2^63 in base 36.
    QTest::newRow("converting on change: a value the new base cannot hold") << 1 << "2>36"
                                                                            << "10000000000000"
                                                                            << "keep"
                                                                            << "Convert Error.";
}

void FrmMainTest::swapBases() {
    QFETCH(int, convDispose);
    QFETCH(QString, bases);
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(QString, status);
    WriteData();
    WriteSettings(QStringLiteral("[Convert]\nConvDispose=%1\n").arg(convDispose));
    Start();
    ShowPage(1);
    const QStringList pair = bases.split(QLatin1Char('>'));
    Type(Edit("edtBaseInput"), pair.at(0));
    Type(Edit("edtBaseOutput"), pair.at(1));
    Type(Edit("edtInputB"), input);
    const QString before = Edit("edtOutputB")->text();
    sounds_.clear();

    Press(Edit("edtInputB"), Qt::Key_T, Qt::ControlModifier);
    QCOMPARE(Edit("edtBaseInput")->text(), pair.at(1));
    QCOMPARE(Edit("edtBaseOutput")->text(), pair.at(0));
    QCOMPARE(Edit("edtInputB")->text(), input);
    QCOMPARE(Edit("edtOutputB")->text(), output == QLatin1String("keep") ? before : output);
    QCOMPARE(Status(), status);
    const bool failed = status.endsWith(QLatin1String("Error."));
    QCOMPARE(sounds_, failed ? QStringList{QStringLiteral("Exclamation")} : QStringList{});
}

void FrmMainTest::copyValue_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("copied");
    QTest::newRow("unit page, digit grouping as shown") << 0 << "1234.5"
                                                        << "1,234,500";
    QTest::newRow("base page") << 1 << "255"
                               << "FF";
}

void FrmMainTest::copyValue() {
    QFETCH(int, page);
    QFETCH(QString, value);
    QFETCH(QString, copied);
    WriteData();
    WriteSettings(QStringLiteral("[Convert]\nShowAns=2\n"));
    Start();
    Choose(List("comInput"), 1);
    ShowPage(page);
    Type(Edit("edtBaseOutput"), QStringLiteral("16"));
    QLineEdit* box = Edit(page == 0 ? "edtInput" : "edtInputB");
    Type(box, value);
    Press(box, Qt::Key_Return);
    const QString report = ResultText();

    Press(box, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    QCOMPARE(Status(), QStringLiteral("クリップボードへ送信"));
    QVERIFY(sounds_.isEmpty());
    QCOMPARE(ResultText(), report);
}

// An output box whose text is not the result of the current input says so until the next success
// or clear: greyed, described as "前回の結果" to screen readers, and Ctrl+Shift+C refuses to copy
// it with the exclamation beep.
void FrmMainTest::staleOutput_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("convDispose");
    QTest::addColumn<QString>("steps"); // typed texts and keys: "text", Enter, ^T (swap), ^D
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("stale");
    QTest::newRow("a failure keeps the last result") << 0 << 0 << "5|Enter|5/0|Enter"
                                                     << "5" << true;
    QTest::newRow("converting on change: a failure") << 0 << 1 << "5|5/0"
                                                     << "5" << true;
    QTest::newRow("a new input not yet converted") << 0 << 0 << "5|Enter|6"
                                                   << "5" << true;
    QTest::newRow("the next success") << 0 << 0 << "5|Enter|5/0|Enter|6|Enter"
                                      << "6" << false;
    QTest::newRow("a clear") << 0 << 0 << "5|Enter|5/0|Enter|^D"
                             << "0" << false;
    QTest::newRow("a batch leaves a 0 that is no result") << 0 << 0 << "5|Enter|+Enter"
                                                          << "0" << true;
    QTest::newRow("base page: swapped bases, manual") << 1 << 0 << "255|Enter|^T"
                                                      << "FF" << true;
    QTest::newRow("base page: swapped bases, on change") << 1 << 1 << "255|^T"
                                                         << "597" << false;
}

void FrmMainTest::staleOutput() {
    QFETCH(int, page);
    QFETCH(int, convDispose);
    QFETCH(QString, steps);
    QFETCH(QString, output);
    QFETCH(bool, stale);
    WriteData();
    WriteSettings(QStringLiteral("[Convert]\nConvDispose=%1\n").arg(convDispose));
    Start();
    auto* box = Find<TAlEdit>(page == 0 ? "edtOutput" : "edtOutputB");
    const QColor normal = box->palette().color(QPalette::Text);
    ShowPage(page);
    if (page == 1)
        Type(Edit("edtBaseOutput"), QStringLiteral("16"));
    QLineEdit* input = Edit(page == 0 ? "edtInput" : "edtInputB");
    guard_.Expect([](QWidget* modal) { qobject_cast<QDialog*>(modal)->accept(); });
    for (const QString& step : steps.split(QLatin1Char('|'))) {
        if (step == QLatin1String("Enter"))
            Press(input, Qt::Key_Return);
        else if (step == QLatin1String("+Enter"))
            Press(input, Qt::Key_Return, Qt::ShiftModifier);
        else if (step.startsWith(QLatin1Char('^')))
            Press(input, step.at(1).unicode(), Qt::ControlModifier);
        else
            Type(input, step);
    }
    guard_.Expect({});
    QCOMPARE(box->text(), output);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box);
    QCOMPARE(accessible->text(QAccessible::Description),
             stale ? QStringLiteral("前回の結果") : QString());
    // The value stays readable: only its colour changes.
    QCOMPARE(accessible->text(QAccessible::Value), output);
    const QColor shown = box->palette().color(QPalette::Text);
    QCOMPARE(shown != normal, stale);

    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    const QString status = Status();
    sounds_.clear();
    Press(input, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), stale ? QStringLiteral("old") : output);
    QCOMPARE(sounds_, stale ? QStringList{QStringLiteral("Exclamation")} : QStringList{});
    QCOMPARE(Status(), stale ? status : QStringLiteral("クリップボードへ送信"));
}

// With digit grouping the program's own output pastes back as a value and converts.
void FrmMainTest::groupedOutputPastesBack() {
    WriteData();
    WriteSettings(QStringLiteral("[Convert]\nShowAns=2\n"));
    Start();
    QLineEdit* input = Edit("edtInput");
    Type(input, QStringLiteral("1234567"));
    Press(input, Qt::Key_Return);
    Press(input, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("1,234,567"));
    Type(input, QString());
    Press(input, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(input->text(), QStringLiteral("1234567"));
    QCOMPARE(Status(), QStringLiteral("単位変換：値の貼り付け完了"));
    Press(input, Qt::Key_Return);
    QCOMPARE(Status(), QStringLiteral("単位変換：変換完了"));
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("1,234,567"));
    QVERIFY(sounds_.isEmpty());
}

void FrmMainTest::copyEmptyValueBeeps() {
    WriteData();
    Start();
    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    Edit("edtOutput")->clear();
    Press(Edit("edtInput"), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("old"));
    QCOMPARE(sounds_, QStringList{QStringLiteral("Exclamation")});
    QCOMPARE(Status(), QString());
}

void FrmMainTest::unitListsShowWholeNames() {
    const QString longName =
        QStringLiteral("英熱量単位インチ毎平方フィート毎時毎華氏度 [BTU・in/(ft2・h・°F)]");
    const QString hugeName = QString(400, QLatin1Char('W'));
    const std::string units = ">>\r\n熱伝導率\r\n\"short [s]\",$i,$t,\r\n\"" +
                              longName.toStdString() + "\",$i,$t,\"1 BTU・in = 0.144 W・m\"\r\n" +
                              hugeName.toStdString() + ",$i,$t,\r\n<<\r\n";
    WriteData(units.c_str());
    Start();
    QComboBox* list = List("comInput");
    QCOMPARE(list->itemData(0, Qt::ToolTipRole).toString(), QStringLiteral("short [s]"));
    QCOMPARE(list->itemData(1, Qt::ToolTipRole).toString(),
             longName + QStringLiteral("\n1 BTU・in = 0.144 W・m"));
    // The closed list names its chosen unit, also after a choice by the program.
    QCOMPARE(list->toolTip(), QStringLiteral("short [s]"));
    Choose(list, 1);
    QCOMPARE(list->toolTip(), longName + QStringLiteral("\n1 BTU・in = 0.144 W・m"));
    QCOMPARE(List("comOutput")->toolTip(), QStringLiteral("short [s]"));
    Press(Edit("edtInput"), Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(list->toolTip(), QStringLiteral("short [s]"));

    // The open list is wider than the closed one: as wide as the long name, but the huge one
    // is held to the screen.
    list->showPopup();
    QAbstractItemView* view = list->view();
    QTRY_VERIFY(view->isVisible());
    const int screenWidth = list->screen()->availableGeometry().width();
    QVERIFY(view->fontMetrics().horizontalAdvance(hugeName) > screenWidth);
    QVERIFY2(view->viewport()->width() >= view->fontMetrics().horizontalAdvance(longName),
             qPrintable(QString::number(view->viewport()->width())));
    QVERIFY(view->window()->width() <= screenWidth);
    list->hidePopup();
    // The target list holds the same units and opens as wide.
    QCOMPARE(List("comOutput")->view()->minimumWidth(), view->minimumWidth());
}

// ---- the user's units ----

void FrmMainTest::userUnitsInTheirGroups() {
    WriteData(kUnits, "k,1000\r\n");
    // UTF-8 without a byte-order mark, as a Linux editor writes it.
    WriteUserFile(QStringLiteral("units.dat"),
                  ">>\n長さ\n\"キュビット [cubit]\",$i*0.4572,$t/0.4572,\"18 in\"\n<<\n"
                  ">>\nユーザー単位\n\"ひと抱え [hug]\",$i*1.6,$t/1.6,\n<<\n");
    WriteUserFile(QStringLiteral("prefix.dat"), "Q,1E30\n");
    Start();
    QComboBox* groups = List("comUnits");
    QCOMPARE(groups->count(), 4);
    QCOMPARE(groups->itemText(0), QStringLiteral("長さ"));
    QCOMPARE(groups->itemText(3), QStringLiteral("ユーザー単位"));
    QComboBox* source = List("comInput");
    QCOMPARE(source->count(), 4);
    QCOMPARE(source->itemText(3), QStringLiteral("キュビット [cubit]"));
    QCOMPARE(source->itemData(3, Qt::ToolTipRole).toString(),
             QStringLiteral("キュビット [cubit]\n18 in"));

    Choose(source, 3);
    Type(Edit("edtInput"), QStringLiteral("2Q"));
    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("9.144E29"));

    // The search finds the user's units, in their groups.
    FindUnit(Edit("edtInput"), QStringLiteral("ひと"), Qt::Key_Return);
    QCOMPARE(groups->currentText(), QStringLiteral("ユーザー単位"));
    QCOMPARE(source->currentText(), QStringLiteral("ひと抱え [hug]"));

    // The data re-read reads the user's file again, and the search sees what it read.
    WriteUserFile(QStringLiteral("units.dat"),
                  ">>\n長さ\n\"キュビット [cubit]\",$i*0.4572,$t/0.4572,\n\"尋 [hiro]\",$i*1.818,"
                  "$t/1.818,\n<<\n");
    Press(Edit("edtInput"), Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(groups->count(), 3);
    FindUnit(Edit("edtInput"), QStringLiteral("hiro"), Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(groups->currentText(), QStringLiteral("長さ"));
    QCOMPARE(List("comOutput")->currentText(), QStringLiteral("尋 [hiro]"));
    QCOMPARE(List("comOutput")->currentIndex(), 4);
}

void FrmMainTest::brokenUserFileLeavesShippedUnits_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("place");
    QTest::newRow("units: a unit line of three fields")
        << "units.dat" << QByteArray(">>\n長さ\nfoot,$i*0.3048\n<<\n")
        << QString::fromUtf8(kMsgUserUnitsFailed.data(), kMsgUserUnitsFailed.size())
        << " の 3\u00a0行目: ";
    QTest::newRow("prefixes: a prefix without a factor")
        << "prefix.dat" << QByteArray("Q,1E30\nX\n")
        << QString::fromUtf8(kMsgUserPrefixesFailed.data(), kMsgUserPrefixesFailed.size())
        << " の 2\u00a0行目: ";
}

void FrmMainTest::brokenUserFileLeavesShippedUnits() {
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QFETCH(QString, place);
    WriteData();
    WriteUserFile(file, bytes);
    Start();
    QVERIFY(main_->isVisible());
    QCOMPARE(modals_.size(), 1);
    const tv::test::TSeenModal box = modals_.takeFirst();
    QCOMPARE(box.title, QStringLiteral("警告"));
    // The fixed lines, then the user's file, the line and the reason.
    const QString where = message + QStringLiteral("\n\n") + UserPath(file) + place;
    QVERIFY2(box.text.startsWith(where) && box.text.size() > where.size(), qPrintable(box.text));

    // The shipped units and prefixes work; nothing of the user's file was taken.
    QCOMPARE(List("comInput")->count(), 3);
    Choose(List("comOutput"), 1);
    Type(Edit("edtInput"), QStringLiteral("5k"));
    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("5"));

    // The data re-read reads the user's file again: still broken, then mended.
    Press(Edit("edtInput"), Qt::Key_R, Qt::ControlModifier);
    QCOMPARE(TakeModals(), QStringList{QStringLiteral("警告")});
    WriteUserFile(file, file == QLatin1String("units.dat")
                            ? QByteArray(">>\n長さ\nfoot,$i*0.3048,$t/0.3048,\n<<\n")
                            : QByteArray("Q,1E30\n"));
    Press(Edit("edtInput"), Qt::Key_R, Qt::ControlModifier);
    QVERIFY(modals_.isEmpty());
    QCOMPARE(Status(), QStringLiteral("Data Refreshed."));
}

void FrmMainTest::userEditCreatesAndOpens() {
    WriteData();
    Start();
    const QString path = UserPath(QStringLiteral("units.dat"));
    QVERIFY(!QFile::exists(path));
    Action("mnuUserEdit")->trigger();
    QCOMPARE(opened_, QList<QUrl>{QUrl::fromLocalFile(path)});
    QFile created(path);
    QVERIFY(created.open(QIODevice::ReadOnly));
    QCOMPARE(created.readAll().toStdString(), std::string(UserUnitsTemplate()));
    created.close();

    // The new file loads: its empty group joins the list at the next re-read.
    Press(Edit("edtInput"), Qt::Key_R, Qt::ControlModifier);
    QVERIFY(modals_.isEmpty());
    QCOMPARE(List("comUnits")->count(), 4);
    QCOMPARE(List("comUnits")->itemText(3), QStringLiteral("ユーザー単位"));

    // An existing file is opened as it is.
    WriteUserFile(QStringLiteral("units.dat"), "mine\n");
    opened_.clear();
    Action("mnuUserEdit")->trigger();
    QCOMPARE(opened_, QList<QUrl>{QUrl::fromLocalFile(path)});
    QVERIFY(created.open(QIODevice::ReadOnly));
    QCOMPARE(created.readAll(), QByteArray("mine\n"));
}

void FrmMainTest::userEditFailures() {
    WriteData();
    Start();
    // Without a desktop handler the warning says where the file is.
    SetUrlOpener([](const QUrl&) { return false; });
    Action("mnuUserEdit")->trigger();
    SetUrlOpener([this](const QUrl& url) {
        opened_.append(url);
        return true;
    });
    QCOMPARE(modals_.size(), 1);
    const tv::test::TSeenModal box = modals_.takeFirst();
    QCOMPARE(box.title, QStringLiteral("警告"));
    QCOMPARE(box.text, QStringLiteral("次のファイルを開くプログラムが見つかりませんでした。\n\n") +
                           UserPath(QStringLiteral("units.dat")));

    // A file where the folder should be: nothing can be created, and the error box names it.
    qputenv("XDG_DATA_HOME", dir_->filePath(QStringLiteral("tenvari.ini")).toUtf8());
    WriteSettings(QString());
    Action("mnuUserEdit")->trigger();
    QCOMPARE(errors_.size(), 1);
    QVERIFY2(errors_.takeFirst().contains(dir_->filePath(QStringLiteral("tenvari.ini/tenvari/"))),
             "message names the file");
    QVERIFY(opened_.isEmpty());
}

// User files that would block or never end are refused at once; one that loads but leaves a
// group or the text after a NUL out says where. The shipped data works in every case.
void FrmMainTest::userFilesThatBlockOrLeaveUnitsOut_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("places");
    QTest::addColumn<int>("lengthUnits");
    const QString failedUnits = Q(kMsgUserUnitsFailed);
    const QString failedPrefixes = Q(kMsgUserPrefixesFailed);
    const QString partUnits = Q(kMsgUserUnitsIncomplete);
    const QString partPrefixes = Q(kMsgUserPrefixesIncomplete);
    const QString notRegular = QStringLiteral(": 通常のファイルではないため読み込めません");
    const QString nul =
        QStringLiteral("行目: NUL 文字でテキストが終わるため、ここから後は読み込まれません");
    const QString unclosed =
        QStringLiteral("行目: 集団 \"新\" は終わり \"<<\" がないため読み込まれません");
    QTest::newRow("units.dat is a FIFO")
        << "units.dat"
        << "fifo" << QByteArray() << failedUnits << QStringList{notRegular} << 3;
    QTest::newRow("prefix.dat links to /dev/zero")
        << "prefix.dat"
        << "/dev/zero" << QByteArray() << failedPrefixes << QStringList{notRegular} << 3;
    QTest::newRow("units.dat leaves a group open")
        << "units.dat"
        << "bytes" << QByteArray(">>\n長さ\nft,$i*0.3048,$t/0.3048,\n<<\n>>\n新\nx,$i,$t,\n")
        << partUnits << QStringList{QStringLiteral(" の 5 ") + unclosed} << 4;
    QTest::newRow("units.dat has a NUL in a group")
        << "units.dat"
        << "bytes" << QByteArray(">>\n新\nx,$i,$t,\n\0y,$i,$t,\n<<\n", 26) << partUnits
        << QStringList{QStringLiteral(" の 1 ") + unclosed, QStringLiteral(" の 4 ") + nul} << 3;
    QTest::newRow("prefix.dat has a NUL")
        << "prefix.dat"
        << "bytes" << QByteArray("Q,1E30\n\0R,1\n", 13) << partPrefixes
        << QStringList{QStringLiteral(" の 2 ") + nul} << 3;
}

void FrmMainTest::userFilesThatBlockOrLeaveUnitsOut() {
    QFETCH(QString, file);
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QFETCH(QStringList, places);
    QFETCH(int, lengthUnits);
    WriteData();
    const QString path = UserPath(file);
    if (kind == QLatin1String("bytes")) {
        WriteUserFile(file, bytes);
    } else {
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("data-home/tenvari")));
        QVERIFY(kind == QLatin1String("fifo")
                    ? mkfifo(QFile::encodeName(path).constData(), 0600) == 0
                    : QFile::link(kind, path));
    }
    // A start that blocks in opening the FIFO is let go after 30 s, and fails.
    std::promise<void> started;
    auto watchdog = std::async(std::launch::async, [&, done = started.get_future()] {
        if (done.wait_for(std::chrono::seconds(30)) == std::future_status::ready) {
            return false;
        }
        close(open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
        return true;
    });
    Start();
    started.set_value();
    QVERIFY2(!watchdog.get(), "the start waited for the FIFO");
    QVERIFY(main_->isVisible());

    QCOMPARE(modals_.size(), 1);
    const tv::test::TSeenModal box = modals_.takeFirst();
    QCOMPARE(box.title, QStringLiteral("警告"));
    QString expected = message + QLatin1Char('\n');
    for (const QString& place : places) {
        expected += QLatin1Char('\n') + path + place;
    }
    QCOMPARE(box.text, expected);

    QCOMPARE(List("comUnits")->count(), 3);
    QCOMPARE(List("comInput")->count(), lengthUnits);
    Choose(List("comOutput"), 1);
    Type(Edit("edtInput"), QStringLiteral("5k"));
    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("5"));
}

// 10 000 terms in a ToBase and 10 000 in a FromBase: the formula line is as long as the two
// together, not their product, the results window shows it shortened, and the copy command
// still sends it whole.
void FrmMainTest::longFormulasStayLinearAndShowShortened() {
    QByteArray toBase = "$i";
    QByteArray fromBase = "$t";
    QByteArray source = "1";
    for (int i = 1; i < 10000; ++i) {
        toBase += "+$i";
        fromBase += "+$t";
        source += "+1";
    }
    WriteData();
    WriteUserFile(QStringLiteral("units.dat"),
                  ">>\nユーザー\nsa," + toBase + ",$t,\nsb,$i," + fromBase + ",\n<<\n");
    WriteSettings(QStringLiteral("[StartUp]\nUnitSeries=2\nSetUnits=3\n[Convert]\nShowExp=1\n"));
    QElapsedTimer timer;
    timer.start();
    Start();
    QCOMPARE(main_->windowTitle(), QStringLiteral("Tenvari - ユーザー"));
    Choose(List("comOutput"), 1);
    Type(Edit("edtInput"), QStringLiteral("1"));
    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("100000000"));
    const QString formula = QStringLiteral("\tResult = ") + QString::fromLatin1(fromBase) +
                            QStringLiteral("  ($t = (") + QString::fromLatin1(source) +
                            QStringLiteral("))");
    QCOMPARE(ResultText(),
             QStringLiteral("1 [sa] => 100000000 [sb]\r\n") + formula + QStringLiteral("\r\n"));

    Press(Edit("edtInput"), Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(modals_.size(), 1);
    const QStringList shown = modals_.takeFirst().text.split(QLatin1Char('\n'));
    QCOMPARE(shown.size(), 3);
    QCOMPARE(shown[0], QStringLiteral("1 [sa] => 100000000 [sb]"));
    QCOMPARE(shown[1], formula.left(10000) + QStringLiteral(" …［長い行のため、%1 文字のうち先頭の "
                                                            "10000 文字を表示］")
                                                 .arg(formula.size()));
    Action("mnuCopy")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("1 [sa] => 100000000 [sb]\n") + formula);
    QVERIFY2(timer.elapsed() < 60000, "hang guard: far slower than linear");
}

// A conversion whose texts need more memory than there is fails as "メモリが足りません" in the
// error box; the program goes on converting.
void FrmMainTest::conversionBeyondMemoryShowsOutOfMemory() {
    QByteArray toBase = "$i";
    for (int i = 1; i < 300000; ++i) {
        toBase += "+$i";
    }
    WriteData();
    WriteUserFile(QStringLiteral("units.dat"), ">>\n長さ\nbig," + toBase + ",$t,\n<<\n");
    Start();
    Choose(List("comInput"), 3);
    Type(Edit("edtInput"), QStringLiteral("1/3"));
    ResultText() = QStringLiteral("before\r\n");
    {
        const tv::test::TAllocationLimit limit(4 << 20);
        Press(Edit("edtInput"), Qt::Key_Enter, Qt::ShiftModifier);
    }
    QCOMPARE(errors_, QStringList{QStringLiteral("メモリが足りません.")});
    errors_.clear();
    QCOMPARE(ResultText(), QString());
    QVERIFY(modals_.isEmpty());

    Choose(List("comInput"), 1);
    Type(Edit("edtInput"), QStringLiteral("2"));
    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(Edit("edtOutput")->text(), QStringLiteral("2000"));
}

// ---- shutdown ----

void FrmMainTest::shutdownWritesSettings() {
    WriteData();
    WriteSettings(QStringLiteral("[Mine]\nKeep=yes\n\n[StartUp]\nWinPos=1\nLeft=10\nTop=20\n"));
    Start();
    QCOMPARE(main_->pos(), QPoint(10, 20));
    main_->move(123, 45);
    Choose(List("comUnits"), 2);
    Press(Edit("edtInput"), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!main_->isVisible());
    const QString text = SettingsText();
    for (const char* line : {"Keep=yes", "WinPos=1", "Left=123", "Top=45", "LastUnits=2"})
        QVERIFY2(text.contains(QLatin1String(line)), qPrintable(text));
}

void FrmMainTest::shutdownReportsUnwritableSettings() {
    WriteData();
    // A folder where the settings file should be: nothing can be written there.
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("tenvari.ini")));
    Start();
    CloseMain();
    QCOMPARE(errors_.size(), 1);
    QVERIFY2(errors_.takeFirst().contains(QStringLiteral("tenvari.ini")), "message names the file");
    DestroyWindows();
    QVERIFY(errors_.isEmpty());
}

// A settings file made read-only is not replaced: the status bar says so once, and the settings
// chosen in the dialog hold for the session.
void FrmMainTest::readOnlySettingsAreKeptForTheSession() {
    WriteData();
    const QByteArray settings = "[Convert]\nShowExp=0\n";
    WriteFile(QStringLiteral("tenvari.ini"), settings);
    const QByteArray file = QFile::encodeName(settingsPath_);
    QVERIFY(chmod(file.constData(), 0444) == 0);
    struct stat before {};
    QVERIFY(stat(file.constData(), &before) == 0);
    Start();
    QCOMPARE(Status(), QStringLiteral("設定は保存されません (読取専用)"));

    Choose(List("comOutput"), 1);
    Type(Edit("edtInput"), QStringLiteral("2"));
    guard_.Expect([&](QWidget* modal) {
        auto* dialog = qobject_cast<TTvFrmSet*>(modal);
        QVERIFY(dialog);
        dialog->cbxExpShow()->click();
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    Press(Edit("edtInput"), Qt::Key_S, Qt::ControlModifier);
    QVERIFY(modals_.isEmpty());
    QVERIFY(!set_->isVisible());
    Press(Edit("edtInput"), Qt::Key_Return);
    QCOMPARE(ResultText(), QStringLiteral("2 [m] => 0.002 [km]\r\n\tResult = (2)/1000\r\n"));
    QCOMPARE(Status(), QStringLiteral("単位変換：変換完了"));

    // Once said, not again; the shutdown leaves the file as it was, without an error box.
    guard_.Expect([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    Press(Edit("edtInput"), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(Status(), QStringLiteral("単位変換：変換完了"));
    DestroyWindows();
    struct stat after {};
    QVERIFY(stat(file.constData(), &after) == 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode & 07777, 0444u);
    QCOMPARE(SettingsText().toUtf8(), settings);
}

QTEST_MAIN(FrmMainTest)
#include "FrmMainTest.moc"
