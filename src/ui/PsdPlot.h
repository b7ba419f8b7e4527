#pragma once
// The analysis window's spectrum: each channel's density on log-log axes in the colour it
// has in the Allan plot, one density axis per unit, and dashed in the same colour the
// white-noise level its fitted random walk N gives (2 N^2) across the band.
#include <QPointF>
#include <QString>
#include <vector>

#include "analysis/LogViews.h"

class QChart;

namespace tavrin::ui {

// At most this many bins are drawn as they are; a longer spectrum is drawn as the smallest
// and largest density of each of kSpectrumColumns bands of equal width in log frequency.
inline constexpr std::size_t kSpectrumPoints = 4000, kSpectrumColumns = 2000;
std::vector<QPointF> SpectrumPoints(const analysis::Spectrum& s);

void DrawSpectra(QChart* chart, const analysis::LogViews& v);

// "f = 12.5 Hz: X Gryo 1.23e-06 (°/s)²/Hz, ..." with each channel's density at the bin
// nearest `frequency`; empty where no channel has a spectrum.
QString SpectrumReadout(const analysis::LogViews& v, double frequency);

} // namespace tavrin::ui
