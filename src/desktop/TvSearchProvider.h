#pragma once

#include "desktop/TvDesktopAnswers.h"
#include "desktop/TvLaunchRequest.h"

#include <QDBusArgument>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// The search provider program's two interfaces over one set of answers: GNOME Shell's
// org.gnome.Shell.SearchProvider2 and KRunner's org.kde.krunner1.
namespace tv::desktop {

// What both interfaces share: the answers, the program to open, the clipboard, and the note of
// every call that keeps the program from ending for want of calls.
class TProviderCore : public QObject {
    Q_OBJECT
public:
    explicit TProviderCore(TDesktopAnswers& answers, QObject* parent = nullptr);

    std::vector<TAnswer> ForTerms(const QStringList& terms);
    std::vector<TAnswer> ForText(const QString& text);
    std::optional<TAnswer> ById(const QString& id);

    // Asks Tenvari to carry out request, starting it through the bus when it does not run, and
    // does not wait for it. timestamp is the X server time of the user's action, 0 if unknown.
    void Open(const TLaunchRequest& request, quint32 timestamp);
    // Puts text on the desktop's clipboard through KDE's clipboard service; false when there is
    // none.
    bool Copy(const QString& text);

signals:
    // Any call of either interface.
    void Called();

private:
    TDesktopAnswers& answers_;
};

// org.gnome.Shell.SearchProvider2 at kProviderPath.
class TSearchProvider : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Shell.SearchProvider2")
public:
    explicit TSearchProvider(TProviderCore& core, QObject* parent = nullptr);

public Q_SLOTS:
    Q_SCRIPTABLE QStringList GetInitialResultSet(const QStringList& terms);
    Q_SCRIPTABLE QStringList GetSubsearchResultSet(const QStringList& previousResults,
                                                   const QStringList& terms);
    Q_SCRIPTABLE QList<QVariantMap> GetResultMetas(const QStringList& identifiers);
    Q_SCRIPTABLE void ActivateResult(const QString& identifier, const QStringList& terms,
                                     uint timestamp);
    Q_SCRIPTABLE void LaunchSearch(const QStringList& terms, uint timestamp);

private:
    TProviderCore& core_;
};

// One match of KRunner's Match: id, text, icon name, type, relevance, properties.
struct TRunnerMatch {
    QString Id;
    QString Text;
    QString IconName;
    int Type = 0;
    double Relevance = 0;
    QVariantMap Properties;
};
// One action of KRunner's Actions: id, text, icon name.
struct TRunnerAction {
    QString Id;
    QString Text;
    QString IconName;
};

QDBusArgument& operator<<(QDBusArgument& argument, const TRunnerMatch& match);
const QDBusArgument& operator>>(const QDBusArgument& argument, TRunnerMatch& match);
QDBusArgument& operator<<(QDBusArgument& argument, const TRunnerAction& action);
const QDBusArgument& operator>>(const QDBusArgument& argument, TRunnerAction& action);

// The copy action's id, and what KRunner's Config and the plugin file tell KRunner to send:
// a text that starts with a number (a sign or an opening bracket may come first), and of at
// least two characters.
inline constexpr char kCopyAction[] = "copy";
inline constexpr char kRunnerMatchRegex[] = "^[ (（+－-]*[0-9０-９.．]";
inline constexpr int kRunnerMinLetterCount = 2;

// org.kde.krunner1 at kRunnerPath.
class TKRunner : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.krunner1")
public:
    explicit TKRunner(TProviderCore& core, QObject* parent = nullptr);

public Q_SLOTS:
    Q_SCRIPTABLE QList<tv::desktop::TRunnerMatch> Match(const QString& query);
    Q_SCRIPTABLE QList<tv::desktop::TRunnerAction> Actions();
    Q_SCRIPTABLE void Run(const QString& matchId, const QString& actionId);
    Q_SCRIPTABLE QVariantMap Config();
    Q_SCRIPTABLE void Teardown();

private:
    TProviderCore& core_;
};

// Registers the D-Bus types of both interfaces; before the objects are exported.
void RegisterProviderTypes();

} // namespace tv::desktop

Q_DECLARE_METATYPE(tv::desktop::TRunnerMatch)
Q_DECLARE_METATYPE(tv::desktop::TRunnerAction)
