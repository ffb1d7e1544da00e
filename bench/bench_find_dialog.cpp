// The unit search dialog over 100 000 units: what one keystroke in the filter field costs the
// window, from the text change to the repainted list (search, list model, layout, paint), and
// what its first showing costs, sizing it to the longest names included.

#include "BenchSupport.h"

#include "calc/TvUnitSearch.h"
#include "ui/Tv10FrmFind.h"
#include "units/TvUnitsFile.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QTreeView>
#include <benchmark/benchmark.h>

#include <string>

namespace {

const tv::TUnitSearch& Search() {
    static const tv::TUnitSearch search(tvbench::LoadedUnits(tvbench::LargeNamedUnitsFile()));
    return search;
}

// Types the two filters in turn: they find the same units (the search folds case and kana), so
// every iteration is a real change with the same number of hits.
void FindDialogKeystroke(benchmark::State& state, const QString& filter, const QString& twin) {
    const tv::TUnitSearch& search = Search();
    tv::TTvFrmFind dialog;
    int rows = 0;
    QTimer::singleShot(0, &dialog, [&] {
        bool second = false;
        for (auto _ : state) {
            dialog.edtFilter()->setText(second ? twin : filter);
            dialog.lstHits()->viewport()->repaint();
            second = !second;
        }
        rows = dialog.lstHits()->model()->rowCount();
        dialog.reject();
    });
    dialog.ShowModal(search);
    // A label rather than a counter: the CSV output wants every run to have the same counters.
    state.SetLabel("hits=" + std::to_string(rows));
}
BENCHMARK_CAPTURE(FindDialogKeystroke, one_character, QStringLiteral("m"), QStringLiteral("M"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FindDialogKeystroke, common, QStringLiteral("メートル"),
                  QStringLiteral("めーとる"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FindDialogKeystroke, rare, QStringLiteral("12345"), QStringLiteral("１２３４５"))
    ->Unit(benchmark::kMillisecond);
// A blank, which every generated name holds: every unit, as an empty filter lists them.
BENCHMARK_CAPTURE(FindDialogKeystroke, every_unit, QStringLiteral(" "), QStringLiteral("　"))
    ->Unit(benchmark::kMillisecond);

// A new dialog each time: built, sized to the longest of the 100 000 names, filled with every
// unit, shown and closed.
void FindDialogFirstShowing(benchmark::State& state) {
    const tv::TUnitSearch& search = Search();
    for (auto _ : state) {
        tv::TTvFrmFind dialog;
        QTimer::singleShot(0, &dialog, [&] { dialog.reject(); });
        dialog.ShowModal(search);
    }
}
BENCHMARK(FindDialogFirstShowing)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
