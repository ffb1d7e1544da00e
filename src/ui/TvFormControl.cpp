#include "ui/TvFormControl.h"

#include "ui/TvAccessible.h"
#include "ui/TvDesktopOpen.h"
#include "ui/TvX11.h"
#include "units/TvErrors.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <exception>
#include <limits>
#include <utility>

namespace tv {

QFont ProgramFont() {
    const QStringList wanted = {QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"),
                                QStringLiteral("Noto Sans CJK JP")};
    // The first of them that is installed, alone: each family named before it that is missing
    // costs the font lookup a search for fallbacks through every font, script by script.
    const QStringList installed = QFontDatabase::families();
    QStringList families = wanted;
    for (const QString& family : wanted) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            families = {family};
            break;
        }
    }
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(12);
    return font;
}

bool TopMostMode = false;

namespace {

std::function<void(const QString&)>& ErrorBoxHandler() {
    static std::function<void(const QString&)> handler;
    return handler;
}

std::function<bool(const QUrl&)>& UrlOpener() {
    static std::function<bool(const QUrl&)> opener;
    return opener;
}

// The margins last seen on a mapped window: the best guess for a window manager that cannot say
// beforehand what frame it will give.
QMargins& LastSeenMargins() {
    static QMargins margins;
    return margins;
}

// Corrects a placement made with guessed margins once the window is mapped and its real frame is
// known; it lives on the platform window it checks and goes with it.
class TFrameCheck : public QObject {
public:
    TFrameCheck(QWidget* widget, const QPoint& corner, const QMargins& used)
        : QObject(widget->windowHandle()), widget_(widget), corner_(corner), used_(used) {
        widget->windowHandle()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        auto* handle = qobject_cast<QWindow*>(watched);
        if (e->type() == QEvent::Expose && handle != nullptr && handle->isExposed()) {
            const QMargins real = handle->frameMargins();
            if (!real.isNull()) {
                LastSeenMargins() = real;
            }
            if (widget_ && real != used_) {
                widget_->move(corner_);
            }
            deleteLater();
            handle->removeEventFilter(this);
        }
        return false;
    }

private:
    QPointer<QWidget> widget_;
    QPoint corner_;
    QMargins used_;
};

// True once the window system shows the window; a widget counts as visible already while its
// show event runs, before that.
bool Mapped(const QWidget* window) {
    return window->windowHandle() != nullptr && window->windowHandle()->isVisible();
}

void Restore(QWidget* window) {
    if (window != nullptr && window->isMinimized()) {
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    }
}

// Keeps a dialog's frame as its flags ask under window managers that read only the Motif hints,
// and undoes a minimise, which some window managers apply to the dialog's main window as well.
// Qt writes hints of its own whenever it creates the native window, and it creates a new one for
// each showing: closing a dialog destroys its native window.
class TDialogFrame : public QObject {
public:
    explicit TDialogFrame(QDialog* dialog) : QObject(dialog), dialog_(dialog) {
        dialog->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == window_ && e->type() == QEvent::Show) {
            // The last moment before the window is mapped.
            WriteHints();
            return false;
        }
        if (watched != dialog_) {
            return false;
        }
        switch (e->type()) {
        case QEvent::WinIdChange:
            // Also announced while the native window is being destroyed, with no id; asking for
            // the id then would give the widget the dying window's id for good.
            if (dialog_->internalWinId() != 0) {
                Watch(dialog_->windowHandle());
                // Before the frame extents are asked for, which depend on the decorations.
                WriteHints();
            }
            break;
        case QEvent::WindowStateChange:
        case QEvent::Hide:
            // After the window manager's own handling of the event.
            QTimer::singleShot(0, this, [this] { Unminimise(); });
            break;
        default:
            break;
        }
        return false;
    }

private:
    // The dialog's QWindow comes with its first native window; a re-parented dialog gets another.
    void Watch(QWindow* window) {
        if (window != nullptr && window != window_) {
            window_ = window;
            window->installEventFilter(this);
        }
    }

    void WriteHints() {
        const Qt::WindowFlags flags = dialog_->windowFlags();
        const Qt::WindowFlags buttons = Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                        Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint;
        if (window_ && flags.testFlag(Qt::CustomizeWindowHint) && !(flags & buttons)) {
            x11::SetTitleBarOnly(window_);
        }
    }

    void Unminimise() {
        QWidget* owner = dialog_->parentWidget() ? dialog_->parentWidget()->window() : nullptr;
        Restore(owner);
        if (dialog_->isVisible() && dialog_->isMinimized()) {
            Restore(dialog_);
            dialog_->raise();
            dialog_->activateWindow();
        }
    }

    QDialog* dialog_;
    QPointer<QWindow> window_;
};

} // namespace

void SetTopMost(QWidget* window, bool on) {
    if (window == nullptr) {
        return;
    }
    const bool visible = window->isVisible();
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != on) {
        const Qt::WindowFlags flags = window->windowFlags().setFlag(Qt::WindowStaysOnTopHint, on);
        if (visible && x11::SetAbove(window->windowHandle(), on)) {
            // The window manager moves the shown window; Qt only records the flag, for a later
            // mapping of the same native window and for the next one.
            window->overrideWindowFlags(flags);
            window->windowHandle()->setFlags(flags);
        } else {
            const QPoint corner = window->pos();
            const QSize size = window->size();
            // Changing the flags hides the window.
            window->setWindowFlags(flags);
            // The X11 platform would replace the native window only when it is next shown,
            // unknown to the widget, whose id would go stale and whose own hints would be lost;
            // the next showing makes a new one from the flags instead.
            if (QWindow* handle = window->windowHandle(); handle != nullptr && handle->handle()) {
                handle->destroy();
            }
            window->resize(size);
            PlaceFrame(window, corner);
            if (visible) {
                window->show();
            }
        }
    }
    if (visible) {
        window->raise();
        window->activateWindow();
    }
}

QMargins FrameMargins(QWidget* window) {
    if (window == nullptr) {
        return {};
    }
    if (Mapped(window)) {
        const QMargins shown = window->windowHandle()->frameMargins();
        if (!shown.isNull()) {
            return shown;
        }
    }
    if (x11::Active()) {
        if (const std::optional<QMargins> asked = x11::FrameExtents(window)) {
            return *asked;
        }
    } else {
        // Other platforms know the frame of a window as soon as it exists.
        window->winId();
        const QMargins known = window->windowHandle()->frameMargins();
        if (!known.isNull()) {
            return known;
        }
    }
    return LastSeenMargins();
}

void AskForFrame(QWidget* window) {
    if (window == nullptr || Mapped(window) || !x11::Active()) {
        return;
    }
    // The answer depends on the window's size limits (a window of fixed size gets no resize
    // handle), which its layout sets and its native window hands to the window manager when it
    // is made.
    if (window->layout() != nullptr) {
        window->layout()->activate();
    }
    x11::RequestFrameExtents(window);
}

namespace {

QSize FrameSize(const QSize& size, const QMargins& margins) {
    return size.grownBy(margins);
}

} // namespace

QPoint CentredPosition(QWidget* window, const QMargins& margins) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect work = screen != nullptr ? screen->availableGeometry() : QRect();
    const QSize frame = FrameSize(window->size(), margins);
    return work.topLeft() +
           QPoint((work.width() - frame.width()) / 2, (work.height() - frame.height()) / 2);
}

void PlaceFrame(QWidget* window, const QPoint& corner) {
    PlaceFrame(window, corner, FrameMargins(window));
}

void PlaceFrame(QWidget* window, const QPoint& corner, const QMargins& margins) {
    if (window == nullptr) {
        return;
    }
    window->setGeometry(QRect(corner + QPoint(margins.left(), margins.top()), window->size()));
    if (!Mapped(window) && window->windowHandle() != nullptr && x11::Active()) {
        new TFrameCheck(window, corner, margins);
    }
}

void CenterForm(QWidget* window) {
    if (window == nullptr || QGuiApplication::primaryScreen() == nullptr) {
        return;
    }
    const QMargins margins = FrameMargins(window);
    PlaceFrame(window, CentredPosition(window, margins), margins);
}

QPoint BringIntoWorkArea(const QRect& frame, int titleHeight, const QList<QRect>& workAreas) {
    if (workAreas.isEmpty()) {
        return frame.topLeft();
    }
    const QRect title(frame.left(), frame.top(), frame.width(), std::max(titleHeight, 1));
    const int grip = std::min(kTitleGrip, title.width());
    long long nearestDistance = std::numeric_limits<long long>::max();
    QRect nearest = workAreas.first();
    for (const QRect& area : workAreas) {
        const QRect part = title & area;
        if (part.height() == title.height() && part.width() >= grip) {
            return frame.topLeft();
        }
        const long long dx =
            std::max({area.left() - title.center().x(), 0, title.center().x() - area.right()});
        const long long dy =
            std::max({area.top() - title.center().y(), 0, title.center().y() - area.bottom()});
        if (dx * dx + dy * dy < nearestDistance) {
            nearestDistance = dx * dx + dy * dy;
            nearest = area;
        }
    }
    // Just far enough in; a frame larger than the area keeps its top-left corner inside.
    const int x =
        std::max(nearest.left(), std::min(frame.left(), nearest.right() + 1 - frame.width()));
    const int y =
        std::max(nearest.top(), std::min(frame.top(), nearest.bottom() + 1 - frame.height()));
    return {x, y};
}

QPoint KeepOnScreen(QWidget* window, const QPoint& corner, const QMargins& margins) {
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        areas << screen->availableGeometry();
    }
    // Without a known frame the top of the window stands in for the title bar.
    const int title = margins.top() > 0 ? margins.top() : 20;
    return BringIntoWorkArea(QRect(corner, FrameSize(window->size(), margins)), title, areas);
}

void MakeDialogFrame(QDialog* dialog) {
    if (dialog != nullptr) {
        new TDialogFrame(dialog);
    }
}

namespace {

// The platform's style, except that a group box with a title draws its frame line through the
// middle of the title, the title set in by a few pixels: the layout the controls' positions were
// made for, where a control near the top stays clear of the line.
const char* const kDropDownList = "tvDropDownList";

class TProgramStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_ComboBox_Popup && widget != nullptr &&
            widget->property(kDropDownList).toBool()) {
            return 0;
        }
        return QProxyStyle::styleHint(hint, option, widget, data);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || box == nullptr || box->text.isEmpty() ||
            box->subControls.testFlag(SC_GroupBoxCheckBox)) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        const QRect title = TitleRect(*box);
        // The platform style's own frame always leaves room for a title above it, so the line is
        // drawn here, in the same quiet shade.
        const QRect frame = box->rect.adjusted(0, title.center().y() - box->rect.top(), -1, -1);
        painter->save();
        painter->setClipRegion(QRegion(box->rect) - QRegion(title));
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(box->palette.color(QPalette::Window).darker(125));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(frame);
        painter->restore();
        proxy()->drawItemText(painter, title, Qt::AlignCenter | Qt::TextShowMnemonic, box->palette,
                              box->state.testFlag(State_Enabled), box->text, QPalette::WindowText);
    }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                         SubControl subControl, const QWidget* widget) const override {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control == CC_GroupBox && subControl == SC_GroupBoxLabel && box != nullptr &&
            !box->text.isEmpty() && !box->subControls.testFlag(SC_GroupBoxCheckBox)) {
            return TitleRect(*box);
        }
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    }

private:
    static QRect TitleRect(const QStyleOptionGroupBox& box) {
        constexpr int kIndent = 6;
        constexpr int kGap = 2;
        const QSize text = box.fontMetrics.size(Qt::TextShowMnemonic, box.text);
        return {box.rect.left() + kIndent, box.rect.top(), text.width() + 2 * kGap, text.height()};
    }
};

} // namespace

void InstallProgramStyle() {
    QApplication::setStyle(new TProgramStyle);
}

TDropDownList::TDropDownList(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setProperty(kDropDownList, true);
}

void TDropDownList::SetBeforeOpen(std::function<void()> step) {
    beforeOpen_ = std::move(step);
}

void TDropDownList::showPopup() {
    if (beforeOpen_) {
        beforeOpen_();
    }
    QComboBox::showPopup();
}

bool InstallQtTranslation(QCoreApplication* app) {
    auto* translator = new QTranslator(app);
    if (translator->load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
        return true;
    }
    delete translator;
    return false;
}

void ShowErrorBox(QWidget* parent, const QString& message) {
    const QString text = QString::fromStdString(ErrorBoxText(message.toStdString()));
    if (ErrorBoxHandler()) {
        ErrorBoxHandler()(text);
        return;
    }
    QString caption = QApplication::applicationDisplayName();
    if (caption.isEmpty()) {
        caption = QStringLiteral("Tenvari");
    }
    QMessageBox::critical(parent, caption, text);
}

void SetErrorBoxHandler(std::function<void(const QString&)> handler) {
    ErrorBoxHandler() = std::move(handler);
}

bool OpenUrl(const QUrl& url) {
    try {
        if (UrlOpener()) {
            return UrlOpener()(url);
        }
        return OpenWithDesktop(url);
    } catch (const std::exception&) {
        return false;
    }
}

bool OpenUrlOrWarn(QWidget* parent, const QUrl& url) {
    if (OpenUrl(url)) {
        return true;
    }
    const bool file = url.isLocalFile();
    const QString what =
        file ? QStringLiteral("次のファイルを開くプログラムが見つかりませんでした。")
             : QStringLiteral("次のアドレスを開くプログラムが見つかりませんでした。");
    QMessageBox::warning(parent, QStringLiteral("警告"),
                         what + QStringLiteral("\n\n") +
                             (file ? url.toLocalFile() : url.toString()));
    return false;
}

QString KeepNumbersWithCounters(const QString& text) {
    QString kept = text;
    for (qsizetype i = 1; i + 1 < kept.size(); ++i) {
        if (kept.at(i) == QLatin1Char(' ') && kept.at(i - 1).isDigit() &&
            kept.at(i + 1).unicode() > 0x7F) {
            kept[i] = QChar(0x00A0);
        }
    }
    return kept;
}

namespace {

constexpr char kDrawFocus[] = "tvDrawFocus";
constexpr char kDrawsFocus[] = "tvDrawsFocus";

// Marks a window, once it is shown, as one whose focus the keyboard moved, so that the style draws
// the focus; Qt clears the mark whenever a window is shown.
class TFocusDrawn : public QObject {
public:
    explicit TFocusDrawn(QWidget* window) : QObject(window), window_(window) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == window_ && e->type() == QEvent::WindowActivate &&
            window_->property(kDrawFocus).toBool()) {
            window_->setProperty(kDrawFocus, false);
            window_->setAttribute(Qt::WA_KeyboardFocusChange);
            if (QWidget* focus = window_->focusWidget()) {
                focus->update();
            }
        }
        return false;
    }

private:
    QWidget* window_;
};

} // namespace

void FocusFirstControl(QWidget* control) {
    if (control == nullptr) {
        return;
    }
    control->setFocus(Qt::TabFocusReason);
    QWidget* window = control->window();
    if (window->isVisible()) {
        window->setAttribute(Qt::WA_KeyboardFocusChange);
        return;
    }
    if (!window->property(kDrawsFocus).toBool()) {
        window->setProperty(kDrawsFocus, true);
        new TFocusDrawn(window);
    }
    window->setProperty(kDrawFocus, true);
}

void SetUrlOpener(std::function<bool(const QUrl&)> opener) {
    UrlOpener() = std::move(opener);
}

TUpDown::TUpDown(QLineEdit* buddy, int min, int max, int position, QWidget* parent)
    : QWidget(parent), buddy_(buddy), min_(min), max_(max), position_(position) {
    up_ = new QToolButton(this);
    down_ = new QToolButton(this);
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* button : {up_, down_}) {
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRepeat(true);
    }
    up_->setObjectName(QStringLiteral("up"));
    down_->setObjectName(QStringLiteral("down"));
    connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
    connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
    buddy_->installEventFilter(this);
}

void TUpDown::SetAccessibleNames(const QString& name) {
    setAccessibleName(name);
    up_->setAccessibleName(name + QStringLiteral("を増やす"));
    down_->setAccessibleName(name + QStringLiteral("を減らす"));
}

bool TUpDown::eventFilter(QObject* watched, QEvent* e) {
    if (watched == buddy_ && e->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(e);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (modifiers == Qt::NoModifier &&
            (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            Step(key->key() == Qt::Key_Up ? 1 : -1);
            buddy_->selectAll();
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

int TUpDown::Position() const {
    bool ok = false;
    const int value = buddy_->text().toInt(&ok);
    if (ok && value >= min_ && value <= max_) {
        position_ = value;
    }
    return position_;
}

void TUpDown::Step(int delta) {
    position_ = std::clamp(Position() + delta, min_, max_);
    buddy_->setText(QString::number(position_));
}

void TUpDown::resizeEvent(QResizeEvent*) {
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

void TStatusPanel::SetText(const QString& text) {
    const QString before = this->text();
    setText(text);
    UpdateToolTip();
    if (before != text) {
        QAccessibleTextUpdateEvent changed(this, 0, before, text);
        QAccessible::updateAccessibility(&changed);
    }
    AnnounceStatus(this);
}

bool TStatusPanel::Elided() const {
    return ShownText() != text();
}

QRect TStatusPanel::TextRect() const {
    // Where a QLabel puts its text: inside the margin, and half an "x" in from a frame, here on
    // both sides so that a shortened text keeps clear of the right edge too.
    const int m = margin();
    int inset = indent();
    if (inset < 0 && frameWidth() > 0) {
        inset = fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 - m;
    }
    inset = std::max(inset, 0);
    return contentsRect().adjusted(m + inset, m, -m - inset, -m);
}

QString TStatusPanel::ShownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, std::max(TextRect().width(), 0));
}

void TStatusPanel::UpdateToolTip() {
    setToolTip(Elided() ? text() : QString());
}

void TStatusPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, TextRect(), static_cast<int>(alignment()), palette(),
                          isEnabled(), ShownText(), foregroundRole());
}

void TStatusPanel::resizeEvent(QResizeEvent* e) {
    QLabel::resizeEvent(e);
    UpdateToolTip();
}

} // namespace tv
