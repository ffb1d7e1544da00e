#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QKeyEvent;

namespace tv {

// The version-information dialog "バージョン情報".
class TTvFrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TTvFrmAbout(QWidget* parent = nullptr);

    // fAboutShow, then the modal showing.
    int ShowModal();

    // For tests: the parts a user sees.
    QLabel* Image1() const { return Image1_; }
    QLabel* lblMailTo() const { return lblMailTo_; }
    QLabel* lblURL() const { return lblURL_; }
    QPushButton* btnOK() const { return btnOK_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fAboutShow();
    void SetOnLblColor(QLabel* sender);
    void SetOffLblColor(QLabel* sender);
    void lblClick(QLabel* sender);
    void btnOKClick();

    QLabel* Image1_ = nullptr;
    QLabel* lblMailTo_ = nullptr;
    QLabel* lblURL_ = nullptr;
    QPushButton* btnOK_ = nullptr;
};

} // namespace tv
