#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

namespace tv {

// The settings dialog "設定".
class TTvFrmSet : public QDialog {
    Q_OBJECT
public:
    explicit TTvFrmSet(QWidget* parent = nullptr);

    // The group names of the main window's catalogue as it stands at each showing, and the
    // settings file to read and write.
    void SetGroupNames(std::function<QStringList()> groupNames);
    void SetSettingsPath(const QString& path);

    // frmSetShow, then the modal showing; returns QDialog::Accepted after OK, Rejected after
    // Cancel.
    int ShowModal();
};

} // namespace tv
