#pragma once
// The analysis window's plot and figures table, drawn from an analysis result: each channel
// in a colour of its own (colour-blind safe, set here, not left to the theme), its interval
// bars and its fit in the same colour, dashed; axes titled with their units; the table
// grouped by quantity, the units in each group's title row, three significant digits.
#include <QColor>
#include <QString>

#include "analysis/Analyse.h"

class QChart;
class QTableWidget;

namespace tavrin::ui {

// The colour of channel k (the Okabe-Ito set, in an order that keeps neighbours apart).
QColor ChannelColour(int k);
// "deg/sqrt(h)" as a person writes it: "°/√h".
QString PrettyUnit(const std::string& unit);

void DrawAnalysis(QChart* chart, const analysis::AnalysisResult& r);
void FillFiguresTable(QTableWidget* table, const analysis::AnalysisResult& r);
// The selected cells (all of them when none is selected) as tab-separated lines.
QString TableText(const QTableWidget* table);

} // namespace tavrin::ui
