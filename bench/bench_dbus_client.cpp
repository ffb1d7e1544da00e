// Times calls of the search provider on the session bus from the call to its reply, as GNOME
// Shell and KRunner make them: GetInitialResultSet then GetResultMetas of its ids, and Match.
//
//   tenvari_bench_dbus first TERMS...      one call, as the first after the bus started it
//   tenvari_bench_dbus warm N TERMS...     N calls of each kind after one to warm up
//   tenvari_bench_dbus ping N              N calls of the bus's own Peer.Ping, for comparison
//
// Prints one line per figure: name, then milliseconds (p50, p95, max) or the one time.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

const QString kService = QStringLiteral("io.github.tenvari.Tenvari.SearchProvider");
const QString kShellPath = QStringLiteral("/io/github/tenvari/Tenvari/SearchProvider");
const QString kShell = QStringLiteral("org.gnome.Shell.SearchProvider2");

double Call(const QDBusMessage& message, QDBusMessage* reply = nullptr) {
    const auto start = std::chrono::steady_clock::now();
    const QDBusMessage answer = QDBusConnection::sessionBus().call(message, QDBus::Block, 30000);
    const auto end = std::chrono::steady_clock::now();
    if (answer.type() != QDBusMessage::ReplyMessage) {
        std::fprintf(stderr, "call failed: %s\n", qPrintable(answer.errorMessage()));
        std::exit(1);
    }
    if (reply != nullptr) {
        *reply = answer;
    }
    return std::chrono::duration<double, std::milli>(end - start).count();
}

QDBusMessage Initial(const QStringList& terms) {
    QDBusMessage m = QDBusMessage::createMethodCall(kService, kShellPath, kShell,
                                                    QStringLiteral("GetInitialResultSet"));
    m << terms;
    return m;
}

QDBusMessage Metas(const QStringList& ids) {
    QDBusMessage m = QDBusMessage::createMethodCall(kService, kShellPath, kShell,
                                                    QStringLiteral("GetResultMetas"));
    m << ids;
    return m;
}

QDBusMessage Match(const QString& text) {
    QDBusMessage m =
        QDBusMessage::createMethodCall(kService, QStringLiteral("/runner"),
                                       QStringLiteral("org.kde.krunner1"), QStringLiteral("Match"));
    m << text;
    return m;
}

void Report(const char* name, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    const auto at = [&](double q) {
        return times[std::min(times.size() - 1, static_cast<size_t>(q * (times.size() - 1) + 0.5))];
    };
    std::printf("%s %.3f %.3f %.3f\n", name, at(0.5), at(0.95), times.back());
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: tenvari_bench_dbus first|warm N|ping N [TERMS...]\n");
        return 2;
    }
    const QString mode = args.takeFirst();
    if (mode == QLatin1String("first")) {
        QDBusMessage reply;
        const double first = Call(Initial(args), &reply);
        std::printf("first %.3f ids %lld\n", first,
                    static_cast<long long>(reply.arguments().value(0).toStringList().size()));
        return 0;
    }
    const int count = args.isEmpty() ? 0 : args.takeFirst().toInt();
    if (count <= 0) {
        std::fprintf(stderr, "the count must be positive\n");
        return 2;
    }
    if (mode == QLatin1String("ping")) {
        const QDBusMessage ping = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
        std::vector<double> times;
        for (int i = 0; i < count; ++i) {
            times.push_back(Call(ping));
        }
        Report("ping", times);
        return 0;
    }
    QDBusMessage reply;
    Call(Initial(args), &reply);
    const QStringList ids = reply.arguments().value(0).toStringList();
    std::vector<double> initial, metas, match;
    for (int i = 0; i < count; ++i) {
        initial.push_back(Call(Initial(args)));
        metas.push_back(Call(Metas(ids)));
        match.push_back(Call(Match(args.join(QLatin1Char(' ')))));
    }
    Report("initial", initial);
    Report("metas", metas);
    Report("match", match);
    std::printf("ids %lld\n", static_cast<long long>(ids.size()));
    return 0;
}
