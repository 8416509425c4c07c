// One scroll-bar step of the set-up window: the value changes, the alpha box is rewritten, the
// Beta spectrum is recomputed, the plot is cleared and the curve redrawn, the name recomposed.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <QTemporaryDir>

#include "beamdata/beta_spectrum.h"
#include "setup/setup_window.h"
#include "testdoubles/recorders.h"
#include "widgets/drawing_surface.h"

namespace {

struct Window {
    QTemporaryDir work;
    orvalis::SharedSpectrum spectrum;
    orvalis::testing::RecordingMessages messages;
    orvalis::testing::RecordingLauncher launcher;
    orvalis::SetupWindow form{spectrum, messages, launcher, work.path().toStdString()};
    QScrollBar* alpha = form.findChild<QScrollBar*>("VScroll1");
    orvalis::DrawingSurface* picture = form.findChild<orvalis::DrawingSurface*>("Picture1");
    Window() { form.prepare(orvalis::SetupMode::DepthDose); }
};

// Recompute and redraw into the plot's back buffer (what the step itself does).
void BM_ScrollBarStep(benchmark::State& state) {
    Window window;
    int value = 80;
    for (auto _ : state) {
        value = value == 80 ? 79 : 80;
        window.alpha->setValue(value);
        benchmark::DoNotOptimize(window.spectrum.relativeWeight()[50]);
    }
}
BENCHMARK(BM_ScrollBarStep)->Unit(benchmark::kMicrosecond);

// The same step followed by painting the plot widget on screen (buffer copy plus 20 lines).
void BM_ScrollBarStepWithRepaint(benchmark::State& state) {
    Window window;
    window.form.show();
    int value = 80;
    for (auto _ : state) {
        value = value == 80 ? 79 : 80;
        window.alpha->setValue(value);
        window.picture->repaint();
    }
}
BENCHMARK(BM_ScrollBarStepWithRepaint)->Unit(benchmark::kMicrosecond);

// The spectrum model alone.
void BM_UpdateSpectrum(benchmark::State& state) {
    beamdata::SpectrumArray density{};
    beamdata::SpectrumArray relative{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(beamdata::updateSpectrum(8.0, 2.0, density, relative));
    }
}
BENCHMARK(BM_UpdateSpectrum)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
