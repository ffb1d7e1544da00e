// The history window over 10 000 entries: its opening (the entries read, the window shown and
// painted), its first keystroke (which folds the entries) and any later keystroke in its filter
// field (filter, list model, repaint).

#include "BenchSupport.h"

#include "history/TvHistory.h"
#include "ui/Tv10FrmHistory.h"

#include <QLineEdit>
#include <QTimer>
#include <QTreeView>
#include <benchmark/benchmark.h>

#include <string>

namespace {

// The window as the main window keeps it: created once, then shown by each command.
void HistoryWindowOpen(benchmark::State& state) {
    tv::THistory history(tvbench::LargeHistoryFile());
    tv::TTvFrmHistory window;
    int rows = 0;
    for (auto _ : state) {
        QTimer::singleShot(0, &window, [&] {
            window.lstEntries()->viewport()->repaint();
            rows = window.lstEntries()->model()->rowCount();
            window.reject();
        });
        window.ShowModal(history);
    }
    state.SetLabel("rows=" + std::to_string(rows));
}
BENCHMARK(HistoryWindowOpen)->Unit(benchmark::kMillisecond);

// The same, and then the first keystroke, which folds the entries for the filter.
void HistoryWindowOpenAndFirstKeystroke(benchmark::State& state) {
    tv::THistory history(tvbench::LargeHistoryFile());
    tv::TTvFrmHistory window;
    int rows = 0;
    for (auto _ : state) {
        QTimer::singleShot(0, &window, [&] {
            window.lstEntries()->viewport()->repaint();
            window.edtFilter()->setText(QStringLiteral("まいる"));
            window.lstEntries()->viewport()->repaint();
            rows = window.lstEntries()->model()->rowCount();
            window.reject();
        });
        window.ShowModal(history);
    }
    state.SetLabel("rows=" + std::to_string(rows));
}
BENCHMARK(HistoryWindowOpenAndFirstKeystroke)->Unit(benchmark::kMillisecond);

// Types the two filters in turn: they find the same entries (the filter folds kana and
// full-width forms), so every iteration is a real change.
void HistoryWindowKeystroke(benchmark::State& state, const QString& filter, const QString& twin) {
    tv::THistory history(tvbench::LargeHistoryFile());
    tv::TTvFrmHistory window;
    int rows = 0;
    QTimer::singleShot(0, &window, [&] {
        bool second = false;
        for (auto _ : state) {
            window.edtFilter()->setText(second ? twin : filter);
            window.lstEntries()->viewport()->repaint();
            second = !second;
        }
        rows = window.lstEntries()->model()->rowCount();
        window.reject();
    });
    window.ShowModal(history);
    state.SetLabel("rows=" + std::to_string(rows));
}
BENCHMARK_CAPTURE(HistoryWindowKeystroke, common, QStringLiteral("まいる"),
                  QStringLiteral("マイル"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(HistoryWindowKeystroke, one_character, QStringLiteral("m"), QStringLiteral("M"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(HistoryWindowKeystroke, rare, QStringLiteral("1000000000000791"),
                  QStringLiteral("１０００００００００００００７９１"))
    ->Unit(benchmark::kMillisecond);

} // namespace
