#include "ui/TvAccessible.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QRegularExpression>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <algorithm>
#include <cstring>

namespace tv {

QString AccessibleCaption(const QString& caption) {
    // The Japanese form "単位変換(&U)" shows the key in parentheses, which a screen reader would
    // read out as part of the name.
    static const QRegularExpression marker(QStringLiteral("\\s*[(\\x{FF08}]&[^&][)\\x{FF09}]"));
    QString text = caption;
    text.remove(marker);
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('&')) {
                plain += QLatin1Char('&');
                ++i;
            }
            continue;
        }
        plain += text.at(i);
    }
    plain = plain.trimmed();
    while (plain.endsWith(QLatin1Char(':')) || plain.endsWith(QChar(0xFF1A))) {
        plain.chop(1);
        plain = plain.trimmed();
    }
    return plain;
}

namespace {

// The key of a mnemonic in a caption ("Alt+U" for "単位変換(&U)"), or nothing.
QString MnemonicKey(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != QLatin1Char('&')) {
            continue;
        }
        if (caption.at(i + 1) == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return QKeySequence(
                   QKeyCombination(Qt::AltModifier, Qt::Key(caption.at(i + 1).toUpper().unicode())))
            .toString(QKeySequence::NativeText);
    }
    return {};
}

QRect ToGlobal(const QWidget* widget, const QRect& local) {
    return {widget->mapToGlobal(local.topLeft()), local.size()};
}

// ---- status panel ----

// A status panel as a notification: its text is its name and readable through the text
// interface, and screen readers present it when it is announced (AnnounceStatus).
class TStatusPanelAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit TStatusPanelAccessible(QLabel* panel)
        : QAccessibleWidget(panel, QAccessible::Notification) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            return Label()->text();
        }
        return QAccessibleWidget::text(t);
    }

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(t);
    }

    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}

    QString text(int startOffset, int endOffset) const override {
        const QString all = Label()->text();
        const int start = std::clamp(startOffset, 0, static_cast<int>(all.size()));
        const int end = endOffset < 0 ? static_cast<int>(all.size())
                                      : std::clamp(endOffset, start, static_cast<int>(all.size()));
        return all.mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(Label()->text().size()); }

    // Where the whole text would stand; a shortened text keeps its ends in these places.
    QRect characterRect(int offset) const override {
        const QString all = Label()->text();
        if (offset < 0 || offset >= all.size()) {
            return {};
        }
        const QFontMetrics metrics = Label()->fontMetrics();
        const QRect area = Label()->contentsRect();
        const int left = area.left() + metrics.horizontalAdvance(all.left(offset));
        const QRect local(left, area.top(), metrics.horizontalAdvance(all.at(offset)),
                          area.height());
        return ToGlobal(Label(), local & area);
    }
    int offsetAtPoint(const QPoint& point) const override {
        for (int i = 0; i < characterCount(); ++i) {
            if (characterRect(i).contains(point)) {
                return i;
            }
        }
        return -1;
    }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

private:
    QLabel* Label() const { return static_cast<QLabel*>(widget()); }
};

// ---- menu items ----

// A menu item named by AccessibleCaption; otherwise what Qt's own menu item tells.
class TMenuItemAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TMenuItemAccessible(QWidget* owner, QAction* action) : owner_(owner), action_(action) {}

    bool isValid() const override { return action_ && owner_; }
    QObject* object() const override { return action_; }
    QWindow* window() const override { return owner_ ? owner_->window()->windowHandle() : nullptr; }

    QAccessibleInterface* childAt(int x, int y) const override {
        QAccessibleInterface* menu = child(0);
        return menu != nullptr && menu->rect().contains(x, y) ? menu : nullptr;
    }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(owner_);
    }
    QAccessibleInterface* child(int index) const override {
        if (index == 0 && action_ && action_->menu()) {
            return QAccessible::queryAccessibleInterface(action_->menu());
        }
        return nullptr;
    }
    int childCount() const override { return action_ && action_->menu() ? 1 : 0; }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && action_ && child->object() == action_->menu() ? 0 : -1;
    }

    QString text(QAccessible::Text t) const override {
        if (!action_) {
            return {};
        }
        switch (t) {
        case QAccessible::Name:
            return AccessibleCaption(action_->text());
        case QAccessible::Accelerator:
            return action_->shortcut().isEmpty()
                       ? MnemonicKey(action_->text())
                       : action_->shortcut().toString(QKeySequence::NativeText);
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        if (!isValid()) {
            return {};
        }
        if (auto* bar = qobject_cast<QMenuBar*>(owner_)) {
            return ToGlobal(bar, bar->actionGeometry(action_));
        }
        if (auto* menu = qobject_cast<QMenu*>(owner_)) {
            return ToGlobal(menu, menu->actionGeometry(action_));
        }
        return {};
    }
    QAccessible::Role role() const override {
        return action_ && action_->isSeparator() ? QAccessible::Separator : QAccessible::MenuItem;
    }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        if (!owner_->isVisible() || !action_->isVisible()) {
            s.invisible = true;
        }
        if (auto* menu = qobject_cast<QMenu*>(owner_)) {
            s.focused = menu->activeAction() == action_;
        } else if (auto* bar = qobject_cast<QMenuBar*>(owner_)) {
            s.focused = bar->activeAction() == action_;
        }
        if (owner_->style()->styleHint(QStyle::SH_Menu_MouseTracking)) {
            s.hotTracked = true;
        }
        s.disabled = action_->isSeparator() || !action_->isEnabled();
        s.checkable = action_->isCheckable();
        s.checked = action_->isChecked();
        s.hasPopup = action_->menu() != nullptr;
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                 : nullptr;
    }
    QStringList actionNames() const override {
        if (!action_ || action_->isSeparator()) {
            return {};
        }
        return {action_->menu() ? showMenuAction() : pressAction()};
    }
    void doAction(const QString& name) override {
        if (!isValid() || !action_->isEnabled()) {
            return;
        }
        if (name == pressAction()) {
            action_->trigger();
        } else if (name == showMenuAction()) {
            if (action_->menu() && action_->menu()->isVisible()) {
                action_->menu()->hide();
            } else if (auto* bar = qobject_cast<QMenuBar*>(owner_)) {
                bar->setActiveAction(action_);
            } else if (auto* menu = qobject_cast<QMenu*>(owner_)) {
                menu->setActiveAction(action_);
            }
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<QWidget> owner_;
    QPointer<QAction> action_;
};

// The menu or menu bar an action is an item of.
QWidget* MenuOwner(QAction* action) {
    for (QObject* object : action->associatedObjects()) {
        if (qobject_cast<QMenu*>(object) || qobject_cast<QMenuBar*>(object)) {
            return static_cast<QWidget*>(object);
        }
    }
    return nullptr;
}

// ---- page tabs ----

// One page tab: named by AccessibleCaption (or the bar's accessible tab name), selected while
// it is the current tab. It never reports the focus, which is the bar's.
class TTabAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TTabAccessible(QTabBar* bar, int index) : bar_(bar), index_(index) {}

    bool isValid() const override { return bar_ && index_ < bar_->count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return bar_ ? bar_->window()->windowHandle() : nullptr; }

    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(bar_);
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QString text(QAccessible::Text t) const override {
        if (!isValid()) {
            return {};
        }
        switch (t) {
        case QAccessible::Name: {
            const QString given = bar_->accessibleTabName(index_);
            return given.isEmpty() ? AccessibleCaption(bar_->tabText(index_)) : given;
        }
        case QAccessible::Description:
            return bar_->tabToolTip(index_);
        case QAccessible::Accelerator:
            return MnemonicKey(bar_->tabText(index_));
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        return isValid() ? ToGlobal(bar_, bar_->tabRect(index_)) : QRect();
    }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QAccessible::State state() const override {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const bool current = index_ == bar_->currentIndex();
        // The keyboard focus is the bar's, which Qt reports as the focus: the tab is selected.
        s.selectable = true;
        s.selected = current;
        s.invisible = !bar_->isVisible() || !bar_->isTabVisible(index_);
        s.disabled = !bar_->isEnabled() || !bar_->isTabEnabled(index_);
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                 : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction() && isValid()) {
            bar_->setCurrentIndex(index_);
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<QTabBar> bar_;
    int index_;
};

constexpr char kNamesItsTab[] = "tvNamesItsTab";

// A tab bar: its tabs, then its scroll buttons, named after the current tab.
class TTabBarAccessible : public QAccessibleWidget {
public:
    explicit TTabBarAccessible(QTabBar* bar) : QAccessibleWidget(bar, QAccessible::PageTabList) {
        // The bar is named after its current tab: screen readers keep names until told.
        if (!bar->property(kNamesItsTab).toBool()) {
            bar->setProperty(kNamesItsTab, true);
            QObject::connect(bar, &QTabBar::currentChanged, bar, [bar] {
                QAccessibleEvent renamed(bar, QAccessible::NameChanged);
                QAccessible::updateAccessibility(&renamed);
            });
        }
    }

    ~TTabBarAccessible() override {
        for (const QAccessible::Id id : tabs_) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }

    int childCount() const override {
        return static_cast<int>(Bar()->count() + ScrollButtons().size());
    }
    QAccessibleInterface* child(int index) const override {
        if (index < 0) {
            return nullptr;
        }
        if (index < Bar()->count()) {
            while (tabs_.size() <= index) {
                auto* tab = new TTabAccessible(Bar(), static_cast<int>(tabs_.size()));
                tabs_.append(QAccessible::registerAccessibleInterface(tab));
            }
            return QAccessible::accessibleInterface(tabs_.at(index));
        }
        const QList<QToolButton*> buttons = ScrollButtons();
        const qsizetype button = index - Bar()->count();
        return button < buttons.size() ? QAccessible::queryAccessibleInterface(buttons.at(button))
                                       : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child == nullptr) {
            return -1;
        }
        if (child->role() == QAccessible::PageTab) {
            for (int i = 0; i < Bar()->count(); ++i) {
                if (this->child(i) == child) {
                    return i;
                }
            }
            return -1;
        }
        const qsizetype button =
            ScrollButtons().indexOf(qobject_cast<QToolButton*>(child->object()));
        return button < 0 ? -1 : static_cast<int>(Bar()->count() + button);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && Bar()->accessibleName().isEmpty()) {
            QAccessibleInterface* current = child(Bar()->currentIndex());
            return current != nullptr ? current->text(QAccessible::Name) : QString();
        }
        return QAccessibleWidget::text(t);
    }

private:
    QTabBar* Bar() const { return static_cast<QTabBar*>(widget()); }
    QList<QToolButton*> ScrollButtons() const {
        return Bar()->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly);
    }

    mutable QList<QAccessible::Id> tabs_;
};

// A tab widget, which hands the keyboard focus on to its tab bar: the bar's tab reports it.
class TTabWidgetAccessible : public QAccessibleWidget {
public:
    explicit TTabWidgetAccessible(QTabWidget* tabs) : QAccessibleWidget(tabs) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.focused = QApplication::focusWidget() == widget();
        return s;
    }
};

QAccessibleInterface* ProgramAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("tv::TStatusPanel")) {
        if (auto* panel = qobject_cast<QLabel*>(object)) {
            return new TStatusPanelAccessible(panel);
        }
    } else if (className == QLatin1String("QAction")) {
        auto* action = qobject_cast<QAction*>(object);
        if (QWidget* owner = action != nullptr ? MenuOwner(action) : nullptr) {
            return new TMenuItemAccessible(owner, action);
        }
    } else if (className == QLatin1String("QTabBar")) {
        if (auto* bar = qobject_cast<QTabBar*>(object)) {
            return new TTabBarAccessible(bar);
        }
    } else if (className == QLatin1String("QTabWidget")) {
        if (auto* tabs = qobject_cast<QTabWidget*>(object)) {
            return new TTabWidgetAccessible(tabs);
        }
    } else if (className == QLatin1String("QFrame")) {
        auto* frame = qobject_cast<QFrame*>(object);
        if (frame != nullptr &&
            (frame->frameShape() == QFrame::HLine || frame->frameShape() == QFrame::VLine)) {
            return new QAccessibleWidget(frame, QAccessible::Separator);
        }
    }
    return nullptr;
}

constexpr char kAnnouncePending[] = "tvAnnouncePending";

QtMessageHandler g_beforeBridgeFilter = nullptr;

void FilterBridgeMessages(QtMsgType type, const QMessageLogContext& context,
                          const QString& message) {
    if (type == QtWarningMsg && context.category != nullptr &&
        std::strcmp(context.category, "qt.accessibility.atspi") == 0 &&
        (message.startsWith(QLatin1String("WARNING Qt AtSpiAdaptor: Could not find accessible")) ||
         message.startsWith(QLatin1String("WARNING Qt AtSpiAdaptor: Accessible invalid")))) {
        return;
    }
    if (g_beforeBridgeFilter != nullptr) {
        g_beforeBridgeFilter(type, context, message);
    }
}

} // namespace

void DropLateQuestionWarnings() {
    static const bool installed = [] {
        g_beforeBridgeFilter = qInstallMessageHandler(&FilterBridgeMessages);
        return true;
    }();
    Q_UNUSED(installed);
}

void InstallAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(&ProgramAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

void NameWithoutMnemonics(QWidget* root) {
    const auto name = [](QWidget* widget, const QString& caption) {
        if (widget->accessibleName().isEmpty() && caption.contains(QLatin1Char('&'))) {
            widget->setAccessibleName(AccessibleCaption(caption));
        }
    };
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<QLabel*>(widget); label && label->buddy()) {
            name(label, label->text());
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            name(button, button->text());
        } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
            name(box, box->title());
        }
    }
}

void AnnounceStatus(QWidget* panel) {
    if (panel == nullptr || panel->property(kAnnouncePending).toBool()) {
        return;
    }
    panel->setProperty(kAnnouncePending, true);
    QTimer::singleShot(0, panel, [panel] {
        panel->setProperty(kAnnouncePending, false);
        const auto* label = qobject_cast<QLabel*>(panel);
        if (label != nullptr && !label->text().isEmpty() && panel->isVisible()) {
            // Screen readers present a notification as it is shown; the panel is shown already.
            QAccessibleEvent shown(panel, QAccessible::ObjectShow);
            QAccessible::updateAccessibility(&shown);
        }
    });
}

// An update handler takes the events in place of the platform's bridge.
TQuietAccessibility::TQuietAccessibility()
    : previous_(QAccessible::installUpdateHandler([](QAccessibleEvent*) {})) {}

TQuietAccessibility::~TQuietAccessibility() {
    QAccessible::installUpdateHandler(previous_);
}

int TSelectionTreeView::SelectedRow() const {
    const QModelIndexList rows =
        selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TSelectionTreeView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // Not QTreeView's handler, which tells screen readers that the row took the focus.
    QAbstractItemView::currentChanged(current, previous);
    viewport()->update();
    if (current.isValid()) {
        // The row stays selected; only Qt's current index goes.
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
}

QModelIndex TSelectionTreeView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers) {
    const int rows = model() != nullptr ? model()->rowCount(rootIndex()) : 0;
    if (rows == 0) {
        return {};
    }
    const int row = SelectedRow();
    const int rowHeight = std::max(sizeHintForRow(0), 1);
    const int page = std::max(viewport()->height() / rowHeight - 1, 1);
    int next = row;
    switch (cursorAction) {
    case MoveUp:
    case MovePrevious:
        next = row - 1;
        break;
    case MoveDown:
    case MoveNext:
        next = row + 1;
        break;
    case MovePageUp:
        next = row - page;
        break;
    case MovePageDown:
        next = row + page;
        break;
    case MoveHome:
        next = 0;
        break;
    case MoveEnd:
        next = rows - 1;
        break;
    default:
        break;
    }
    return model()->index(std::clamp(next, 0, rows - 1), 0, rootIndex());
}

} // namespace tv
