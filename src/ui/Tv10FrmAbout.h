#pragma once

#include <QDialog>

namespace tv {

// The version-information dialog "バージョン情報".
class TTvFrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TTvFrmAbout(QWidget* parent = nullptr);

    // fAboutShow, then the modal showing.
    int ShowModal();
};

} // namespace tv
