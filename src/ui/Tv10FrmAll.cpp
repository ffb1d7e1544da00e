#include "ui/Tv10FrmAll.h"

#include "ui/TvAccessible.h"
#include "ui/TvFormControl.h"

#include <QAction>
#include <QActionGroup>
#include <QFrame>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>

namespace tv {

namespace {

constexpr int kShowWidth = 480;
constexpr int kShowHeight = 360;
constexpr std::array<int, 4> kTextPoints = {10, 16, 20, 32};

// The longest line the text box shows whole; the text layout of a line of millions of characters
// outgrows what it can hold, and long before that it makes the box slow.
constexpr qsizetype kMaxShownLine = 10000;

// The result text as the box shows it: a line longer than kMaxShownLine is cut there and says
// so. The result text itself, which the copy command sends, is never shortened.
QString ShownText(const QString& text) {
    QString shown;
    qsizetype copied = 0; // text before this is in shown
    for (qsizetype start = 0; start < text.size();) {
        qsizetype next = text.indexOf(QLatin1Char('\n'), start);
        next = next < 0 ? text.size() : next + 1;
        qsizetype length = next - start;
        while (length > 0 && (text.at(start + length - 1) == QLatin1Char('\n') ||
                              text.at(start + length - 1) == QLatin1Char('\r'))) {
            --length;
        }
        if (length > kMaxShownLine) {
            // Never half a character.
            const qsizetype cut =
                kMaxShownLine - (text.at(start + kMaxShownLine - 1).isHighSurrogate() ? 1 : 0);
            shown += QStringView(text).mid(copied, start + cut - copied);
            shown += QStringLiteral(" …［長い行のため、%1 文字のうち先頭の %2 文字を表示］")
                         .arg(length)
                         .arg(cut);
            copied = start + length;
        }
        start = next;
    }
    if (copied == 0) {
        return text;
    }
    shown += QStringView(text).mid(copied);
    return shown;
}

} // namespace

QString& ResultText() {
    static QString text;
    return text;
}

TTvFrmAll::TTvFrmAll(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowCloseButtonHint) {
    InstallAccessibility();
    MakeDialogFrame(this);
    setWindowTitle(QStringLiteral("変換結果"));
    setMinimumSize(400, 300);

    auto* menuBar = new QMenuBar(this);
    QMenu* mnuShow_fa = menuBar->addMenu(QStringLiteral("表示(&V)"));
    QMenu* mnuCharSize = mnuShow_fa->addMenu(QStringLiteral("文字の大きさ(&S)"));
    auto* sizeGroup = new QActionGroup(this);
    sizeGroup->setExclusive(true);
    const std::array<QString, 4> sizeCaptions = {
        QStringLiteral("小 [10pt] (&S)"), QStringLiteral("中 [16pt] (&M)"),
        QStringLiteral("大 [20pt] (&L)"), QStringLiteral("特 [32pt] (&X)")};
    for (int tag = 0; tag < 4; ++tag) {
        QAction* action = mnuCharSize->addAction(sizeCaptions[static_cast<size_t>(tag)]);
        action->setCheckable(true);
        action->setActionGroup(sizeGroup);
        connect(action, &QAction::triggered, this, [this, tag] { mnuSizeClick(tag); });
        sizeActions_[tag] = action;
    }
    sizeActions_[0]->setChecked(true);
    QMenu* mnuOther_fa = menuBar->addMenu(QStringLiteral("その他(&O)"));
    QAction* mnuCloseWindow = mnuOther_fa->addAction(QStringLiteral("このウィンドウを閉じる(&Q)"));
    mnuCloseWindow->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(mnuCloseWindow, &QAction::triggered, this, [this] { mnuCloseWindowClick(); });

    memAllConvs_ = new QPlainTextEdit(this);
    memAllConvs_->setObjectName(QStringLiteral("memAllConvs"));
    memAllConvs_->setAccessibleName(QStringLiteral("変換結果"));
    memAllConvs_->setReadOnly(true);
    // Read-only, but with a caret: the report can be walked and selected from the keyboard.
    memAllConvs_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    memAllConvs_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memAllConvs_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memAllConvs_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memAllConvs_->installEventFilter(this);

    auto* bvlLine = new QFrame(this);
    bvlLine->setObjectName(QStringLiteral("bvlLine"));
    bvlLine->setFrameShape(QFrame::HLine);
    bvlLine->setFrameShadow(QFrame::Raised);
    bvlLine->setFixedHeight(3);

    btnAConvWinClose_ = new QPushButton(QStringLiteral("閉じる"), this);
    btnAConvWinClose_->setObjectName(QStringLiteral("btnAConvWinClose"));
    btnAConvWinClose_->setFixedSize(161, 25);
    btnAConvWinClose_->setDefault(true);
    connect(btnAConvWinClose_, &QPushButton::clicked, this, [this] { mnuCloseWindowClick(); });

    // Margins and gaps of the 472 x 314 client: the text box follows every edge, the line the
    // sides and the bottom, the button the bottom and the horizontal centre.
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->setContentsMargins(4, 4, 4, 6);
    layout->setSpacing(0);
    layout->addWidget(memAllConvs_, 1);
    layout->addSpacing(7);
    layout->addWidget(bvlLine);
    layout->addSpacing(5);
    layout->addWidget(btnAConvWinClose_, 0, Qt::AlignHCenter);

    mnuSizeClick(0);
    FocusFirstControl(btnAConvWinClose_);
    resize(kShowWidth, kShowHeight);
}

QAction* TTvFrmAll::sizeAction(int tag) const {
    return tag >= 0 && tag < 4 ? sizeActions_[tag] : nullptr;
}

int TTvFrmAll::ShowModal() {
    FrmAllShow();
    return exec();
}

void TTvFrmAll::FrmAllShow() {
    SetTopMost(this, TopMostMode);
    CenterForm(this);
    mnuSizeClick(0);
    memAllConvs_->clear();
    memAllConvs_->setPlainText(ShownText(ResultText()));
    setWindowState(windowState() &
                   ~(Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
    resize(kShowWidth, kShowHeight);
}

void TTvFrmAll::mnuSizeClick(int tag) {
    if (tag < 0 || tag >= static_cast<int>(kTextPoints.size())) {
        return;
    }
    QFont textFont = font();
    textFont.setPointSize(kTextPoints[static_cast<size_t>(tag)]);
    memAllConvs_->setFont(textFont);
    sizeActions_[tag]->setChecked(true);
}

void TTvFrmAll::mnuCloseWindowClick() {
    accept();
}

void TTvFrmAll::keyPressEvent(QKeyEvent* event) {
    // Esc belongs to the close button, which closes with OK like every other way out.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        mnuCloseWindowClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TTvFrmAll::eventFilter(QObject* watched, QEvent* event) {
    // The read-only text box ignores Enter, which would otherwise reach the default button.
    if (watched == memAllConvs_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tv
