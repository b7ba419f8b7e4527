// The figures table: per quantity a title row with the units, then a row per channel.
#include <QBrush>
#include <QFont>
#include <QHeaderView>
#include <QTableWidget>
#include <algorithm>

#include "ui/AnalysisPlot.h"
#include "ui/QtText.h"

namespace tavrin::ui {

namespace an = analysis;

namespace {

// Channel, caught, Q N B K R fitted, N B K at single points.
constexpr int kColumns = 10;
constexpr int kFitColumn[an::kTerms] = {5, 2, 3, 4, 6}; // Q and R after the usual three
constexpr const char* kTermLetter[an::kTerms] = {"Q", "N", "B", "K", "R"};

QTableWidgetItem* Cell(const QString& text, const QString& tip = {}) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    if (!tip.isEmpty()) item->setToolTip(tip);
    return item;
}

QTableWidgetItem* FitCell(const an::Quoted& q) {
    if (!q.available) return Cell("n/a", "not available: the data do not resolve this term");
    return Cell(Q(an::Sig3(q.value)) + " \u00B1 " + Q(an::Sig3(q.uncertainty)),
                "dominant from \u03C4 = " + Q(an::Sig3(q.from)) + " to " + Q(an::Sig3(q.to)) +
                    " s");
}

QTableWidgetItem* SingleCell(const an::Quoted& q) {
    if (!q.available) return Cell("n/a", "the curve shows no such point");
    return Cell(Q(an::Sig3(q.value)), "read at \u03C4 = " + Q(an::Sig3(q.tau)) + " s");
}

QTableWidgetItem* CaughtCell(const an::Accounting& a) {
    if (!a.known) return Cell("", "the sensor's sample period is not known");
    auto* item = Cell(Q(an::Sig3(100 * a.caught)) + " %",
                      QString::number(a.used) + " new samples of " + QString::number(a.expected) +
                          " the sensor made");
    if (a.decimated() || a.impossible()) item->setBackground(QBrush(QColor(0xF4, 0xC7, 0xB8)));
    return item;
}

// The title row of a group of channels with these figures' units.
void TitleRow(QTableWidget* t, int row, const an::QuotedFigures& q) {
    QString titles[kColumns];
    titles[0] = "Channel";
    titles[1] = "Caught";
    for (int k = 0; k < an::kTerms; ++k)
        titles[kFitColumn[k]] = QString(kTermLetter[k]) + " (" + PrettyUnit(q.fit[k].unit) + ")";
    for (int k = 1; k <= 3; ++k)
        titles[6 + k] = QString(kTermLetter[k]) + ", one point (" + PrettyUnit(q.fit[k].unit) + ")";
    QFont bold = t->font();
    bold.setBold(true);
    for (int c = 0; c < kColumns; ++c) {
        auto* item = Cell(titles[c]);
        item->setFont(bold);
        item->setBackground(QBrush(QColor(0xE8, 0xE8, 0xE8)));
        t->setItem(row, c, item);
    }
}

void ChannelRow(QTableWidget* t, int row, const an::ChannelResult& c, const an::TauChoice& taus) {
    const QString about = Q(an::Tau0Text(c.series)) + "\n" + Q(an::CurveText(c, taus));
    t->setItem(row, 0, Cell(Q(c.series.title), about));
    t->setItem(row, 1, CaughtCell(c.accounting));
    if (c.status != an::ChannelStatus::Ok) {
        t->setItem(row, 2, Cell(Q(an::StatusText(c))));
        t->setSpan(row, 2, 1, kColumns - 2);
        return;
    }
    const auto& q = c.quoted;
    for (int k = 0; k < an::kTerms; ++k) t->setItem(row, kFitColumn[k], FitCell(q.fit[k]));
    t->setItem(row, 7, SingleCell(q.randomWalk));
    t->setItem(row, 8, SingleCell(q.biasInstability));
    t->setItem(row, 9, SingleCell(q.rateRandomWalk));
}

} // namespace

void FillFiguresTable(QTableWidget* t, const an::AnalysisResult& r) {
    t->clearSpans();
    t->clearContents();
    t->setColumnCount(kColumns);
    t->horizontalHeader()->hide();
    t->verticalHeader()->hide();
    // Channels of one quantity and unit together, under their titles.
    std::vector<std::pair<std::string, std::vector<const an::ChannelResult*>>> groups;
    for (const auto& c : r.channels) {
        const std::string key = c.quoted.fit[1].unit;
        auto g =
            std::find_if(groups.begin(), groups.end(), [&](auto& e) { return e.first == key; });
        if (g == groups.end()) g = groups.insert(groups.end(), {key, {}});
        g->second.push_back(&c);
    }
    int rows = 0;
    for (const auto& g : groups) rows += 1 + static_cast<int>(g.second.size());
    t->setRowCount(rows);
    int row = 0;
    bool quantisation = false, ramp = false;
    for (const auto& [unit, channels] : groups) {
        TitleRow(t, row++, channels.front()->quoted);
        for (const auto* c : channels) {
            ChannelRow(t, row++, *c, r.taus);
            quantisation = quantisation || c->quoted.fit[0].available;
            ramp = ramp || c->quoted.fit[4].available;
        }
    }
    // Terms no channel shows take no room.
    t->setColumnHidden(kFitColumn[0], !quantisation);
    t->setColumnHidden(kFitColumn[4], !ramp);
    t->resizeColumnsToContents();
    // Every row in view: the table is as tall as its rows (the plot gives way).
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 8);
    t->setMinimumHeight(std::min(rows, 12) * t->verticalHeader()->defaultSectionSize() +
                        2 * t->frameWidth() + 2);
}

QString TableText(const QTableWidget* t) {
    const auto ranges = t->selectedRanges();
    int top = 0, bottom = t->rowCount() - 1, left = 0, right = t->columnCount() - 1;
    if (!ranges.isEmpty()) {
        top = bottom = ranges.front().topRow();
        left = right = ranges.front().leftColumn();
        for (const auto& s : ranges) {
            top = std::min(top, s.topRow()), bottom = std::max(bottom, s.bottomRow());
            left = std::min(left, s.leftColumn()), right = std::max(right, s.rightColumn());
        }
    }
    QString text;
    for (int r = top; r <= bottom; ++r) {
        QStringList cells;
        for (int c = left; c <= right; ++c) {
            if (t->isColumnHidden(c)) continue;
            const QTableWidgetItem* item = t->item(r, c);
            const bool chosen = ranges.isEmpty() || (item && item->isSelected());
            cells << (chosen && item ? item->text() : QString());
        }
        text += cells.join('\t') + '\n';
    }
    return text;
}

} // namespace tavrin::ui
