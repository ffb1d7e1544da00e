#pragma once

#include "ui/TvSettingKeys.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class QTabWidget;
class QRadioButton;
class QComboBox;
class QCheckBox;
class QPushButton;
class QGroupBox;
class QSpinBox;

namespace tv {

// The settings dialog "設定".
class TTvFrmSet : public QDialog {
    Q_OBJECT
public:
    explicit TTvFrmSet(QWidget* parent = nullptr);

    // The group names of the main window's catalogue as it stands at each showing, and the
    // settings file to read and write.
    void SetGroupNames(std::function<QStringList()> groupNames);
    void SetSettingsPath(const QString& path, const QString& defaults = QString());
    // Whether the desktop has a tray, asked at each showing; the system tray's own answer unless
    // a test sets another.
    void SetTrayAvailable(std::function<bool()> available);

    // frmSetShow, then the modal showing; returns QDialog::Accepted after OK, Rejected after
    // Cancel.
    int ShowModal();

    // For tests: the controls a user sees.
    QTabWidget* pctSetting() const { return pctSetting_; }
    QComboBox* comUnitSeries() const { return comUnitSeries_; }
    QCheckBox* cbxExpShow() const { return cbxExpShow_; }
    QCheckBox* cbxHistory() const { return cbxHistory_; }
    QSpinBox* spnHistoryEntries() const { return spnHistoryEntries_; }
    QCheckBox* cbxLastUnitPair() const { return cbxLastUnitPair_; }
    QCheckBox* cbxTrayIcon() const { return cbxTrayIcon_; }
    QPushButton* btnOK() const { return btnOK_; }
    QPushButton* btnCancel() const { return btnCancel_; }
    QRadioButton* rbtMainWinPos(int value) const;
    QRadioButton* rbtUnitListSet(int value) const;
    QRadioButton* rbtConvDispose(int value) const;
    QRadioButton* rbtShowAns(int value) const;

private:
    void frmSetShow();
    void rbtMainWinPosClick(int value);
    void rbtUnitListSetClick(int value);
    void comUnitSeriesClick();
    void rbtConvDisposeClick(int value);
    void rbtShowAnsClick(int value);
    void cbxExpShowClick();
    void cbxHistoryClick();
    void cbxTrayIconClick();
    void btnOKClick();
    void btnCancelClick();

    std::function<QStringList()> groupNames_;
    std::function<bool()> trayAvailable_;
    QString settingsPath_;
    QString settingsDefaults_;

    // The choices between the showing and OK, loaded from the file at every showing.
    int WinPos = 0;
    int UnitSeries = 0;
    int SetUnits = 0;
    int ConvDispose = 0;
    int ShowAns = 0;
    int ShowExp = 0;
    int HistoryOn = 1;
    int HistoryEntries = 10000;
    int LastUnitPair = 0;
    int TrayIcon = 0;

    QTabWidget* pctSetting_ = nullptr;
    // One button for each choice of the key.
    QRadioButton* rbtMainWinPos_[setting::WinPos.Choices] = {};
    QRadioButton* rbtUnitListSet_[setting::UnitSeries.Choices] = {};
    QComboBox* comUnitSeries_ = nullptr;
    QRadioButton* rbtConvDispose_[setting::ConvDispose.Choices] = {};
    QRadioButton* rbtShowAns_[setting::ShowAns.Choices] = {};
    QCheckBox* cbxExpShow_ = nullptr;
    QCheckBox* cbxHistory_ = nullptr;
    QSpinBox* spnHistoryEntries_ = nullptr;
    QCheckBox* cbxLastUnitPair_ = nullptr;
    QCheckBox* cbxTrayIcon_ = nullptr;
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
};

} // namespace tv
