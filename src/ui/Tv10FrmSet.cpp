#include "ui/Tv10FrmSet.h"

#include "ui/TvAccessible.h"
#include "ui/TvFormControl.h"
#include "ui/TvIniFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <algorithm>
#include <cstddef>
#include <exception>
#include <iterator>
#include <utility>

namespace tv {

namespace {

// Places a control at its position; a text wider than the given box widens the box rather than
// being cut off, since the font here is not the one the sizes were made for. The height stays:
// the extra height a style asks for is focus-frame margin, and the rows are packed tight.
void Place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(left, top, std::max(width, widget->sizeHint().width()), height);
}

QRadioButton* Radio(QWidget* parent, const char* name, const QString& text, int left, int top,
                    int width, int height) {
    auto* button = new QRadioButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    Place(button, left, top, width, height);
    return button;
}

QGroupBox* Group(QWidget* parent, const char* name, const QString& title, int left, int top,
                 int width, int height) {
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(left, top, width, height);
    return box;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, int left, int top, int width,
              int height) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    Place(label, left, top, width, height);
    return label;
}

template <std::size_t N> QRadioButton* ButtonOf(QRadioButton* const (&buttons)[N], int value) {
    return value >= 0 && value < static_cast<int>(N) ? buttons[value] : nullptr;
}

} // namespace

TTvFrmSet::TTvFrmSet(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    InstallAccessibility();
    MakeDialogFrame(this);
    setWindowTitle(QStringLiteral("設定"));
    setFixedSize(331, 218);

    pctSetting_ = new QTabWidget(this);
    pctSetting_->setObjectName(QStringLiteral("pctSetting"));
    pctSetting_->setGeometry(0, 0, 331, 185);

    auto* TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    pctSetting_->addTab(TabSheet1, QStringLiteral("起動時"));
    QGroupBox* gbMainWinPos = Group(
        TabSheet1, "gbMainWinPos", QStringLiteral("起動時のメインウィンドウの位置"), 4, 8, 313, 49);
    rbtMainWinPos_[0] =
        Radio(gbMainWinPos, "rbtMainWinPos1", QStringLiteral("デスクトップの中央"), 8, 20, 121, 17);
    rbtMainWinPos_[1] =
        Radio(gbMainWinPos, "rbtMainWinPos2", QStringLiteral("前回終了時の位置"), 148, 20, 121, 17);
    QGroupBox* gbUnitListSet =
        Group(TabSheet1, "gbUnitListSet", QStringLiteral("起動時の単位集団"), 4, 76, 313, 73);
    rbtUnitListSet_[0] =
        Radio(gbUnitListSet, "rbtUnitListSet1", QStringLiteral("集団リストの先頭"), 8, 20, 125, 17);
    rbtUnitListSet_[1] =
        Radio(gbUnitListSet, "rbtUnitListSet2", QStringLiteral("前回終了時の集団"), 8, 44, 133, 17);
    rbtUnitListSet_[2] =
        Radio(gbUnitListSet, "rbtUnitListSet3", QStringLiteral("選択した集団"), 148, 20, 101, 17);
    comUnitSeries_ = new QComboBox(gbUnitListSet);
    comUnitSeries_->setObjectName(QStringLiteral("comUnitSeries"));
    comUnitSeries_->setEditable(false);
    comUnitSeries_->setGeometry(160, 37, 137, comUnitSeries_->sizeHint().height());

    auto* TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    pctSetting_->addTab(TabSheet2, QStringLiteral("変換　"));
    QGroupBox* gbConvDispose = Group(TabSheet2, "gbConvDispose",
                                     QStringLiteral("通常変換実行のタイミング"), 4, 8, 313, 49);
    rbtConvDispose_[0] =
        Radio(gbConvDispose, "rbtConvDispose1", QStringLiteral("手動"), 8, 20, 113, 17);
    rbtConvDispose_[1] =
        Radio(gbConvDispose, "rbtConvDispose2", QStringLiteral("各項目の変更毎"), 148, 20, 153, 17);
    QGroupBox* gbShowAns =
        Group(TabSheet2, "gbShowAns", QStringLiteral("変換後値の表示方法"), 4, 63, 313, 92);
    rbtShowAns_[0] = Radio(gbShowAns, "rbtShowAns1", QStringLiteral("デフォルト"), 8, 20, 113, 17);
    rbtShowAns_[1] =
        Radio(gbShowAns, "rbtShowAns2", QStringLiteral("全て指数形式"), 8, 44, 129, 17);
    rbtShowAns_[2] =
        Radio(gbShowAns, "rbtShowAns3", QStringLiteral("整数部は桁区切り付き"), 8, 67, 137, 17);
    cbxExpShow_ = new QCheckBox(QStringLiteral("変換式を表示する"), gbShowAns);
    cbxExpShow_->setObjectName(QStringLiteral("cbxExpShow"));
    Place(cbxExpShow_, 148, 21, 118, 17);
    Label(gbShowAns, "lblShowExp1", QStringLiteral("※変換式は"), 155, 41, 66, 13);
    Label(gbShowAns, "lblShowExp2", QStringLiteral("　 変換結果ウィンドウから"), 155, 57, 155, 13);
    Label(gbShowAns, "lblShowExp3", QStringLiteral("　 確認することができます。"), 155, 72, 155,
          13);

    auto* TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    pctSetting_->addTab(TabSheet3, QStringLiteral("履歴"));
    QGroupBox* gbHistory =
        Group(TabSheet3, "gbHistory", QStringLiteral("変換の履歴"), 4, 8, 313, 73);
    cbxHistory_ = new QCheckBox(QStringLiteral("変換を履歴に残す"), gbHistory);
    cbxHistory_->setObjectName(QStringLiteral("cbxHistory"));
    Place(cbxHistory_, 8, 20, 153, 17);
    QLabel* lblHistoryEntries =
        Label(gbHistory, "lblHistoryEntries", QStringLiteral("残す件数"), 8, 47, 60, 13);
    spnHistoryEntries_ = new QSpinBox(gbHistory);
    spnHistoryEntries_->setObjectName(QStringLiteral("spnHistoryEntries"));
    spnHistoryEntries_->setRange(setting::HistoryEntries.Least, setting::HistoryEntries.Most);
    spnHistoryEntries_->setSuffix(QStringLiteral(" 件"));
    spnHistoryEntries_->setAlignment(Qt::AlignRight);
    spnHistoryEntries_->setGeometry(80, 42, 97, 22);
    lblHistoryEntries->setBuddy(spnHistoryEntries_);
    spnHistoryEntries_->setAccessibleName(QStringLiteral("残す件数"));
    QGroupBox* gbLastUnitPair =
        Group(TabSheet3, "gbLastUnitPair", QStringLiteral("起動時の単位"), 4, 87, 313, 49);
    cbxLastUnitPair_ = new QCheckBox(QStringLiteral("前回の単位で開始"), gbLastUnitPair);
    cbxLastUnitPair_->setObjectName(QStringLiteral("cbxLastUnitPair"));
    Place(cbxLastUnitPair_, 8, 20, 153, 17);

    auto* TabSheet4 = new QWidget;
    TabSheet4->setObjectName(QStringLiteral("TabSheet4"));
    pctSetting_->addTab(TabSheet4, QStringLiteral("デスクトップ"));
    QGroupBox* gbTray = Group(TabSheet4, "gbTray", QStringLiteral("通知領域"), 4, 8, 313, 73);
    cbxTrayIcon_ = new QCheckBox(QStringLiteral("通知領域にアイコンを表示する"), gbTray);
    cbxTrayIcon_->setObjectName(QStringLiteral("cbxTrayIcon"));
    Place(cbxTrayIcon_, 8, 20, 200, 17);
    Label(gbTray, "lblTray1", QStringLiteral("※ウィンドウを閉じると終了せずに"), 15, 41, 280, 13);
    Label(gbTray, "lblTray2", QStringLiteral("　 通知領域に隠れます。"), 15, 56, 280, 13);

    btnOK_ = new QPushButton(QStringLiteral("OK"), this);
    btnOK_->setObjectName(QStringLiteral("btnOK"));
    btnOK_->setGeometry(132, 191, 89, 21);
    btnOK_->setDefault(true);
    btnCancel_ = new QPushButton(QStringLiteral("キャンセル"), this);
    btnCancel_->setObjectName(QStringLiteral("btnCancel"));
    btnCancel_->setGeometry(232, 191, 89, 21);

    // Checks by the program run the handlers too, but only when the state really changes.
    const auto onChecked = [this](auto& buttons, void (TTvFrmSet::*handler)(int)) {
        for (int value = 0; value < static_cast<int>(std::size(buttons)); ++value) {
            connect(buttons[value], &QRadioButton::toggled, this, [this, handler, value](bool on) {
                if (on) {
                    (this->*handler)(value);
                }
            });
        }
    };
    onChecked(rbtMainWinPos_, &TTvFrmSet::rbtMainWinPosClick);
    onChecked(rbtUnitListSet_, &TTvFrmSet::rbtUnitListSetClick);
    onChecked(rbtConvDispose_, &TTvFrmSet::rbtConvDisposeClick);
    onChecked(rbtShowAns_, &TTvFrmSet::rbtShowAnsClick);
    connect(comUnitSeries_, &QComboBox::activated, this, [this] { comUnitSeriesClick(); });
    connect(cbxExpShow_, &QCheckBox::toggled, this, [this] { cbxExpShowClick(); });
    connect(cbxHistory_, &QCheckBox::toggled, this, [this] { cbxHistoryClick(); });
    connect(spnHistoryEntries_, &QSpinBox::valueChanged, this,
            [this](int value) { HistoryEntries = value; });
    connect(cbxLastUnitPair_, &QCheckBox::toggled, this,
            [this](bool on) { LastUnitPair = on ? 1 : 0; });
    connect(cbxTrayIcon_, &QCheckBox::toggled, this, [this] { cbxTrayIconClick(); });
    connect(btnOK_, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnCancel_, &QPushButton::clicked, this, [this] { btnCancelClick(); });

    pctSetting_->setCurrentIndex(0);
}

void TTvFrmSet::SetGroupNames(std::function<QStringList()> groupNames) {
    groupNames_ = std::move(groupNames);
}

void TTvFrmSet::SetTrayAvailable(std::function<bool()> available) {
    trayAvailable_ = std::move(available);
}

void TTvFrmSet::SetSettingsPath(const QString& path, const QString& defaults) {
    settingsPath_ = path;
    settingsDefaults_ = defaults;
}

QRadioButton* TTvFrmSet::rbtMainWinPos(int value) const {
    return ButtonOf(rbtMainWinPos_, value);
}

QRadioButton* TTvFrmSet::rbtUnitListSet(int value) const {
    return ButtonOf(rbtUnitListSet_, value);
}

QRadioButton* TTvFrmSet::rbtConvDispose(int value) const {
    return ButtonOf(rbtConvDispose_, value);
}

QRadioButton* TTvFrmSet::rbtShowAns(int value) const {
    return ButtonOf(rbtShowAns_, value);
}

int TTvFrmSet::ShowModal() {
    frmSetShow();
    return exec();
}

void TTvFrmSet::frmSetShow() {
    SetTopMost(this, TopMostMode);
    CenterForm(this);

    const TIniFile ini(settingsPath_.toStdString(), settingsDefaults_.toStdString());

    comUnitSeries_->clear();
    if (groupNames_) {
        comUnitSeries_->addItems(groupNames_());
    }

    // A stored value outside the listed ones shows as the default choice, and OK writes what is
    // shown, never a value the dialog did not display.
    WinPos = Choice(setting::WinPos, ReadSetting(ini, setting::WinPos));
    rbtMainWinPos_[WinPos]->setChecked(true);

    UnitSeries = Choice(setting::UnitSeries, ReadSetting(ini, setting::UnitSeries));
    rbtUnitListSet_[UnitSeries]->setChecked(true);

    SetUnits = ReadSetting(ini, setting::SetUnits);
    comUnitSeries_->setCurrentIndex(SetUnits >= 0 && SetUnits < comUnitSeries_->count() ? SetUnits
                                                                                        : -1);
    comUnitSeries_->setEnabled(UnitSeries == 2);

    ConvDispose = Choice(setting::ConvDispose, ReadSetting(ini, setting::ConvDispose));
    rbtConvDispose_[ConvDispose]->setChecked(true);

    ShowAns = Choice(setting::ShowAns, ReadSetting(ini, setting::ShowAns));
    rbtShowAns_[ShowAns]->setChecked(true);

    ShowExp = Choice(setting::ShowExp, ReadSetting(ini, setting::ShowExp));
    cbxExpShow_->setChecked(ShowExp == 1);

    HistoryOn = Choice(setting::HistoryOn, ReadSetting(ini, setting::HistoryOn));
    HistoryEntries = Choice(setting::HistoryEntries, ReadSetting(ini, setting::HistoryEntries));
    LastUnitPair = Choice(setting::LastUnitPair, ReadSetting(ini, setting::LastUnitPair));
    cbxHistory_->setChecked(HistoryOn == 1);
    spnHistoryEntries_->setValue(HistoryEntries);
    spnHistoryEntries_->setEnabled(HistoryOn == 1);
    cbxLastUnitPair_->setChecked(LastUnitPair == 1);

    TrayIcon = Choice(setting::TrayIcon, ReadSetting(ini, setting::TrayIcon));
    cbxTrayIcon_->setChecked(TrayIcon == 1);
    const bool tray = trayAvailable_ ? trayAvailable_() : QSystemTrayIcon::isSystemTrayAvailable();
    cbxTrayIcon_->setEnabled(tray);
    cbxTrayIcon_->setToolTip(tray ? QString()
                                  : QStringLiteral("このデスクトップには通知領域がないため、"
                                                   "使えません。"));

    // The first control of the page it opens on: the chosen option of its first group.
    QWidget* const first[] = {rbtMainWinPos_[WinPos], rbtConvDispose_[ConvDispose], cbxHistory_,
                              cbxTrayIcon_};
    FocusFirstControl(first[std::clamp(pctSetting_->currentIndex(), 0, 3)]);
}

void TTvFrmSet::rbtMainWinPosClick(int value) {
    WinPos = value;
}

void TTvFrmSet::rbtUnitListSetClick(int value) {
    UnitSeries = value;
    comUnitSeries_->setEnabled(UnitSeries == 2);
}

void TTvFrmSet::comUnitSeriesClick() {
    SetUnits = comUnitSeries_->currentIndex();
}

void TTvFrmSet::rbtConvDisposeClick(int value) {
    ConvDispose = value;
}

void TTvFrmSet::rbtShowAnsClick(int value) {
    ShowAns = value;
}

void TTvFrmSet::cbxExpShowClick() {
    ShowExp = cbxExpShow_->isChecked() ? 1 : 0;
}

void TTvFrmSet::cbxHistoryClick() {
    HistoryOn = cbxHistory_->isChecked() ? 1 : 0;
    spnHistoryEntries_->setEnabled(HistoryOn == 1);
}

void TTvFrmSet::cbxTrayIconClick() {
    TrayIcon = cbxTrayIcon_->isChecked() ? 1 : 0;
}

void TTvFrmSet::btnOKClick() {
    try {
        TIniFile ini(settingsPath_.toStdString(), settingsDefaults_.toStdString());
        WriteSetting(ini, setting::WinPos, WinPos);
        WriteSetting(ini, setting::UnitSeries, UnitSeries);
        WriteSetting(ini, setting::SetUnits, SetUnits);
        WriteSetting(ini, setting::ConvDispose, ConvDispose);
        WriteSetting(ini, setting::ShowAns, ShowAns);
        WriteSetting(ini, setting::ShowExp, ShowExp);
        WriteSetting(ini, setting::HistoryOn, HistoryOn);
        WriteSetting(ini, setting::HistoryEntries, HistoryEntries);
        WriteSetting(ini, setting::LastUnitPair, LastUnitPair);
        WriteSetting(ini, setting::TrayIcon, TrayIcon);
        ini.Save();
    } catch (const std::exception& error) {
        // The dialog stays open with its choices, so the user can cancel or try again.
        ShowErrorBox(this, QString::fromStdString(error.what()));
        return;
    }
    accept();
}

void TTvFrmSet::btnCancelClick() {
    reject();
}

} // namespace tv
