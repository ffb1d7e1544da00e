#include "ui/Tv10FrmMain.h"

#include "calc/TvBaseConvert.h"
#include "calc/TvCalculate.h"
#include "calc/TvQuery.h"
#include "calc/TvUnitSearch.h"
#include "ui/Tv10FrmAbout.h"
#include "ui/Tv10FrmAll.h"
#include "ui/Tv10FrmFavourites.h"
#include "ui/Tv10FrmFind.h"
#include "ui/Tv10FrmHistory.h"
#include "ui/Tv10FrmSet.h"
#include "ui/TvAccessible.h"
#include "ui/TvFavouritesMenu.h"
#include "ui/TvFormControl.h"
#include "ui/TvHistoryRecorder.h"
#include "ui/TvIniFile.h"
#include "ui/TvQtText.h"
#include "ui/TvSettingKeys.h"
#include "ui/TvSound.h"
#include "ui/UAlEdit.h"
#include "units/TvErrors.h"
#include "units/TvPaths.h"
#include "units/TvUserData.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QUrl>
#include <algorithm>
#include <initializer_list>
#include <new>
#include <optional>
#include <string_view>
#include <utility>

namespace tv {

namespace {

const QString kUnitsFile = QStringLiteral("units.dat");
const QString kPrefixFile = QStringLiteral("prefix.dat");

QLabel* MakeLabel(const QString& text, QWidget* parent, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

// Ties a label to the control it names, and names the control for screen readers as a sighted
// user reads it: the group box's title, if any, then the label ("変換前 値"). The label carries
// the name too, because on Linux a list is named through its label.
void Name(QLabel* label, QWidget* control, const QString& accessibleName) {
    label->setBuddy(control);
    label->setAccessibleName(accessibleName);
    control->setAccessibleName(accessibleName);
}

bool IsEnterKey(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

// Opens each of lists, which hold the same entries, as wide as their longest entry, within the
// screen, and never narrower than itself. The entries are measured once, in the first list.
void FitPopupWidth(std::initializer_list<QComboBox*> lists) {
    QComboBox* list = *lists.begin();
    QAbstractItemView* view = list->view();
    int width = view->sizeHintForColumn(0) + 2 * view->frameWidth() +
                view->verticalScrollBar()->sizeHint().width();
    if (const QScreen* screen = list->screen()) {
        // The open list is the view inside a frame of its own.
        const QWidget* popup = view->parentWidget();
        QMargins around = popup->contentsMargins();
        if (popup->layout() != nullptr) {
            around += popup->layout()->contentsMargins();
        }
        width =
            std::min(width, screen->availableGeometry().width() - around.left() - around.right());
    }
    for (QComboBox* each : lists) {
        each->view()->setMinimumWidth(std::max(width, each->width()));
    }
}

// Shows the chosen unit's tooltip on the closed list.
void ShowCurrentTip(QComboBox* list) {
    list->setToolTip(list->currentData(Qt::ToolTipRole).toString());
}

TDropDownList* MakeList(const char* name, QWidget* parent, int left, int top, int width, int rows) {
    auto* list = new TDropDownList(parent);
    list->setObjectName(QLatin1String(name));
    list->setMaxVisibleItems(rows);
    list->setGeometry(left, top, width, list->sizeHint().height());
    return list;
}

// Characters of a key press or an input-method commit that a filter may look at: printable
// ones only, so that Tab, Escape, Delete and the like keep their editing meaning.
bool IsTypedText(const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= 0x20 && c.unicode() != 0x7F; });
}

// Shows that a data file failed to load: an error (Critical, "エラー") or a warning ("警告") box
// with the given lines, then a line with the file, the 1-based line and the reason
// ("/path/units.dat の 6 行目: 単位の行に 4 つの項目がありません").
void ShowLoadFailure(QWidget* window, QMessageBox::Icon icon, const QString& text,
                     const QString& path, const TLoadError& error) {
    const QString caption =
        icon == QMessageBox::Critical ? QStringLiteral("エラー") : QStringLiteral("警告");
    QString where = path;
    if (error.Line >= 0) {
        where += KeepNumbersWithCounters(QStringLiteral(" の %1 行目").arg(error.Line + 1));
    }
    QMessageBox box(icon, caption,
                    text + QStringLiteral("\n\n") + where + QStringLiteral(": ") +
                        KeepNumbersWithCounters(Q(error.Reason)),
                    QMessageBox::Ok, window->isVisible() ? window : nullptr);
    box.exec();
}

// Shows in one warning box what a user's file that loaded left out, one place a line.
void ShowLoadWarnings(QWidget* window, std::string_view text, const TLoadWarnings& warnings) {
    if (warnings.empty()) {
        return;
    }
    QString message = Q(text) + QLatin1Char('\n');
    for (const TLoadError& warning : warnings) {
        message += QStringLiteral("\n%1 の %2 行目: %3")
                       .arg(Q(warning.File))
                       .arg(warning.Line + 1)
                       .arg(Q(warning.Reason));
    }
    QMessageBox box(QMessageBox::Warning, QStringLiteral("警告"), message, QMessageBox::Ok,
                    window->isVisible() ? window : nullptr);
    box.exec();
}

} // namespace

// ---- TTvFrmMain ----

TTvFrmMain::TTvFrmMain(const QString& dataDir, const QString& settingsPath,
                       const QString& settingsDefaults, QWidget* parent)
    : QMainWindow(parent), dataDir_(dataDir), settingsPath_(settingsPath),
      settingsDefaults_(settingsDefaults), history_(std::make_unique<THistoryRecorder>(this)) {
    FrmMainCreate();
}

TTvFrmMain::~TTvFrmMain() {
    FrmMainDestroy();
}

void TTvFrmMain::SetWindows(TTvFrmAbout* about, TTvFrmAll* all, TTvFrmSet* set) {
    frmAbout_ = about;
    frmAll_ = all;
    frmSet_ = set;
    if (frmSet_) {
        frmSet_->SetSettingsPath(settingsPath_, settingsDefaults_);
        frmSet_->SetGroupNames([this] {
            QStringList names;
            for (int i = 0; i < comUnits->count(); ++i) {
                names << comUnits->itemText(i);
            }
            return names;
        });
    }
}

void TTvFrmMain::SetWindowMaker(std::function<void()> make) {
    makeWindows_ = std::move(make);
}

void TTvFrmMain::EnsureWindows() {
    if (makeWindows_) {
        std::exchange(makeWindows_, nullptr)();
    }
}

void TTvFrmMain::FrmMainCreate() {
    StartUpDone = false;
    InstallAccessibility();
    // The window takes the application's icon by setting none of its own, so that it follows the
    // application's when that changes.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    SetCaption(QStringLiteral("Tenvari"));

    if (!dataDir_.isEmpty() && !dataDir_.endsWith(QLatin1Char('/'))) {
        dataDir_ += QLatin1Char('/');
    }
    unitsPath_ = dataDir_ + kUnitsFile;
    prefixPath_ = dataDir_ + kPrefixFile;

    if (!LoadData()) {
        unitsLoadFailed_ = true;
        return;
    }
    CreateControls();
    CreateMenu();
    history_->SetOpened([this] { FillFavourites(); });
    LoadedUnits = kNoGroupLoaded;
    BatchRunning = false;
    // The answer comes while the rest of the start runs; the first showing places the window.
    AskForFrame(this);
}

bool TTvFrmMain::LoadData() {
    // Both tables are replaced; the prefix table exists, unloaded, even when the units fail.
    prefixes_ = std::make_unique<TPrefixes>();
    units_ = std::make_unique<TUnits>();
    search_.reset();
    if (!units_->LoadFromFile(S(unitsPath_))) {
        ShowLoadFailure(this, QMessageBox::Critical,
                        QStringLiteral("単位データの読み込みに失敗しました。\n"
                                       "Tenvariを終了します。\n"
                                       "\n"
                                       "\"units.dat\" の有無をご確認ください。"),
                        unitsPath_, units_->LastError());
        return false;
    }
    // The user's own files add to the shipped ones; one that fails adds nothing and is named in
    // a warning. The user's prefixes are read only while the shipped ones loaded.
    const std::string userDir = UserDataDir();
    const auto warnUserFile = [this](std::string_view message, const TLoadError& failed) {
        ShowLoadFailure(this, QMessageBox::Warning, Q(message), Q(failed.File), failed);
    };
    if (const std::optional<TLoadError> failed = AddUserUnits(*units_, userDir)) {
        warnUserFile(kMsgUserUnitsFailed, *failed);
    }
    ShowLoadWarnings(this, kMsgUserUnitsIncomplete, UserFileWarnings(*units_, userDir));
    if (!prefixes_->LoadFromFile(S(prefixPath_))) {
        ShowLoadFailure(this, QMessageBox::Warning,
                        QStringLiteral("接頭辞データの読み込みに失敗しました。\n"
                                       "\n"
                                       "入力における接頭辞の使用が不可となります。"),
                        prefixPath_, prefixes_->LastError());
    }
    if (const std::optional<TLoadError> failed = AddUserPrefixes(*prefixes_, userDir)) {
        warnUserFile(kMsgUserPrefixesFailed, *failed);
    }
    ShowLoadWarnings(this, kMsgUserPrefixesIncomplete, UserFileWarnings(*prefixes_, userDir));
    return true;
}

void TTvFrmMain::CreateControls() {
    setFont(ProgramFont());

    auto* central = new QWidget(this);
    central->setFixedSize(250, 201);
    setCentralWidget(central);

    PageControl = new QTabWidget(central);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    PageControl->setGeometry(0, 0, 250, 201);

    // Unit page.
    auto* page0 = new QWidget;
    PageControl->addTab(page0, QStringLiteral("単位変換(&U)"));
    PageControl->setTabToolTip(0, QStringLiteral("単位変換を行います。"));

    gbxInput = new QGroupBox(QStringLiteral("変換前"), page0);
    gbxInput->setObjectName(QStringLiteral("gbxInput"));
    gbxInput->setGeometry(6, 1, 231, 69);
    QLabel* label1 = MakeLabel(QStringLiteral("値"), gbxInput, 12, 20);
    QLabel* label2 = MakeLabel(QStringLiteral("単位"), gbxInput, 12, 44);
    comInput = MakeList("comInput", gbxInput, 44, 41, 177, 12);

    gbxOutput = new QGroupBox(QStringLiteral("変換後"), page0);
    gbxOutput->setObjectName(QStringLiteral("gbxOutput"));
    gbxOutput->setGeometry(6, 73, 231, 69);
    QLabel* label4 = MakeLabel(QStringLiteral("値"), gbxOutput, 12, 21);
    QLabel* label3 = MakeLabel(QStringLiteral("単位"), gbxOutput, 12, 45);
    comOutput = MakeList("comOutput", gbxOutput, 44, 41, 177, 12);

    auto* label5 = MakeLabel(QStringLiteral("集団"), page0, 18, 152);
    label5->setAlignment(Qt::AlignCenter);
    comUnits = MakeList("comUnits", page0, 50, 148, 177, 8);
    Name(label5, comUnits, QStringLiteral("集団"));
    // The open lists take the width of their longest entry when they open, not at each filling:
    // measuring the entries is the slow part of a filling, which most lists never open after.
    static_cast<TDropDownList*>(comUnits)->SetBeforeOpen([this] {
        WatchListView(comUnits);
        if (!groupListFitted_) {
            groupListFitted_ = true;
            FitPopupWidth({comUnits});
        }
    });
    for (QComboBox* list : {comInput, comOutput}) {
        QComboBox* other = list == comInput ? comOutput : comInput;
        static_cast<TDropDownList*>(list)->SetBeforeOpen([this, list, other] {
            WatchListView(list);
            if (!unitListsFitted_) {
                unitListsFitted_ = true;
                FitPopupWidth({list, other});
            }
        });
    }

    // Base page.
    auto* page1 = new QWidget;
    PageControl->addTab(page1, QStringLiteral("基数変換(&B)"));
    PageControl->setTabToolTip(1, QStringLiteral("基数変換を行います。"));

    QPushButton* inputButtons[4] = {};
    QPushButton* outputButtons[4] = {};
    QLabel* valueLabels[2] = {};
    const auto makeBasePart = [&](bool input, int top) {
        auto* box =
            new QGroupBox(input ? QStringLiteral("変換前") : QStringLiteral("変換後"), page1);
        box->setObjectName(input ? QStringLiteral("gbxInputB") : QStringLiteral("gbxOutputB"));
        box->setGeometry(6, top, 231, 80);
        valueLabels[input ? 0 : 1] = MakeLabel(QStringLiteral("値"), box, 12, 20);
        QLabel* baseLabel = MakeLabel(QStringLiteral("基数"), box, 12, 52);
        auto* base = new QLineEdit(QStringLiteral("10"), box);
        const QString baseName =
            input ? QStringLiteral("入力の基数") : QStringLiteral("出力の基数");
        Name(baseLabel, base, baseName);
        base->setObjectName(input ? QStringLiteral("edtBaseInput")
                                  : QStringLiteral("edtBaseOutput"));
        base->setGeometry(44, 48, 50, 20);
        auto* upDown = new TUpDown(base, 2, 36, 10, box);
        upDown->setObjectName(input ? QStringLiteral("udbBaseInput")
                                    : QStringLiteral("udbBaseOutput"));
        upDown->setGeometry(94, 48, 19, 20);
        upDown->SetAccessibleNames(baseName);
        const char* captions[4] = {"2", "8", "10", "16"};
        const int lefts[4] = {120, 144, 168, 192};
        for (int i = 0; i < 4; ++i) {
            auto* button = new QPushButton(QLatin1String(captions[i]), box);
            button->setObjectName(
                QStringLiteral("%1%2")
                    .arg(input ? QStringLiteral("btnBaseInput") : QStringLiteral("btnBaseOutput"))
                    .arg(QLatin1String(captions[i])));
            button->setGeometry(lefts[i], 46, 24, 24);
            button->setAccessibleName(baseName + QLatin1Char(' ') + QLatin1String(captions[i]));
            (input ? inputButtons : outputButtons)[i] = button;
        }
        if (input) {
            gbxInputB = box;
            edtBaseInput = base;
            udbBaseInput = upDown;
        } else {
            gbxOutputB = box;
            edtBaseOutput = base;
            udbBaseOutput = upDown;
        }
    };
    makeBasePart(true, 1);
    makeBasePart(false, 88);

    // The four value boxes, each the last in its group box's focus order.
    const auto makeValueBox = [](const char* name, QGroupBox* box, int top, bool readOnly) {
        auto* edit = new TAlEdit(box);
        edit->setObjectName(QLatin1String(name));
        edit->setGeometry(44, top, 177, 20);
        edit->setText(QStringLiteral("0"));
        edit->setReadOnly(readOnly);
        return edit;
    };
    edtInput = makeValueBox("edtInput", gbxInput, 15, false);
    edtOutput = makeValueBox("edtOutput", gbxOutput, 15, true);
    edtInputB = makeValueBox("edtInputB", gbxInputB, 16, false);
    edtOutputB = makeValueBox("edtOutputB", gbxOutputB, 16, true);
    Name(label1, edtInput, QStringLiteral("変換前 値"));
    Name(label2, comInput, QStringLiteral("変換前 単位"));
    Name(label4, edtOutput, QStringLiteral("変換後 値"));
    Name(label3, comOutput, QStringLiteral("変換後 単位"));
    Name(valueLabels[0], edtInputB, QStringLiteral("変換前 値"));
    Name(valueLabels[1], edtOutputB, QStringLiteral("変換後 値"));

    // Top to bottom, left to right: the page tabs, then each page's rows.
    QWidget* order[] = {PageControl,      edtInput,        comInput,         edtOutput,
                        comOutput,        comUnits,        edtInputB,        edtBaseInput,
                        inputButtons[0],  inputButtons[1], inputButtons[2],  inputButtons[3],
                        edtOutputB,       edtBaseOutput,   outputButtons[0], outputButtons[1],
                        outputButtons[2], outputButtons[3]};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }

    // Handlers go on after the initial texts so that setting them runs none.
    const auto guarded = [this](void (TTvFrmMain::*handler)()) {
        return [this, handler] { Guard([this, handler] { (this->*handler)(); }); };
    };
    connect(edtInput, &QLineEdit::textChanged, this, guarded(&TTvFrmMain::edtInputChange));
    connect(edtInputB, &QLineEdit::textChanged, this, guarded(&TTvFrmMain::edtInputBChange));
    connect(edtBaseInput, &QLineEdit::textChanged, this, guarded(&TTvFrmMain::edtBaseInputChange));
    // Not a change handler: a new output base converts nothing, it only dates the output.
    connect(edtBaseOutput, &QLineEdit::textChanged, edtOutputB,
            [this] { edtOutputB->SetStale(true); });
    for (QComboBox* list : {comInput, comOutput}) {
        connect(list, &QComboBox::activated, this, [this] { Guard([this] { comChange(); }); });
        connect(list, &QComboBox::currentIndexChanged, list, [list] { ShowCurrentTip(list); });
        connect(list, &QComboBox::currentIndexChanged, edtOutput,
                [this] { edtOutput->SetStale(true); });
    }
    connect(comUnits, &QComboBox::activated, this, guarded(&TTvFrmMain::comUnitsClick));
    connect(PageControl, &QTabWidget::currentChanged, this,
            guarded(&TTvFrmMain::PageControlChange));
    for (int i = 0; i < 4; ++i) {
        connect(inputButtons[i], &QPushButton::clicked, this, [this, i, inputButtons] {
            const QString caption = inputButtons[i]->text();
            Guard([this, caption] { btnBaseInputClick(caption); });
        });
        connect(outputButtons[i], &QPushButton::clicked, this, [this, i, outputButtons] {
            const QString caption = outputButtons[i]->text();
            Guard([this, caption] { btnBaseOutputClick(caption); });
        });
    }

    // Status bar: panel 0 for outcomes, panel 1 for the top-most indicator.
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("stbStatus"));
    bar->setAccessibleName(QStringLiteral("状態"));
    bar->setSizeGripEnabled(false);
    bar->setFixedHeight(19);
    panel0_ = new TStatusPanel(bar);
    panel0_->setObjectName(QStringLiteral("stbPanel0"));
    // Panel 1 widens to hold "TopMost" in the program's font, its frame and 6 px of air for a
    // scaled font; panel 0 gives up as much, so that the two still fill the bar as 190 and 50 do.
    const int panel1Width =
        std::max(50, panel0_->fontMetrics().horizontalAdvance(QStringLiteral("TopMost")) + 8);
    panel0_->setFixedWidth(190 - (panel1Width - 50));
    // The bar keeps a few pixels above its items; a full-height panel would lose its lower edge.
    panel0_->setFixedHeight(16);
    panel0_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    panel0_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel1_ = new QLabel(QStringLiteral("-"), bar);
    panel1_->setObjectName(QStringLiteral("stbPanel1"));
    panel1_->setFixedWidth(panel1Width);
    panel1_->setFixedHeight(16);
    panel1_->setAlignment(Qt::AlignCenter);
    panel1_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addWidget(panel0_);
    bar->addWidget(panel1_);

    for (QWidget* child : central->findChildren<QWidget*>()) {
        if (child->window() == this) {
            child->installEventFilter(this);
        }
    }
}

void TTvFrmMain::CreateMenu() {
    const auto add = [this](QMenu* menu, const char* name, const QString& caption,
                            const QString& hint, void (TTvFrmMain::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setStatusTip(hint);
        menuActions_.push_back(action);
        connect(action, &QAction::triggered, this,
                [this, handler] { Guard([this, handler] { (this->*handler)(); }); });
        return action;
    };
    const auto addMenu = [this](const char* name, const QString& caption, const QString& hint) {
        QMenu* menu = menuBar()->addMenu(caption);
        menu->setObjectName(QLatin1String(name));
        menu->menuAction()->setObjectName(QLatin1String(name));
        menu->menuAction()->setStatusTip(hint);
        return menu;
    };

    QMenu* mnuConv = addMenu("mnuConv", QStringLiteral("変換(&C)"),
                             QStringLiteral("単位変換に関係する操作のメニューです。"));
    mnuNConv = add(mnuConv, "mnuNConv", QStringLiteral("通常変換(&N)"),
                   QStringLiteral("１対１の変換を行います。"), &TTvFrmMain::mnuNConvClick);
    // The first key is the one the menu shows.
    mnuNConv->setShortcuts({QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)});
    mnuAConv = add(mnuConv, "mnuAConv", QStringLiteral("一括変換(&A)..."),
                   QStringLiteral("１対多の変換を行います。"), &TTvFrmMain::mnuAConvClick);
    mnuAConv->setShortcuts(
        {QKeySequence(Qt::SHIFT | Qt::Key_Enter), QKeySequence(Qt::SHIFT | Qt::Key_Return)});
    mnuConv->addSeparator();
    mnuOtherWinShow = add(mnuConv, "mnuOtherWinShow", QStringLiteral("変換結果を別窓で表示(&S)..."),
                          QStringLiteral("最近の変換結果を「変換結果」ウィンドウに表示します。"),
                          &TTvFrmMain::mnuOtherWinShowClick);
    mnuOtherWinShow->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    mnuOtherWinShow->setEnabled(false);
    mnuConv->addSeparator();
    mnuSwap = add(mnuConv, "mnuSwap", QStringLiteral("単位の入れ替え(&X)"),
                  QStringLiteral("変換前と変換後の単位（基数変換では基数）を入れ替えます。"),
                  &TTvFrmMain::mnuSwapClick);
    mnuSwap->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    mnuFind = add(mnuConv, "mnuFind", QStringLiteral("単位の検索(&F)..."),
                  QStringLiteral("すべての集団から単位を探し、変換前または変換後の単位にします。"),
                  &TTvFrmMain::mnuFindClick);
    mnuFind->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    mnuHistory = add(mnuConv, "mnuHistory", QStringLiteral("履歴(&H)..."),
                     QStringLiteral("これまでの変換を一覧し、選んだ変換をもう一度行います。"),
                     &TTvFrmMain::mnuHistoryClick);
    mnuHistory->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));

    QMenu* mnuEdit = addMenu("mnuEdit", QStringLiteral("編集(&E)"),
                             QStringLiteral("編集に関係する操作のメニューです。"));
    mnuCopy = add(mnuEdit, "mnuCopy", QStringLiteral("コピー(&C)"),
                  QStringLiteral("最近の変換結果をクリップボードへコピーします。"),
                  &TTvFrmMain::mnuCopyClick);
    mnuCopy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    mnuCopy->setEnabled(false);
    mnuCopyValue = add(mnuEdit, "mnuCopyValue", QStringLiteral("変換後の値をコピー(&V)"),
                       QStringLiteral("変換後の値をクリップボードへコピーします。"),
                       &TTvFrmMain::mnuCopyValueClick);
    mnuCopyValue->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    mnuPaste = add(mnuEdit, "mnuPaste", QStringLiteral("貼り付け(&P)"),
                   QStringLiteral("クリップボードから値を取得し、貼り付けます。"),
                   &TTvFrmMain::mnuPasteClick);
    mnuPaste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    mnuEdit->addSeparator();
    mnuClear =
        add(mnuEdit, "mnuClear", QStringLiteral("クリア(&D)"),
            QStringLiteral("ウィンドウ内の入出力内容をクリアします。"), &TTvFrmMain::mnuClearClick);
    mnuClear->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));

    QMenu* mnuFavourite = addMenu("mnuFavourite_fa", QStringLiteral("お気に入り(&A)"),
                                  QStringLiteral("よく使う単位の組み合わせのメニューです。"));
    mnuFavouriteAdd =
        add(mnuFavourite, "mnuFavouriteAdd", QStringLiteral("現在の組み合わせを追加"),
            QStringLiteral("いまの集団と単位（基数変換では基数）をお気に入りに加えます。"),
            &TTvFrmMain::mnuFavouriteAddClick);
    mnuFavourite->addSeparator();
    QAction* favouritesEnd = mnuFavourite->addSeparator();
    mnuFavouritesManage =
        add(mnuFavourite, "mnuFavouritesManage", QStringLiteral("お気に入りの整理(&M)..."),
            QStringLiteral("お気に入りの名前の変更、並べ替え、削除を行います。"),
            &TTvFrmMain::mnuFavouritesManageClick);
    favouritesMenu_ = std::make_unique<TFavouritesMenu>(
        mnuFavourite, favouritesEnd,
        [this](const TFavourite& favourite) { Guard([&] { FavouriteClick(favourite); }); });
    favouritesMenu_->Fill({});
    // The items come when the history opens, at the first key or click; a menu opened without
    // either (by a screen reader's action) opens the history itself.
    connect(mnuFavourite, &QMenu::aboutToShow, this, [this] { history_->Store(); });

    QMenu* mnuOther = addMenu("mnuOther_fm", QStringLiteral("その他(&O)"),
                              QStringLiteral("その他の操作のメニューです。"));
    mnuFront = add(mnuOther, "mnuFront", QStringLiteral("最前面表示(&F)"),
                   QStringLiteral("Tenvari に関係するウィンドウの最前面表示の制御を行います。"),
                   &TTvFrmMain::mnuFrontClick);
    mnuFront->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    mnuFront->setCheckable(true);
    mnuSetting =
        add(mnuOther, "mnuSetting", QStringLiteral("設定(&S)..."),
            QStringLiteral("Tenvari に関する設定を行います。"), &TTvFrmMain::mnuSettingClick);
    mnuSetting->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuOther->addSeparator();
    mnuDataReRead = add(mnuOther, "mnuDataReRead", QStringLiteral("データ再読み込み(&R)"),
                        QString(), &TTvFrmMain::mnuDataReReadClick);
    mnuDataReRead->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    mnuUserEdit = add(mnuOther, "mnuUserEdit", QStringLiteral("ユーザー単位の編集(&E)..."),
                      QStringLiteral("自分用の単位ファイルを開きます。ない場合は作成します。"),
                      &TTvFrmMain::mnuUserEditClick);
    mnuOther->addSeparator();
    mnuHelp = add(mnuOther, "mnuHelp", QStringLiteral("ヘルプ(&H)..."), QString(),
                  &TTvFrmMain::mnuHelpClick);
    mnuHelp->setShortcut(QKeySequence(Qt::Key_F1));
    mnuOther->addSeparator();
    mnuAbout =
        add(mnuOther, "mnuAbout", QStringLiteral("バージョン情報(&A)..."),
            QStringLiteral("Tenvari のバージョン情報を表示します。"), &TTvFrmMain::mnuAboutClick);
    mnuEnd = add(mnuOther, "mnuEnd", QStringLiteral("終了(&X)"),
                 QStringLiteral("Tenvari を終了します。"), &TTvFrmMain::mnuEndClick);
    mnuEnd->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    // The window keeps the size of its parts: menu bar, 250 x 201 pages, 19-pixel status bar.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

// ---- event plumbing ----

template <typename F> void TTvFrmMain::Guard(F&& handler) {
    ++handlerDepth_;
    try {
        handler();
    } catch (...) {
        if (handlerDepth_ > 1) {
            if (!pending_) {
                pending_ = std::current_exception();
            }
        } else {
            ShowFailure(std::current_exception());
        }
    }
    --handlerDepth_;
    if (handlerDepth_ == 0 && pending_) {
        ShowFailure(std::exchange(pending_, nullptr));
    }
}

void TTvFrmMain::ShowFailure(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        // Qt reports a text it cannot grow as std::bad_alloc, whose own message says nothing.
        ShowErrorBox(this, Q(kMsgOutOfMemory));
    } catch (const std::exception& e) {
        ShowErrorBox(this, QString::fromUtf8(e.what()));
    } catch (...) {
        ShowErrorBox(this, QStringLiteral("Unknown error"));
    }
}

void TTvFrmMain::SetBoxText(QLineEdit* box, const QString& text) {
    box->setText(text);
    if (pending_) {
        std::rethrow_exception(std::exchange(pending_, nullptr));
    }
}

bool TTvFrmMain::event(QEvent* e) {
    // Hints stay in the actions; the status bar shows only the program's own texts.
    if (e->type() == QEvent::StatusTip) {
        return true;
    }
    return QMainWindow::event(e);
}

QAction* TTvFrmMain::ShortcutAction(const QKeyEvent* key) const {
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    const QKeySequence pressed(QKeyCombination(modifiers, Qt::Key(key->key())));
    for (const std::vector<QAction*>* actions : {&menuActions_, &favouritesMenu_->Items()}) {
        for (QAction* action : *actions) {
            for (const QKeySequence& shortcut : action->shortcuts()) {
                if (shortcut == pressed) {
                    return action;
                }
            }
        }
    }
    return nullptr;
}

std::optional<QString> TTvFrmMain::FilterTyped(const QLineEdit* box, const QString& text) const {
    if (box == edtInput) {
        return edtInputKeyPress(text);
    }
    if (box == edtInputB) {
        return edtInputBKeyPress(text);
    }
    if (box == edtBaseInput || box == edtBaseOutput) {
        return edtBaseKeyPress(text);
    }
    return std::nullopt;
}

// The open list of a drop-down is a window of its own, outside the filter on the window's
// controls. It is watched from its first opening, which makes it: most lists are never opened,
// and making the three at the start is a good part of building the window.
void TTvFrmMain::WatchListView(QComboBox* list) {
    QAbstractItemView* view = list->view();
    if (std::find(listViews_.begin(), listViews_.end(), view) == listViews_.end()) {
        view->installEventFilter(this);
        listViews_.push_back(view);
    }
}

bool TTvFrmMain::eventFilter(QObject* watched, QEvent* e) {
    const QEvent::Type type = e->type();
    if (std::find(listViews_.begin(), listViews_.end(), watched) != listViews_.end()) {
        // Enter in an open list chooses the entry and nothing else: claimed here, the key
        // reaches the list and not the menu's shortcut.
        if (type == QEvent::ShortcutOverride && IsEnterKey(static_cast<QKeyEvent*>(e))) {
            e->accept();
        }
        return false;
    }
    if (type == QEvent::ShortcutOverride || type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        // The menu's keys win over the focused control's own, also when the item is disabled:
        // the key then does nothing at all.
        if (QAction* action = ShortcutAction(key)) {
            e->accept();
            if (type == QEvent::KeyPress && action->isEnabled()) {
                action->trigger();
            }
            return true;
        }
    }
    if (type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        auto* edit = qobject_cast<QLineEdit*>(watched);
        const bool typing =
            IsTypedText(key->text()) &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
        if (edit && typing) {
            const std::optional<QString> filtered = FilterTyped(edit, key->text());
            if (!filtered || *filtered == key->text()) {
                return false;
            }
            if (!filtered->isEmpty()) {
                edit->insert(*filtered);
            }
            return true;
        }
        auto* list = qobject_cast<QComboBox*>(watched);
        if (list && typing && list->count() > 0) {
            // Typing into a list opens it at the first entry that starts with the text.
            list->showPopup();
            list->view()->keyboardSearch(key->text());
            return true;
        }
    }
    if (type == QEvent::InputMethod) {
        auto* edit = qobject_cast<QLineEdit*>(watched);
        auto* input = static_cast<QInputMethodEvent*>(e);
        const QString commit = input->commitString();
        if (edit && !commit.isEmpty()) {
            const std::optional<QString> filtered = FilterTyped(edit, commit);
            if (filtered && *filtered != commit) {
                input->setCommitString(*filtered, input->replacementStart(),
                                       input->replacementLength());
            }
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

void TTvFrmMain::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!shown_ && !unitsLoadFailed_) {
        shown_ = true;
        Guard([this] { FrmMainShow(); });
    }
}

void TTvFrmMain::closeEvent(QCloseEvent* e) {
    FrmMainDestroy();
    e->accept();
}

// ---- start, page and group ----

void TTvFrmMain::FillGroupList() {
    comUnits->clear();
    for (int32_t i = 0; i < units_->GroupCount(); ++i) {
        comUnits->addItem(Q(units_->GetGroup(i).Name));
    }
    groupListFitted_ = false;
}

void TTvFrmMain::FillUnitLists() {
    comInput->clear();
    comOutput->clear();
    for (int32_t i = 0; i < units_->UnitCount(); ++i) {
        const TUnitEntry unit = units_->GetUnit(i);
        const QString name = Q(unit.Name);
        const QString tip = unit.Extra.empty() ? name : name + QLatin1Char('\n') + Q(unit.Extra);
        for (QComboBox* list : {comInput, comOutput}) {
            list->addItem(name);
            list->setItemData(i, tip, Qt::ToolTipRole);
        }
    }
    for (QComboBox* list : {comInput, comOutput}) {
        list->setCurrentIndex(list->count() > 0 ? 0 : -1);
        ShowCurrentTip(list);
    }
    unitListsFitted_ = false;
}

void TTvFrmMain::SelectGroupIndex(int index) {
    // A position beyond the list (an edited settings file, a shorter file after a re-read)
    // falls back to the first group.
    if (index < 0 || index >= comUnits->count()) {
        index = 0;
    }
    comUnits->setCurrentIndex(comUnits->count() > 0 ? index : -1);
}

TIniFile TTvFrmMain::Settings() const {
    return TIniFile(S(settingsPath_), S(settingsDefaults_));
}

void TTvFrmMain::ReadConvertSettings(const TIniFile& ini) {
    ConvDispose = ReadSetting(ini, setting::ConvDispose);
    ShowAns = ReadSetting(ini, setting::ShowAns);
    ShowExp = ReadSetting(ini, setting::ShowExp);
    ReadHistorySettings(ini);
}

void TTvFrmMain::FrmMainShow() {
    FillGroupList();

    const TIniFile ini = Settings();
    const int winPos = ReadSetting(ini, setting::WinPos);
    const int unitSeries = ReadSetting(ini, setting::UnitSeries);
    const int lastUnits = ReadSetting(ini, setting::LastUnits);
    const int setUnits = ReadSetting(ini, setting::SetUnits);
    ReadConvertSettings(ini);
    history_->Open(THistory::DefaultPath());
    lastUnitPair_ = ReadSetting(ini, setting::LastUnitPair);

    SelectGroupIndex(unitSeries == 1 ? lastUnits : unitSeries == 2 ? setUnits : 0);
    {
        const QSignalBlocker blocker(PageControl);
        PageControl->setCurrentIndex(0);
    }
    PageControlChange();
    comUnitsClick();
    if (lastUnitPair_ == 1 && comUnits->currentIndex() >= 0) {
        // The units last used in the start-up group; a unit no longer there leaves the first.
        const TUnitPairPlace place = history_->LastUnitsIn(*units_, S(comUnits->currentText()));
        if (place.Found()) {
            comInput->setCurrentIndex(place.Source);
            comOutput->setCurrentIndex(place.Target);
        }
    }

    // Placed last, so that the window manager's answer about the frame, asked for when the
    // window was made, comes while the lists fill rather than being waited for.
    // Left and Top are the outer frame's corner, as the shutdown writes them. A stored corner
    // that would leave the title bar out of every work area is brought back into one.
    if (winPos == 1) {
        const QMargins frame = FrameMargins(this);
        const QPoint centred = CentredPosition(this, frame);
        const int left = ReadSetting(ini, setting::Left, centred.x());
        const int top = ReadSetting(ini, setting::Top, centred.y());
        PlaceFrame(this, KeepOnScreen(this, QPoint(left, top), frame), frame);
    } else {
        CenterForm(this);
    }
    StartUpDone = true;
    NoticeReadOnlySettings();
}

void TTvFrmMain::NoticeReadOnlySettings() {
    if (readOnlyNoticed_ || !TIniFile::IsReadOnly(S(settingsPath_))) {
        return;
    }
    readOnlyNoticed_ = true;
    SetStatus(QStringLiteral("設定は保存されません (読取専用)"));
}

void TTvFrmMain::FrmMainDestroy() {
    if (!shown_ || shutdownDone_) {
        return;
    }
    shutdownDone_ = true;
    history_->Flush();
    SaveWindowSettings();
}

void TTvFrmMain::SaveWindowSettings() {
    if (!shown_) {
        return;
    }
    try {
        TIniFile ini = Settings();
        WriteSetting(ini, setting::Left, x());
        WriteSetting(ini, setting::Top, y());
        WriteSetting(ini, setting::LastUnits, comUnits->currentIndex());
        ini.Save();
    } catch (const std::exception& e) {
        ShowErrorBox(this, QString::fromUtf8(e.what()));
    }
}

QString TTvFrmMain::GroupCaption() const {
    const int index = comUnits->currentIndex();
    QString name;
    if (index >= 0 && index < units_->GroupCount()) {
        name = Q(units_->GetGroup(index).Name);
    }
    return QStringLiteral("Tenvari - ") + name;
}

void TTvFrmMain::PageControlChange() {
    history_->Flush();
    if (PageControl->currentIndex() == 0) {
        SetCaption(GroupCaption());
        mnuAConv->setEnabled(true);
        mnuCopy->setEnabled(false);
        FocusValueBox(edtInput);
    } else {
        SetCaption(QStringLiteral("Tenvari - 基数変換"));
        mnuAConv->setEnabled(true);
        mnuCopy->setEnabled(false);
        FocusValueBox(edtInputB);
    }
    SetStatus(QString());
}

void TTvFrmMain::comUnitsClick() {
    const int index = comUnits->currentIndex();
    if (index == LoadedUnits) {
        return;
    }
    history_->Flush();
    SetCaption(QStringLiteral("Tenvari - 読込中"));
    if (index >= 0 && index < units_->GroupCount()) {
        units_->SelectGroup(index);
    }

    comInput->hide();
    comOutput->hide();
    FillUnitLists();
    comInput->show();
    comOutput->show();

    // Emptied only now, with the new group's units in the lists, because with ConvDispose = 1
    // emptying the box converts at once.
    SetBoxText(edtInput, QString());
    edtOutput->setText(QStringLiteral("0"));
    edtOutput->SetStale(false);

    SetCaption(GroupCaption());
    LoadedUnits = index;
}

void TTvFrmMain::FocusValueBox(QLineEdit* box) {
    box->setFocus();
    box->selectAll();
}

void TTvFrmMain::SetZeroSelected(QLineEdit* box) {
    SetBoxText(box, QStringLiteral("0"));
    box->selectAll();
}

void TTvFrmMain::SetCaption(const QString& caption) {
    setWindowTitle(caption);
}

void TTvFrmMain::SetStatus(const QString& text) {
    if (panel0_) {
        panel0_->SetText(text);
    }
}

// ---- unit conversion ----

bool TTvFrmMain::UnitListsUsable() const {
    const int count = units_->UnitCount();
    const int source = comInput->currentIndex();
    const int target = comOutput->currentIndex();
    return comInput->count() == count && comOutput->count() == count && source >= 0 &&
           source < count && target >= 0 && target < count;
}

bool TTvFrmMain::UnitConv() {
    if (!StartUpDone) {
        return true;
    }
    // Without a unit in both lists (a units file without groups) there is nothing to convert.
    if (!UnitListsUsable()) {
        return true;
    }
    const bool fromEmptyBox = edtInput->text().isEmpty();
    if (fromEmptyBox) {
        // The conversion that the "0" starts is this one's, not an entry of its own.
        const THistoryRecorder::TScope inner(*history_, THistoryRecorder::TMode::None);
        SetZeroSelected(edtInput);
    }

    TUnitConvRequest request;
    request.InputText = S(edtInput->text());
    const int source = comInput->currentIndex();
    const int target = comOutput->currentIndex();
    request.Source = units_->GetUnit(source);
    request.Target = units_->GetUnit(target);
    request.SameUnit = source == target;
    request.ShowAns = ShowAns;
    request.ShowExp = ShowExp;
    request.PreviousOutput = S(edtOutput->text());
    try {
        const TUnitConvResult result = ConvertUnit(request, *prefixes_);
        // Both lines are made before either is added, so that a report goes in whole or not at
        // all when memory runs out.
        QString lines = Q(result.ReportLine) + QStringLiteral("\r\n");
        if (!result.FormulaLine.empty()) {
            lines += Q(result.FormulaLine) + QStringLiteral("\r\n");
        }
        ResultText() += lines;
        // Written before the result is shown: a result on the screen is in the history.
        history_->Converted(PageEntry(false, result.Output), fromEmptyBox);
        edtOutput->setText(Q(result.Output));
        edtOutput->SetStale(false);
        SetStatus(QStringLiteral("単位変換：変換完了"));
        return true;
    } catch (const std::exception& e) {
        const std::string name = ReportedFailureName(e);
        if (name.empty()) {
            throw;
        }
        SetStatus(Q(name) + QStringLiteral(" Error."));
        edtOutput->SetStale(true);
        Sound().Exclamation();
        return false;
    }
}

void TTvFrmMain::mnuNConvClick() {
    const THistoryRecorder::TScope command(*history_, THistoryRecorder::TMode::Now);
    if (!BatchRunning) {
        ResultText().clear();
    }
    if (PageControl->currentIndex() == 0) {
        UnitConv();
    } else {
        BaseConv();
    }
    mnuOtherWinShow->setEnabled(true);
    mnuCopy->setEnabled(true);
}

void TTvFrmMain::edtInputChange() {
    edtOutput->SetStale(true);
    if (ConvDispose == 1) {
        UnitConv();
    }
}

bool TTvFrmMain::comChange() {
    history_->Flush();
    return ConvDispose != 1 || UnitConv();
}

QString TTvFrmMain::edtInputKeyPress(const QString& text) const {
    if (prefixes_->Loaded()) {
        return text;
    }
    static const QString allowed = QStringLiteral("()*+-./0123456789E^e");
    QString kept;
    for (QChar c : text) {
        if (allowed.contains(c)) {
            kept += c;
        }
    }
    return kept;
}

// ---- base conversion ----

bool TTvFrmMain::BaseConv() {
    if (!StartUpDone) {
        return true;
    }
    const bool fromEmptyBox = edtInputB->text().isEmpty();
    if (fromEmptyBox) {
        const THistoryRecorder::TScope inner(*history_, THistoryRecorder::TMode::None);
        SetZeroSelected(edtInputB);
    }
    try {
        const TBaseConvResult result =
            ConvertBase(S(edtInputB->text()), S(edtBaseInput->text()), S(edtBaseOutput->text()));
        history_->Converted(PageEntry(true, result.Output), fromEmptyBox);
        edtOutputB->setText(Q(result.Output));
        edtOutputB->SetStale(false);
        ResultText() += Q(result.ReportLine) + QStringLiteral("\r\n");
        SetStatus(QStringLiteral("基数変換：変換完了"));
        return true;
    } catch (const EConvertError&) {
        SetStatus(QStringLiteral("Convert Error."));
        edtOutputB->SetStale(true);
        Sound().Exclamation();
        return false;
    }
}

void TTvFrmMain::edtInputBChange() {
    edtOutputB->SetStale(true);
    if (ConvDispose == 1) {
        BaseConv();
    }
}

void TTvFrmMain::edtBaseInputChange() {
    edtOutputB->SetStale(true);
    history_->Flush();
    SetBoxText(edtInputB, QString());
    if (ConvDispose == 1) {
        BaseConv();
    }
}

void TTvFrmMain::btnBaseInputClick(const QString& caption) {
    SetBoxText(edtBaseInput, caption);
    FocusValueBox(edtInputB);
}

void TTvFrmMain::btnBaseOutputClick(const QString& caption) {
    history_->Flush();
    edtBaseOutput->setText(caption);
    FocusValueBox(edtInputB);
    if (ConvDispose == 1) {
        BaseConv();
    }
}

QString TTvFrmMain::edtInputBKeyPress(const QString& text) const {
    const int base = udbBaseInput->Position();
    QString kept;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (base <= 10) {
            if (u >= u'0' && u < u'0' + base) {
                kept += c;
            }
            continue;
        }
        const char16_t lastLetter = static_cast<char16_t>(u'A' + base - 11);
        char16_t upper = u;
        if (u >= u'a' && u <= u'a' + (base - 11)) {
            upper = static_cast<char16_t>(u - u'a' + u'A');
        }
        if ((upper >= u'0' && upper <= u'9') || (upper >= u'A' && upper <= lastLetter)) {
            kept += QChar(upper);
        }
    }
    return kept;
}

QString TTvFrmMain::edtBaseKeyPress(const QString& text) const {
    QString kept;
    for (QChar c : text) {
        if (c.unicode() >= u'0' && c.unicode() <= u'9') {
            kept += c;
        }
    }
    return kept;
}

// ---- batch and results ----

void TTvFrmMain::mnuAConvClick() {
    BatchRunning = true;
    try {
        ResultText().clear();
        // The batch is one entry, written once all its conversions are done.
        bool converted = false;
        THistoryEntry entry = PageEntry(PageControl->currentIndex() != 0, {});
        const THistoryRecorder::TScope steps(*history_, THistoryRecorder::TMode::None);
        if (PageControl->currentIndex() == 0) {
            const int count = std::min<int>(units_->UnitCount(), comOutput->count());
            {
                const TQuietAccessibility quiet;
                for (int i = 0; i < count; ++i) {
                    comOutput->setCurrentIndex(i);
                    converted = UnitConv() || converted;
                }
            }
            SetStatus(QStringLiteral("単位変換：一括変換完了"));
            edtOutput->setText(QStringLiteral("0"));
            comOutput->setCurrentIndex(comOutput->count() > 0 ? 0 : -1);
            // The results are in the report; the box's "0" is none of them.
            edtOutput->SetStale(true);
        } else {
            {
                const TQuietAccessibility quiet;
                for (int base = 2; base <= 36; ++base) {
                    edtBaseOutput->setText(QString::number(base));
                    converted = BaseConv() || converted;
                }
            }
            SetStatus(QStringLiteral("基数変換：一括変換完了"));
            edtOutputB->setText(QStringLiteral("0"));
            edtBaseOutput->setText(QStringLiteral("10"));
            edtOutputB->SetStale(true);
        }
        if (converted) {
            // Before the report is shown; the value as typed, which an empty box made "0".
            entry.Value = S((PageControl->currentIndex() == 0 ? edtInput : edtInputB)->text());
            entry.Target.clear();
            entry.Batch = true;
            entry.Result =
                S(ResultText().trimmed().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
            history_->RecordNow(entry);
        }
        Sound().Asterisk();
        EnsureWindows();
        frmAll_->ShowModal();
    } catch (...) {
        BatchRunning = false;
        throw;
    }
    BatchRunning = false;
    mnuCopy->setEnabled(true);
    mnuOtherWinShow->setEnabled(true);
}

void TTvFrmMain::mnuOtherWinShowClick() {
    EnsureWindows();
    frmAll_->ShowModal();
}

// ---- edit commands ----

void TTvFrmMain::mnuCopyClick() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    QString text = ResultText();
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).unicode() <= 0x20) {
        --end;
    }
    text.truncate(end);
    if (!text.isEmpty()) {
        // The report keeps CR LF; the desktop's text convention is LF.
        clipboard->setText(text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    }
    SetStatus(QStringLiteral("クリップボードへ送信"));
}

void TTvFrmMain::mnuPasteClick() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasText()) {
        Sound().Exclamation();
        return;
    }
    // Full-width digits and letters from a Japanese document read as typed ones.
    QString text = Q(MapText(S(data->text())));
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));

    if (PageControl->currentIndex() == 0) {
        QString value;
        if (IsNumberText(S(text))) {
            // Digit grouping, as the program's own output has it, is no part of a value.
            value = text;
            value.remove(QLatin1Char(','));
        } else {
            try {
                value = Q(FormatGeneral(Calculate(S(text), *prefixes_)));
            } catch (const std::exception&) {
                SetStatus(QStringLiteral("単位変換：値の貼り付け失敗"));
                Sound().Exclamation();
                return;
            }
        }
        SetBoxText(edtInput, value);
        SetStatus(QStringLiteral("単位変換：値の貼り付け完了"));
        if (ConvDispose == 1) {
            UnitConv();
        }
        return;
    }
    const int base = udbBaseInput->Position();
    if (IsBaseStr(S(text), static_cast<uint8_t>(base))) {
        SetBoxText(edtInputB, text);
        SetStatus(QStringLiteral("基数変換：値の貼り付け完了"));
        if (ConvDispose == 1) {
            BaseConv();
        }
    } else {
        SetStatus(QStringLiteral("基数変換：値の貼り付け失敗"));
        Sound().Exclamation();
    }
}

void TTvFrmMain::mnuClearClick() {
    if (PageControl->currentIndex() == 0) {
        SetBoxText(edtInput, QString());
        edtOutput->setText(QStringLiteral("0"));
        comInput->setCurrentIndex(comInput->count() > 0 ? 0 : -1);
        comOutput->setCurrentIndex(comOutput->count() > 0 ? 0 : -1);
        edtOutput->SetStale(false);
        SetStatus(QStringLiteral("単位変換：クリア完了"));
    } else {
        SetBoxText(edtInputB, QString());
        edtOutputB->setText(QStringLiteral("0"));
        SetBoxText(edtBaseInput, QStringLiteral("10"));
        edtBaseOutput->setText(QStringLiteral("10"));
        edtOutputB->SetStale(false);
        SetStatus(QStringLiteral("基数変換：クリア完了"));
    }
    Sound().Asterisk();
}

// ---- other commands ----

void TTvFrmMain::mnuFrontClick() {
    const bool on = mnuFront->isChecked();
    SetTopMost(this, on);
    panel1_->setText(on ? QStringLiteral("TopMost") : QStringLiteral("-"));
    TopMostMode = on;
}

void TTvFrmMain::mnuSettingClick() {
    history_->Flush();
    EnsureWindows();
    frmSet_->ShowModal();
    ReadConvertSettings(Settings());
    NoticeReadOnlySettings();
    emit SettingsClosed();
}

void TTvFrmMain::mnuDataReReadClick() {
    const int noted = comUnits->currentIndex();
    if (!LoadData()) {
        // The old tables are gone and the new catalogue is unusable: the program ends.
        unitsLoadFailed_ = true;
        close();
        return;
    }
    comUnits->hide();
    FillGroupList();
    comUnits->show();
    LoadedUnits = kNoGroupLoaded;
    BatchRunning = false;
    SelectGroupIndex(noted);
    comUnitsClick();
    SetStatus(QStringLiteral("Data Refreshed."));
}

void TTvFrmMain::mnuHelpClick() {
    const QString helpPath = dataDir_ + QStringLiteral("tvhelp.chm");
    const QString textPath = dataDir_ + QStringLiteral("readme.txt");
    if (QFileInfo(helpPath).isFile()) {
        OpenUrlOrWarn(this, QUrl::fromLocalFile(helpPath));
    } else if (QFileInfo(textPath).isFile()) {
        OpenUrlOrWarn(this, QUrl::fromLocalFile(textPath));
    } else {
        QMessageBox::warning(this, QStringLiteral("警告"),
                             QStringLiteral("ヘルプファイルがありません。"));
    }
}

void TTvFrmMain::mnuAboutClick() {
    EnsureWindows();
    frmAbout_->ShowModal();
}

void TTvFrmMain::mnuEndClick() {
    close();
}

// ---- unit search, swap, value copy, the user's units ----

void TTvFrmMain::FocusActiveValueBox() {
    if (PageControl != nullptr) {
        FocusValueBox(PageControl->currentIndex() == 0 ? edtInput : edtInputB);
    }
}

void TTvFrmMain::OpenUnitSearch(const QString& terms) {
    Guard([this, &terms] { FindUnit(terms); });
}

void TTvFrmMain::mnuFindClick() {
    FindUnit(std::nullopt);
}

TQueryParse TTvFrmMain::ReadQuery(const QString& text) {
    if (!search_) {
        search_ = std::make_unique<TUnitSearch>(*units_);
    }
    return ParseQuery(S(text), {*units_, *search_, *prefixes_});
}

QString TTvFrmMain::QueryProblem(const QString& text) {
    const std::optional<TQueryProblem> problem = QueryProblemOf(ReadQuery(text), S(text));
    return problem ? Q(problem->Message) : QString();
}

void TTvFrmMain::ShowQuery(const QString& text) {
    Guard([this, &text] {
        TQueryParse parse = ReadQuery(text);
        if (const std::optional<TQueryProblem> problem = QueryProblemOf(parse, S(text))) {
            SetStatus(Q(problem->Message));
            Sound().Exclamation();
            return;
        }
        TQuery& query = parse.Query;
        if (!query.Targets.empty()) {
            TakeFoundQuery(query, text);
            return;
        }
        // Without a target: the value in its own unit, then in every unit of the group.
        const TQueryTerm& last = query.Terms.back();
        query.Targets.push_back({last.UnitText, last.Unit, last.Entry});
        TakeFoundQuery(query, text);
        mnuAConvClick();
    });
}

void TTvFrmMain::FindUnit(const std::optional<QString>& filter) {
    if (!search_) {
        search_ = std::make_unique<TUnitSearch>(*units_);
    }
    if (!frmFind_) {
        frmFind_ = new TTvFrmFind(this);
    }
    history_->Flush();
    frmFind_->SetRecent(RecentHits());
    const TQueryData queries{*units_, *search_, *prefixes_};
    if (const std::optional<TFindChoice> choice = frmFind_->ShowModal(*search_, &queries, filter)) {
        if (choice->Query) {
            TakeFoundQuery(*choice->Query, choice->QueryText);
        } else {
            TakeFoundUnit(*choice);
        }
    }
}

void TTvFrmMain::TakeFoundQuery(const TQuery& query, const QString& text) {
    const TQueryData queries{*units_, *search_, *prefixes_};
    TQueryPage page;
    QString mixed;
    try {
        page = QueryPage(query, queries);
        if (query.Targets.size() > 1) {
            mixed = Q(ConvertQuery(query, queries, ShowAns, 0).front().Output);
        }
    } catch (const std::exception& e) {
        const std::string name = ReportedFailureName(e);
        if (name.empty()) {
            throw;
        }
        SetStatus(Q(name) + QStringLiteral(" Error."));
        Sound().Exclamation();
        return;
    }
    TakeFoundUnit({{page.Group, page.Source, 0, -1}, false, std::nullopt, QString()});
    comOutput->setCurrentIndex(page.Target);
    SetBoxText(edtInput, Q(page.InputText));
    // Converted as Enter converts on the unit page, whatever ConvDispose says.
    const THistoryRecorder::TScope command(*history_, THistoryRecorder::TMode::Now);
    if (!BatchRunning) {
        ResultText().clear();
    }
    const bool converted = UnitConv();
    mnuOtherWinShow->setEnabled(true);
    mnuCopy->setEnabled(true);
    if (converted) {
        SetStatus(QStringLiteral("単位変換：「%1」を変換完了").arg(text.trimmed()) +
                  (mixed.isEmpty() ? QString() : QStringLiteral("（%1）").arg(mixed)));
    }
}

void TTvFrmMain::TakeFoundUnit(const TFindChoice& choice) {
    const TUnitHit& hit = choice.Hit;
    if (hit.Group < 0 || hit.Group >= comUnits->count()) {
        return;
    }
    if (PageControl->currentIndex() != 0) {
        {
            const QSignalBlocker blocker(PageControl);
            PageControl->setCurrentIndex(0);
        }
        PageControlChange();
    }
    comUnits->setCurrentIndex(hit.Group);
    comUnitsClick();

    QComboBox* list = choice.Target ? comOutput : comInput;
    if (hit.Position < 0 || hit.Position >= list->count()) {
        return;
    }
    list->setCurrentIndex(hit.Position);
    // A failed conversion keeps its own status text; otherwise the panel names the choice.
    if (comChange()) {
        SetStatus(
            (choice.Target ? QStringLiteral("変換後の単位：") : QStringLiteral("変換前の単位：")) +
            list->currentText());
    }
}

void TTvFrmMain::mnuSwapClick() {
    history_->Flush();
    if (PageControl->currentIndex() == 0) {
        const int source = comInput->currentIndex();
        comInput->setCurrentIndex(comOutput->currentIndex());
        comOutput->setCurrentIndex(source);
        if (ConvDispose != 1 || UnitConv()) {
            SetStatus(QStringLiteral("単位変換：単位の入れ替え完了"));
        }
        return;
    }
    const QString inputBase = edtBaseInput->text();
    {
        // Not a new input base: the value in the input box is kept, so its change handler, which
        // empties the box, does not run.
        const QSignalBlocker blocker(edtBaseInput);
        edtBaseInput->setText(edtBaseOutput->text());
    }
    edtBaseOutput->setText(inputBase);
    if (ConvDispose != 1 || BaseConv()) {
        SetStatus(QStringLiteral("基数変換：基数の入れ替え完了"));
    }
}

void TTvFrmMain::mnuCopyValueClick() {
    const TAlEdit* box = PageControl->currentIndex() == 0 ? edtOutput : edtOutputB;
    const QString value = box->text();
    // A value left from an earlier input is not the one the user sees converted.
    if (value.isEmpty() || box->IsStale()) {
        Sound().Exclamation();
        return;
    }
    QGuiApplication::clipboard()->setText(value);
    SetStatus(QStringLiteral("クリップボードへ送信"));
}

void TTvFrmMain::mnuUserEditClick() {
    // A file that cannot be created throws, naming it, into the error box.
    const TUserUnitsFile file = CreateUserUnitsFile(UserDataDir());
    // Without an editor the warning at least tells the user where the file is.
    OpenUrlOrWarn(this, QUrl::fromLocalFile(Q(file.Path)));
}

// Guard is defined in this file; the rest of the history and favourites is in
// Tv10FrmMainHistory.cpp.
void TTvFrmMain::ShowEntry(const THistoryEntry& entry) {
    Guard([this, &entry] { ApplyEntry(entry); });
}

} // namespace tv
