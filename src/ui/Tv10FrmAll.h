#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QAction;
class QPushButton;
class QKeyEvent;

namespace tv {

// The process-wide result text: report lines, each ended by "\r\n".
QString& ResultText();

// The results window "変換結果".
class TTvFrmAll : public QDialog {
    Q_OBJECT
public:
    explicit TTvFrmAll(QWidget* parent = nullptr);

    // FrmAllShow, then the modal showing; returns when the window has closed, whichever way.
    int ShowModal();

    // For tests: the parts a user sees.
    QPlainTextEdit* memAllConvs() const { return memAllConvs_; }
    QAction* sizeAction(int tag) const;
    QPushButton* btnAConvWinClose() const { return btnAConvWinClose_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FrmAllShow();
    void mnuSizeClick(int tag);
    void mnuCloseWindowClick();

    QPlainTextEdit* memAllConvs_ = nullptr;
    QPushButton* btnAConvWinClose_ = nullptr;
    QAction* sizeActions_[4] = {};
};

} // namespace tv
