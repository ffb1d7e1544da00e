#include "desktop/TvSearchProvider.h"

#include "desktop/TvApplicationBus.h"
#include "desktop/TvDesktopIds.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <cstdio>

namespace tv::desktop {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::vector<std::string> Terms(const QStringList& terms) {
    std::vector<std::string> converted;
    converted.reserve(static_cast<std::size_t>(terms.size()));
    for (const QString& term : terms) {
        converted.push_back(term.toStdString());
    }
    return converted;
}

QStringList Ids(const std::vector<TAnswer>& answers) {
    QStringList ids;
    for (const TAnswer& answer : answers) {
        ids << Q(answer.Id);
    }
    return ids;
}

void Log(const QString& line) {
    const QByteArray bytes = (QStringLiteral("tenvari-search-provider: ") + line).toUtf8();
    std::fprintf(stderr, "%s\n", bytes.constData());
}

// Plasma's ExactMatch: the answer to exactly what was typed.
constexpr int kExactMatch = 100;
const QString kIcon = QLatin1String(kAppId);

} // namespace

// ---- shared ----

TProviderCore::TProviderCore(TDesktopAnswers& answers, QObject* parent)
    : QObject(parent), answers_(answers) {}

std::vector<TAnswer> TProviderCore::ForTerms(const QStringList& terms) {
    emit Called();
    return answers_.ForTerms(Terms(terms));
}

std::vector<TAnswer> TProviderCore::ForText(const QString& text) {
    emit Called();
    return answers_.ForText(text.toStdString());
}

std::optional<TAnswer> TProviderCore::ById(const QString& id) {
    emit Called();
    return answers_.ById(id.toStdString());
}

void TProviderCore::Open(const TLaunchRequest& request, quint32 timestamp) {
    emit Called();
    TActivation activation;
    if (timestamp != 0) {
        // A startup id that carries the user's time stamp, by which the window comes forward.
        activation.StartupId = QByteArrayLiteral("tenvari-search-provider-") +
                               QByteArray::number(QCoreApplication::applicationPid()) +
                               QByteArrayLiteral("_TIME") + QByteArray::number(timestamp);
    }
    const QDBusMessage call = RequestMessage(request, activation);
    // Time enough for the program to start through the bus and load its data.
    constexpr int kOpenTimeoutMs = 25000;
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(call, kOpenTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher] {
        if (watcher->isError()) {
            Log(QStringLiteral("Tenvari did not open: %1").arg(watcher->error().message()));
        }
        watcher->deleteLater();
    });
}

bool TProviderCore::Copy(const QString& text) {
    emit Called();
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.klipper"), QStringLiteral("/klipper"),
        QStringLiteral("org.kde.klipper.klipper"), QStringLiteral("setClipboardContents"));
    call << text;
    call.setAutoStartService(false);
    const QDBusMessage answer = QDBusConnection::sessionBus().call(call, QDBus::Block, 2000);
    if (answer.type() != QDBusMessage::ReplyMessage) {
        Log(QStringLiteral("the value was not copied, no clipboard service: %1")
                .arg(answer.errorMessage()));
        return false;
    }
    return true;
}

// ---- org.gnome.Shell.SearchProvider2 ----

TSearchProvider::TSearchProvider(TProviderCore& core, QObject* parent)
    : QObject(parent), core_(core) {}

QStringList TSearchProvider::GetInitialResultSet(const QStringList& terms) {
    return Ids(core_.ForTerms(terms));
}

QStringList TSearchProvider::GetSubsearchResultSet(const QStringList& previousResults,
                                                   const QStringList& terms) {
    // A longer text is a new query, whose answers need not be among the previous ones.
    Q_UNUSED(previousResults);
    return Ids(core_.ForTerms(terms));
}

QList<QVariantMap> TSearchProvider::GetResultMetas(const QStringList& identifiers) {
    QList<QVariantMap> metas;
    // The shell asks for the ids it was given, never more than a few: a longer list is no shell.
    for (const QString& id : identifiers.mid(0, static_cast<qsizetype>(kMaxTerms))) {
        const std::optional<TAnswer> answer = core_.ById(id);
        if (!answer) {
            continue;
        }
        metas << QVariantMap{{QStringLiteral("id"), id},
                             {QStringLiteral("name"), Q(answer->Name)},
                             {QStringLiteral("description"), Q(answer->Description)},
                             {QStringLiteral("clipboardText"), Q(answer->Value)},
                             {QStringLiteral("gicon"), kIcon}};
    }
    return metas;
}

void TSearchProvider::ActivateResult(const QString& identifier, const QStringList& terms,
                                     uint timestamp) {
    Q_UNUSED(terms);
    core_.Open({TLaunchRequest::TKind::Query, identifier}, timestamp);
}

void TSearchProvider::LaunchSearch(const QStringList& terms, uint timestamp) {
    core_.Open({TLaunchRequest::TKind::Search, terms.join(QLatin1Char(' '))}, timestamp);
}

// ---- org.kde.krunner1 ----

QDBusArgument& operator<<(QDBusArgument& argument, const TRunnerMatch& match) {
    argument.beginStructure();
    argument << match.Id << match.Text << match.IconName << match.Type << match.Relevance
             << match.Properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, TRunnerMatch& match) {
    argument.beginStructure();
    argument >> match.Id >> match.Text >> match.IconName >> match.Type >> match.Relevance >>
        match.Properties;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const TRunnerAction& action) {
    argument.beginStructure();
    argument << action.Id << action.Text << action.IconName;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, TRunnerAction& action) {
    argument.beginStructure();
    argument >> action.Id >> action.Text >> action.IconName;
    argument.endStructure();
    return argument;
}

TKRunner::TKRunner(TProviderCore& core, QObject* parent) : QObject(parent), core_(core) {}

QList<TRunnerMatch> TKRunner::Match(const QString& query) {
    QList<TRunnerMatch> matches;
    const std::vector<TAnswer> answers = core_.ForText(query);
    for (std::size_t i = 0; i < answers.size(); ++i) {
        const TAnswer& answer = answers[i];
        TRunnerMatch match;
        match.Id = Q(answer.Id);
        match.Text = Q(answer.Name);
        match.IconName = kIcon;
        match.Type = kExactMatch;
        // The order of the answers is their rank.
        match.Relevance = 1.0 - 0.01 * static_cast<double>(i);
        match.Properties = {{QStringLiteral("subtext"), Q(answer.Description)},
                            {QStringLiteral("category"), QStringLiteral("Tenvari")},
                            {QStringLiteral("actions"), QStringList{QLatin1String(kCopyAction)}}};
        matches << match;
    }
    return matches;
}

QList<TRunnerAction> TKRunner::Actions() {
    emit core_.Called();
    return {
        {QLatin1String(kCopyAction), QStringLiteral("値をコピー"), QStringLiteral("edit-copy")}};
}

void TKRunner::Run(const QString& matchId, const QString& actionId) {
    if (actionId == QLatin1String(kCopyAction)) {
        if (const std::optional<TAnswer> answer = core_.ById(matchId)) {
            core_.Copy(Q(answer->Value));
        }
        return;
    }
    core_.Open({TLaunchRequest::TKind::Query, matchId}, 0);
}

QVariantMap TKRunner::Config() {
    emit core_.Called();
    return {{QStringLiteral("MatchRegex"), QString::fromUtf8(kRunnerMatchRegex)},
            {QStringLiteral("MinLetterCount"), kRunnerMinLetterCount}};
}

void TKRunner::Teardown() {
    emit core_.Called();
}

void RegisterProviderTypes() {
    qDBusRegisterMetaType<QList<QVariantMap>>();
    qDBusRegisterMetaType<TRunnerMatch>();
    qDBusRegisterMetaType<QList<TRunnerMatch>>();
    qDBusRegisterMetaType<TRunnerAction>();
    qDBusRegisterMetaType<QList<TRunnerAction>>();
}

} // namespace tv::desktop
