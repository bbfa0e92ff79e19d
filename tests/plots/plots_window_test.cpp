// The Plots window: the loop of Solve, the sweep of Loop, saved or copied pictures, a measured record drawn,
// listed and fitted, and its legends whole or shortened with a tooltip down to the window's smallest size.
#include <QClipboard>
#include <QGuiApplication>
#include <QtCharts>
#include <QtWidgets>
#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

#include "layout_faults.h"
#include "mainform_test_support.h"
#include "numbertext.h"
#include "plots_window.h"
#include "response.h"
#include "sweep_curves.h"
#include "synthetic.h"
#include "views.h"

using quorix::PlotsWindow;
using quorix::testing::Control;
using quorix::testing::RecordCsv;
namespace qm = quorix::measured;
using qm::testing::Synthetic;

namespace {

// Three cycles at each of three amplitudes of n = 2, γ = 0.7, α, Fy = 50, Uy = 2 from rest.
Synthetic MadeRecord(double alpha, int perQuarter = 300) {
  using namespace qm::testing;
  return MakeRecord(TrueModel{2.0, 0.7, alpha, 50.0, 2.0},
                    {Block{1.4, 3, false}, Block{3.0, 3, false}, Block{8.0, 3, false}}, perQuarter, 4);
}

std::string RecordText(double alpha, int perQuarter = 300) {
  const Synthetic rec = MadeRecord(alpha, perQuarter);
  return RecordCsv(rec.u, rec.F);
}

// A fit along the whole record with every parameter held at n = 2, γ = 0.7, α = 0.1, Fy = 50, Uy = 2, z0 = 0.
qm::FitResult HeldAlongTheRecord(const Synthetic& rec) {
  qm::FitResult fit;
  fit.parameters = fit.startingValues = quorix::NormalisedCase(2.0, 0.7, 0.1, 50.0, 2.0);
  fit.fixed.fill(true);
  for (std::size_t i = 0; i < rec.u.size(); ++i) fit.points.push_back(i);
  fit.modelF = quorix::response::RespondAlong(rec.u, fit.parameters).F;
  return fit;
}

// Two clockwise bilinear loops at D = 10 (Qd = 1, Kd = 0.1, Dy = 1.3), seven samples a straight piece, or
// (elastic) F = 0.2·u along the same path; rest before, the last top and rest after.
std::string BilinearLoops(bool elastic) {
  const double D = 10, Dy = 1.3, Qd = 1, Kd = 0.1, Fm = Qd + Kd * D;
  const double u[5] = {D, D - 2 * Dy, -D, -D + 2 * Dy, D};
  const double F[5] = {Fm, -Qd + Kd * u[1], -Fm, Qd + Kd * u[3], Fm};
  std::vector<double> us{0}, Fs{0};
  for (int k = 0; k <= 56; ++k) {
    const int piece = k % 28 / 7;
    const double t = k == 56 ? 0 : k % 7 / 7.0, x = k == 56 ? D : u[piece] + t * (u[piece + 1] - u[piece]);
    us.push_back(x);
    Fs.push_back(elastic ? 0.2 * x : k == 56 ? Fm : F[piece] + t * (F[piece + 1] - F[piece]));
  }
  us.push_back(0), Fs.push_back(0);
  return RecordCsv(us, Fs);
}

// Save as PNG or SVG (the extension added when none is typed), cancelled (nothing typed), or into a folder that
// does not exist.
struct SaveRow { int tab; const char *typed, *written; };
const SaveRow kSaves[] = {{0, "loop.png", "loop.png"}, {1, "sweep", "sweep.svg"}, {0, "", "loop.png"},
                          {0, "missing/loop.svg", "loop.svg"}};

// What is wrong with a chart's legend as drawn, one line a fault: an entry that is no series' name, one shortened
// ("...") without its whole text as the tooltip the pointer over it shows, or (where `whole`) at all, one outside
// the chart. `entries` counts the entries drawn.
QStringList LegendFaults(QChartView* view, bool whole, int& entries) {
  QStringList faults;
  QList<QLegendMarker*> markers = view->chart()->legend()->markers();
  markers.removeIf([](QLegendMarker* m) { return !m->isVisible(); });
  entries = 0;
  for (QGraphicsItem* item : view->scene()->items()) {
    auto* text = dynamic_cast<QGraphicsTextItem*>(item);
    if (!text || !text->isVisible() || !view->chart()->legend()->isAncestorOf(text)) continue;
    ++entries;
    const QString shown = text->toPlainText();
    const bool cut = shown.endsWith(QStringLiteral("..."));
    const auto entry = std::find_if(markers.begin(), markers.end(), [&](QLegendMarker* m) {
      return cut ? m->label().startsWith(shown.chopped(3)) : m->label() == shown;
    });
    if (entry == markers.end()) {
      faults << shown + QStringLiteral(" is no series' name");
    } else if (cut && whole) {
      faults << shown + QStringLiteral(" shortened");
    } else if (cut) {
      QToolTip::hideText();
      emit (*entry)->hovered(true);
      if (QToolTip::text() != (*entry)->label()) faults << shown + " shortened, tooltip '" + QToolTip::text() + "'";
      emit (*entry)->hovered(false);
    }
    if (!view->chart()->sceneBoundingRect().contains(text->sceneBoundingRect())) faults << shown + " leaves the chart";
  }
  return faults;
}

}  // namespace

class PlotsWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { w_ = std::make_unique<quorix::testing::Window>(); }
  void cleanup() { w_.reset(); }

  void opensFromTheMenuAndIsRaisedAgain() {
    PlotsWindow* plots = w_->OpenPlots();
    QVERIFY(plots);  // visible, a window of its own, modeless
    QCOMPARE((std::tuple{plots->isVisible(), plots->isWindow(), plots->isModal()}), (std::tuple{true, true, false}));
    // The menu again raises and activates the same window, also once closed.
    w_->form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w_->form));
    QCOMPARE(w_->OpenPlots(), plots);
    QVERIFY(QTest::qWaitForWindowActive(plots));
    plots->close();
    QCOMPARE(w_->OpenPlots(), plots);
    QVERIFY(plots->isVisible());
  }

  void loopTabFollowsEverySolve() {
    PlotsWindow* plots = w_->OpenPlots();  // before any Solve the tab says what fills it, and there is nothing to save
    QCOMPARE(Prompt(plots, "lblLoopPrompt"), QStringLiteral("Press Solve to draw the loop."));
    for (auto name : {"cmdSavePng", "cmdSaveSvg", "cmdCopy"}) QVERIFY2(!Control(*plots, name)->isEnabled(), name);
    w_->Click("cmdSolve");
    QVERIFY(plots->LoopView()->isVisible());
    QVERIFY(Control(*plots, "cmdSavePng")->isEnabled());
    const quorix::BoucWenCase& record = w_->form.CaseRecord();
    const quorix::HysteresisLoop loop = quorix::LoopOf(record);
    QList<QPointF> closed;  // the loop's polygon, drawn closed: the first point again at the end
    for (std::size_t i = 0; i < loop.u.size(); ++i) closed << QPointF(loop.u[i], loop.F[i]);
    QCOMPARE(plots->LoopOutline()->points(), closed + QList<QPointF>{closed.front()});
    // The shaded area (upper bound in order, lower reversed) encloses the dissipated energy.
    QChart* chart = plots->LoopView()->chart();
    auto* area = qobject_cast<QAreaSeries*>(chart->series().at(0));
    const QList<QPointF> lower = area->lowerSeries()->points();
    std::vector<double> u, f;
    for (const QPointF& p : area->upperSeries()->points() + QList<QPointF>(lower.rbegin(), lower.rend())) {
      u.push_back(p.x());
      f.push_back(p.y());
    }
    QVERIFY(std::abs(quorix::ShoelaceArea(u, f) - record.DE) <= 1e-5 * record.DE);
    auto* peak = qobject_cast<QScatterSeries*>(chart->series().at(2));
    QCOMPARE(peak->points(), (QList<QPointF>{QPointF(record.UmaxOverUy * record.Uy, record.Fa)}));
    // XiEq, Ksec and Ksec/K0 from the elementary closed forms at n = 2 (mpmath, 30 digits), DE from the engine.
    QString texts;
    for (QGraphicsItem* item : plots->LoopView()->scene()->items()) {
      if (auto* text = dynamic_cast<QGraphicsSimpleTextItem*>(item)) texts += text->text() + u'\n';
    }
    for (const QString& part : {QStringLiteral("DE = ") + QString::number(record.DE, 'g', 6),
                                QStringLiteral("= 0.120754 (12.08 %)"),  // XiEq 0.1207543226
                                QStringLiteral("Ksec = 22.3799"),        // 22.37992305
                                QStringLiteral("Ksec/K0 = 0.868591")}) {  // 0.8685914191
      QVERIFY2(texts.contains(part), qPrintable(texts));
    }
    // A saturated case: the open window, and its u axis, follow the next Solve.
    w_->Enter({{"txtNee", "5"}, {"txtUmaxOverUy", "9"}}, "cmdSolve");
    QCOMPARE(peak->points().front(), QPointF(9 * 0.111, w_->form.CaseRecord().Fa));
    QVERIFY(qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).front())->max() >= 9 * 0.111);
    // A Solve that fails (a field beyond the range of a double) leaves the loop of the last good one.
    w_->Enter({{"txtFy", "1e999"}}, "cmdSolve");
    QCOMPARE(peak->points().front().x(), 9 * 0.111);
    // Umax/Uy = 0: no cycle. The tab says so rather than keep the loop, and there is nothing to save.
    w_->Enter({{"txtFy", "2"}, {"txtUmaxOverUy", "0"}}, "cmdSolve");
    QCOMPARE(Prompt(plots, "lblLoopPrompt"),
             QStringLiteral("The loop of this case cannot be drawn.\n\nPress Solve to draw the loop."));
    QVERIFY(!Control(*plots, "cmdSavePng")->isEnabled());
  }

  void sweepTabFollowsEveryLoop() {
    PlotsWindow* plots = w_->OpenPlots();
    plots->Tabs()->setCurrentIndex(1);
    QCOMPARE(Prompt(plots, "lblSweepPrompt"), QStringLiteral("Press Loop to draw the sweep."));
    w_->Click("cmdLoop");  // the initial range: 0.1 to 10 in steps of 0.1, 100 rows
    QVERIFY(plots->SweepView()->isVisible());
    QGuiApplication::clipboard()->clear();  // Copy puts the picture of the current tab on the clipboard
    PlotsClick(plots, "cmdCopy");
    QCOMPARE(QGuiApplication::clipboard()->image().size(),
             plots->SweepView()->viewport()->size() * plots->devicePixelRatio());
    // Beside the picture, each curve's data as text. DE's block and DE's curve hold every row of results.out,
    // whose 9-decimal DE is the rounding of the value drawn.
    const QStringList lines = w_->ResultLines();
    const QStringList blocks = QGuiApplication::clipboard()->text().split(QStringLiteral("\n\n"));
    QCOMPARE(blocks.size(), 3);
    const QStringList deLines = blocks[0].split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(deLines.mid(0, 2), (QStringList{"DE (left axis)", "Umax/Uy\tDE (unit of Fy·Uy)"}));
    const QList<QPointF> de = plots->DESeries()->points();
    QCOMPARE((std::pair{deLines.size(), de.size()}), (std::pair{qsizetype{102}, qsizetype{100}}));
    for (int i = 0; i < 100; ++i) {
      const QStringList copied = deLines[i + 2].split(u'\t'), written = lines[i + 1].split(u'\t');
      QVERIFY(std::abs(copied[0].toDouble() - written[0].toDouble()) <= 0.005);
      QVERIFY2(std::abs(copied[1].toDouble() - written[9].toDouble()) <= 5e-10, qPrintable(deLines[i + 2]));
      QVERIFY(std::abs(de[i].x() - written[0].toDouble()) <= 0.005);
      QVERIFY2(std::abs(de[i].y() - written[9].toDouble()) <= 5.000001e-10, qPrintable(lines[i + 1]));
    }
    // Za in (0, 1]; ξeq = DE/(2π·Fa·Umax) lies in [0, 2/π] for any hysteretic loop.
    QCOMPARE(plots->XiEqSeries()->count() + plots->ZaSeries()->count(), 200);
    const double highest = 2.0 / std::numbers::pi;
    for (const auto& [series, high] : {std::pair{plots->ZaSeries(), 1.0}, {plots->XiEqSeries(), highest}}) {
      for (const QPointF& p : series->points()) QVERIFY(p.y() > 0.0 && p.y() <= high);
    }
    // A Loop that stops before its file (a Step of 0) changes neither the file nor the curves.
    w_->Enter({{"txtStep", "0"}}, "cmdLoop");
    QCOMPARE(plots->DESeries()->count(), 100);
    // A range without rows: the file holds its header only, and the tab says there is nothing to draw.
    w_->Enter({{"txtStep", "1"}, {"txtTo", "-5"}}, "cmdLoop");
    QVERIFY(Prompt(plots, "lblSweepPrompt").contains(QStringLiteral("no rows")));
    // A file that fails at its fourth line (header and two rows written): the curves hold what the file holds.
    w_->services.failWriteAtLine = w_->services.linesWritten + 4;
    w_->Enter({{"txtTo", "9"}}, "cmdLoop");
    QVERIFY(plots->SweepView()->isVisible());
    QCOMPARE(plots->DESeries()->count(), 2);
  }

  void savesThroughTheDialogs_data() { quorix::testing::Rows(kSaves); }
  void savesThroughTheDialogs() {
    const SaveRow& r = quorix::testing::Row(kSaves);
    const int tab = r.tab;
    const QString typedName = r.typed, writtenName = r.written;
    const bool png = writtenName.endsWith(QLatin1String("png"));
    w_->Click("cmdSolve");
    w_->Click("cmdLoop");
    PlotsWindow* plots = w_->OpenPlots();
    plots->Tabs()->setCurrentIndex(tab);
    QTemporaryDir folder;
    if (!typedName.isEmpty()) w_->dialogs.answer = folder.filePath(typedName).toStdString();
    PlotsClick(plots, png ? "cmdSavePng" : "cmdSaveSvg");
    QCOMPARE(w_->dialogs.filters.size(), std::size_t{1});
    QVERIFY(QString::fromStdString(w_->dialogs.filters[0]).contains(png ? "*.png" : "*.svg"));
    const QString status = plots->StatusText(), path = QDir::toNativeSeparators(folder.filePath(typedName));
    if (typedName.isEmpty() || typedName.startsWith(QLatin1String("missing"))) {  // a failure is said, not swallowed
      QVERIFY(QDir(folder.path()).isEmpty());
      QCOMPARE(status.section(u':', 0, 0), typedName.isEmpty() ? QString() : QStringLiteral("Could not save ") + path);
      return;
    }
    QFile file(folder.filePath(writtenName));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(plots->StatusText()));
    const QByteArray bytes = file.readAll();
    QVERIFY(plots->StatusText().startsWith(QStringLiteral("Saved")));
    if (png) {
      const QImage image = QImage::fromData(bytes, "PNG");
      QVERIFY(image.width() >= plots->LoopView()->width());
      QSet<QRgb> colours;  // a chart, not a blank page: the curves' colours are there
      for (int i = 0; i < image.width() * image.height(); i += 7) {
        colours << image.pixel(i % image.width(), i / image.width());
      }
      QCOMPARE_GT(colours.size(), 20);
    } else {  // a whole SVG document holding the chart's own texts, such as an axis title
      QXmlStreamReader xml(bytes);
      while (!xml.atEnd()) xml.readNext();
      QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
      QVERIFY(bytes.contains("<svg") && bytes.contains(tab == 0 ? "F (unit of Fy)" : "XiEq"));
    }
  }

  // At most maxRows rows (the chart's bound the last case), evenly thinned: every stride-th row, the last closing
  // a gap of at most one stride.
  void thinningKeepsTheBoundAndBothEnds() {
    for (const auto& [maxRows, rowCount] : {std::pair{10, 7}, {10, 10}, {10, 11}, {10, 1001}, {11, 1000}, {10, 1},
                                            {10, 20}, {int(quorix::SweepCurves::kMaxRows), 100001}}) {
      quorix::SweepCurves curves(static_cast<std::size_t>(maxRows));
      for (int i = 0; i < rowCount; ++i) curves.Add(quorix::SweepCurvePoint{static_cast<double>(i), 0.0, 0.0, 0.0});
      const std::vector<quorix::SweepCurvePoint> rows = curves.Rows();
      const int kept = static_cast<int>(rows.size());
      QCOMPARE(curves.RowsSeen(), static_cast<std::uint64_t>(rowCount));
      QCOMPARE_LE(kept, std::min(rowCount, maxRows));  // all of them when they fit, else at least half the bound
      QCOMPARE_GE(2 * kept, rowCount <= maxRows ? 2 * rowCount : maxRows);
      const double stride = static_cast<double>(curves.Stride());  // rows 0, stride, 2·stride, …, then the last
      for (int j = 0; j + 1 < kept; ++j) QCOMPARE(rows[j].UmaxOverUy, j * stride);
      QCOMPARE(rows.back().UmaxOverUy, rowCount - 1.0);
      const double lastGap = kept > 1 ? rows.back().UmaxOverUy - rows[kept - 2].UmaxOverUy : stride;
      QVERIFY(lastGap > 0.0 && lastGap <= stride);
    }
  }

  // A record opened, drawn under the model loop, listed by cycles and fitted; a bad file, a fit's refusal (each
  // under a long name, wrapped or cut, whole in the tooltip, the window keeping its width).
  void openedRecordIsDrawnListedAndFitted() {
    const std::string bad = "/data/" + std::string(300, 'b') + ".csv";
    const std::string elastic = "/data/" + std::string(300, 'e') + ".csv";
    w_->services.files["/data/record.csv"] = RecordText(0.1);
    w_->services.files[bad] = "u,F\n1,2\n3,x\n";
    w_->services.files[elastic] = RecordText(1.0);
    w_->Click("cmdSolve");  // the model loop of the window's case under the record
    PlotsWindow* plots = w_->OpenPlots();
    plots->Tabs()->setCurrentIndex(2);
    const int width = plots->width();
    const auto open = [&](std::optional<std::string> path) {
      w_->dialogs.openAnswer = std::move(path);
      PlotsClick(plots, "cmdOpenRecord");
    };
    open(std::nullopt);  // cancelled: nothing happens
    QCOMPARE(plots->MeasuredSeries()->count(), 0);
    QVERIFY(!Control(*plots, "cmdFit")->isEnabled());
    open("/data/record.csv");
    QVERIFY(plots->StatusText().startsWith(QStringLiteral("Opened record.csv: 10801 points, 8 cycles")));
    QCOMPARE(plots->MeasuredSeries()->points().size(), 10801);
    QCOMPARE(plots->CycleTable()->rowCount(), 9);  // eight cycles and the mean
    // The u axis holds the record, which reaches 8, beyond the model loop.
    QVERIFY(qobject_cast<QValueAxis*>(plots->LoopView()->chart()->axes(Qt::Horizontal).first())->max() >= 8.0);
    open(bad);  // a bad file names its line; the record shown stays
    QCOMPARE(plots->StatusText(), QStringLiteral("Could not open %1.csv: line 3: the force \"x\" is not a number (the "
                                                 "decimal point is '.')").arg(QString(300, u'b')));
    QCOMPARE(Control<QLabel>(*plots, "lblStatus")->toolTip(), plots->StatusText());
    QCOMPARE(plots->MeasuredSeries()->points().size(), 10801);
    // The fit, handed to the main window (how well it fits is the fit's own tests').
    QVERIFY(!Control(*plots, "cmdUseParameters")->isEnabled());
    PlotsClick(plots, "cmdFit");
    QVERIFY(plots->LastFit().has_value());
    const qm::FitResult& fit = *plots->LastFit();
    QVERIFY(plots->RecordText().contains(fit.steady ? QStringLiteral("Fit to cycles 2, 5, 8")
                                                    : QStringLiteral("Fit to the whole record (samples 1–10801)")));
    QVERIFY2(plots->RecordText().contains(QStringLiteral("fitted: cycles ")) &&
                 !plots->RecordText().contains(QStringLiteral("Warning")),
             qPrintable(plots->RecordText()));
    // The fitted case as the analysis programs write it, on the clipboard.
    PlotsClick(plots, "cmdCopyMaterials");
    const QString tcl = QGuiApplication::clipboard()->text().section(QLatin1Char('\n'), 0, 0);
    QVERIFY2(tcl.startsWith(QStringLiteral("OpenSees: uniaxialMaterial BoucWen 1 ")), qPrintable(tcl));
    PlotsClick(plots, "cmdUseParameters");
    UsedInTheMainWindow(fit);
    // A record the fit cannot answer: the reason, no fitted loop, nothing to use.
    open(elastic);
    PlotsClick(plots, "cmdFit");
    QVERIFY(plots->StatusText().startsWith(QStringLiteral("No fit: the cycles enclose almost no area")));
    QVERIFY(!Control(*plots, "cmdUseParameters")->isEnabled());
    QVERIFY(plots->PathSeries().empty());
    QTest::qWait(50);  // the layout settles
    QCOMPARE(plots->width(), width);
  }

  // A fit's force over the measured displacements: one line along the whole record, or for a steady fit one line
  // over each chosen cycle, never joining two, and the fitted loops.
  void fitIsDrawnAlongTheRecord() {
    const Synthetic rec = MadeRecord(0.1);
    w_->services.files["/data/record.csv"] = RecordCsv(rec.u, rec.F);
    PlotsWindow* plots = w_->OpenPlots();
    QVERIFY(plots->OpenRecord("/data/record.csv"));
    QChart* chart = plots->LoopView()->chart();
    const qsizetype bare = chart->series().size();  // the model loop's series and the record's

    const qm::FitResult whole = HeldAlongTheRecord(rec);
    plots->ShowFit(whole);
    QCOMPARE(plots->PathSeries().size(), std::size_t{1});
    QList<QPointF> along;
    for (std::size_t i = 0; i < rec.u.size(); ++i) along << QPointF(rec.u[i], whole.modelF[i]);
    QCOMPARE(plots->PathSeries().front()->points(), along);
    QCOMPARE(plots->PathSeries().front()->name(), QStringLiteral("Model along the record"));
    QVERIFY(plots->FittedSeries().empty());
    QVERIFY2(plots->RecordText().contains(QStringLiteral("Fit to the whole record (samples 1–10801): n = 2 (fixed)")),
             qPrintable(plots->RecordText()));
    QVERIFY(plots->RecordText().contains(QStringLiteral("z0 = 0 (held)")));
    QVERIFY(Control(*plots, "cmdUseParameters")->isEnabled());

    // A steady fit of cycles 2, 5 and 8 replaces it: a run over each cycle's own samples.
    qm::FitOptions steadyOnly;
    steadyOnly.steady = true;
    steadyOnly.cycles = {1, 4, 7};
    const qm::CycleTable table = qm::FindCycles(rec.u, rec.F);
    const qm::FitResult steady = qm::Fit(rec.u, rec.F, table, steadyOnly);
    QVERIFY(steady.steady);
    plots->ShowFit(steady);
    const std::vector<QLineSeries*>& runs = plots->PathSeries();
    QCOMPARE(runs.size(), std::size_t{3});
    for (std::size_t k = 0; k < runs.size(); ++k) {
      const qm::Cycle& cycle = table.cycles[steady.cycles[k].cycle];
      QList<QPointF> expected;  // first to last, the last left to the next cycle
      for (std::size_t i = 0; i < steady.points.size(); ++i) {
        const std::size_t j = steady.points[i];
        if (j >= cycle.first && j < cycle.last) expected << QPointF(rec.u[j], steady.modelF[i]);
      }
      QCOMPARE(expected.size(), static_cast<qsizetype>(cycle.last - cycle.first));
      QCOMPARE(runs[k]->points(), expected);
    }
    QCOMPARE(plots->FittedSeries().size(), std::size_t{3});
    QCOMPARE(chart->series().size(), bare + 6);  // nothing left of the fit before
    QVERIFY(plots->RecordText().contains(QStringLiteral("Fit to cycles 2, 5, 8: n = ")));
    QVERIFY(plots->OpenRecord("/data/record.csv"));
    QCOMPARE(chart->series().size(), bare);  // a record opened again takes the fit away
  }

  // 86437 samples, which the stride of 5 does not divide: at most about 20000 of the fit's drawn, both ends among
  // them, in order.
  void longFitIsThinned() {
    const Synthetic longRecord = MadeRecord(0.1, 2401);
    w_->services.files["/data/long.csv"] = RecordCsv(longRecord.u, longRecord.F);
    PlotsWindow* plots = w_->OpenPlots();
    QVERIFY(plots->OpenRecord("/data/long.csv"));
    const qm::FitResult longFit = HeldAlongTheRecord(longRecord);
    plots->ShowFit(longFit);
    QCOMPARE(plots->PathSeries().size(), std::size_t{1});
    const QList<QPointF> thinned = plots->PathSeries().front()->points();
    QVERIFY(thinned.size() >= 10000 && thinned.size() <= 20001);
    QCOMPARE(thinned.back(), QPointF(longRecord.u.back(), longFit.modelF.back()));
    std::size_t next = 0;
    for (const QPointF& p : thinned) {
      while (next < longFit.points.size() && QPointF(longRecord.u[next], longFit.modelF[next]) != p) ++next;
      QVERIFY2(next < longFit.points.size(), "a point that is not the model's, or out of order");
      if (&p == &thinned.front()) QCOMPARE(next, std::size_t{0});
      ++next;
    }
  }

  void legends_data() {
    QTest::addColumn<int>("pixels");
    QTest::addRow("desktop font") << 0;
    QTest::addRow("18 px font") << 18;
  }
  // With a record of three amplitudes under a long name, its fit and the model (five entries) on the Loop tab, and
  // on the Sweep tab after a Loop: at 820 and 1000 pixels every entry whole; at the window's smallest, entries
  // whole or shortened with their whole text as the tooltip, inside the chart, and the buttons whole.
  void legends() {
    QFETCH(int, pixels);
    const quorix::testing::DesktopFont font(pixels);
    w_ = std::make_unique<quorix::testing::Window>();
    const char* name = "/data/a-record-with-a-rather-long-name-from-the-lab.csv";
    w_->services.files[name] = RecordText(0.1, 100);
    w_->Click("cmdSolve");
    PlotsWindow* plots = w_->OpenPlots();
    QVERIFY(plots && plots->OpenRecord(name));
    PlotsClick(plots, "cmdFit");
    w_->Click("cmdLoop");
    for (QChartView* view : {plots->LoopView(), plots->SweepView()}) {
      plots->Tabs()->setCurrentIndex(view == plots->LoopView() ? 0 : 1);
      for (const QSize size : {QSize(820, 600), QSize(1000, 700), QSize(1, 1)}) {
        plots->resize(size);  // 1 × 1: the window keeps its layout's least size
        QTest::qWait(50);
        const bool smallest = size.width() == 1;
        QVERIFY(!smallest || plots->width() < 820);
        int entries = 0;
        const QStringList faults = LegendFaults(view, !smallest && pixels == 0, entries);
        QVERIFY2(entries >= 3 && faults.isEmpty(),
                 qPrintable(QString::number(plots->width()) + ": " + faults.join(QStringLiteral("; "))));
      }
      for (QPushButton* button : plots->findChildren<QPushButton*>()) {
        const int text = button->fontMetrics().horizontalAdvance(QString(button->text()).remove(u'&'));
        QVERIFY2(!button->isVisible() || text + 8 <= button->width(), qPrintable(button->objectName()));
      }
    }
  }

  // An isolator's figures in the cycles' table, on bilinear loops whose D, Qd, Kd and Dy are known: every header
  // named with the record's unit, shown whole, with its meaning as the tooltip; Ctrl+C copies the selection
  // under its headers.
  void cycleTableHasUnitsValuesAndCopies() {
    PlotsWindow* plots = OpenRecord(BilinearLoops(false));
    QVERIFY(plots);
    QTableWidget* table = plots->CycleTable();
    QStringList headers;
    for (int c = 0; c < table->columnCount(); ++c) {
      headers << table->horizontalHeaderItem(c)->text();
      const int needed = table->horizontalHeader()->fontMetrics().horizontalAdvance(headers.back());
      QVERIFY2(table->horizontalHeader()->sectionSize(c) >= needed, qPrintable(headers.back()));
      QVERIFY(!table->horizontalHeaderItem(c)->toolTip().isEmpty());
    }
    QCOMPARE(headers, (QStringList{"Cycle", "u⁺ [mm]", "u⁻ [mm]", "F⁺ [kN]", "F⁻ [kN]", "EDC [kN·mm]", "Keff [kN/mm]",
                                   "ξeff", "Steady", "D [mm]", "Qd [kN]", "Kd [kN/mm]", "Dy [mm]", "Group",
                                   "Keff / group mean", "EDC / group mean"}));
    QCOMPARE(table->rowCount(), 3);  // two cycles and the steady means
    const QStringList loop{"10", "1", "0.1", "1.3", "1"};  // D, Qd, Kd, Dy and the group of the bilinear loop
    for (int c = 0; c < loop.size(); ++c) QCOMPARE(table->item(1, 9 + c)->text(), loop[c]);
    QVERIFY(plots->RecordText().contains(QStringLiteral("Group 1 (cycles 1–2): mean D 10 mm, Keff 0.2 kN/mm")));
    QVERIFY(QTest::qWaitForWindowActive(plots));
    table->setFocus();
    table->setRangeSelected(QTableWidgetSelectionRange(0, 9, 1, 15), true);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = QGuiApplication::clipboard()->text().split(u'\n');
    QCOMPARE(lines.front(), headers.mid(9).join(u'\t'));
    QCOMPARE(lines.at(2).split(u'\t').mid(0, 4), loop.mid(0, 4));
    QCOMPARE(lines.size(), 4);  // the header, two rows, and the end of the last line
  }

  // An elastic record: the figures it has no answer for shown as a dash with the reason.
  void missingFiguresShowADashAndTheReason() {
    PlotsWindow* plots = OpenRecord(BilinearLoops(true));
    QVERIFY(plots);
    QTableWidget* table = plots->CycleTable();
    for (int column : {11, 12, 15}) {  // Kd, Dy and the EDC ratio
      QCOMPARE(table->item(0, column)->text(), QStringLiteral("—"));
      QVERIFY2(!table->item(0, column)->toolTip().isEmpty(), qPrintable(QString::number(column)));
    }
    QVERIFY(table->item(0, 11)->toolTip().contains(QStringLiteral("Qd is not positive")));
    QCOMPARE(table->item(0, 14)->text(), QStringLiteral("1"));  // the Keff ratio exists
    QVERIFY(plots->RecordText().contains(QStringLiteral("No equivalent bilinear loop (Kd, Dy) for cycles 1-2: ")));
  }

  // A fit written by hand (what the tab shows is the question here, not the fit): n and Uy free, γ, α and Fy
  // held, z0 fitted: an interval beside each free value and its error, none for a held one or for a steady fit;
  // an other fit as good under the fit and in one warning.
  void fitSummaryShowsIntervalsAndOtherFits() {
    const Synthetic rec = MadeRecord(0.1, 50);
    PlotsWindow* plots = OpenRecord(RecordCsv(rec.u, rec.F));
    QVERIFY(plots);
    qm::FitResult fit = HeldAlongTheRecord(rec);
    fit.fixed = {false, true, true, true, false};
    fit.errors = {0.01, 0.0, 0.0, 0.0, 0.004};
    fit.hasIntervals = fit.z0Fitted = true;
    fit.intervals = {{{1.97, 2.03}, {0.7, 0.7}, {0.1, 0.1}, {50.0, 50.0}, {1.99, 2.01}}};
    fit.z0 = 0.05;
    fit.z0Error = 0.002;
    fit.z0Interval = {0.045, 0.055};
    qm::OtherFit other;
    other.parameters = quorix::NormalisedCase(5.0, 0.2, 0.1, 50.0, 2.0);
    other.rmsRelative = 0.01236;
    other.differs = {0, 1};
    fit.otherFits = {other};
    fit.warnings = {qm::FitWarning::kOtherFits};
    plots->ShowFit(fit);
    const QString along = plots->RecordText();
    for (const char* shown : {"n = 2 ± 0.01 (95 % interval 1.97 … 2.03)", "γ = 0.7 (fixed),",
                              "Uy = 2 ± 0.004 (95 % interval 1.99 … 2.01)",
                              "z0 = 0.05 ± 0.002 (95 % interval 0.045 … 0.055)",
                              "\n  n = 5, γ = 0.2, α = 0.1, Fy = 50, Uy = 2, z0 = 0 (misfit 1.24 % of the mean F⁺)",
                              "the record does not tell n and gamma apart"}) {
      QVERIFY2(along.contains(QString::fromUtf8(shown)), qPrintable(QString::fromUtf8(shown) + " in: " + along));
    }
    QCOMPARE(along.count(QStringLiteral("(95 % interval ")), 3);
    QCOMPARE(plots->CycleTable()->horizontalHeaderItem(16)->text(), QStringLiteral("EDC of the fit [kN·mm]"));
    QCOMPARE(along.count(QStringLiteral("Warning: other fits as good: n = 5, gamma = 0.2 (misfit 1.236 %)")), 1);
    fit.steady = true;
    fit.hasIntervals = fit.z0Fitted = false;
    plots->ShowFit(fit);
    QVERIFY2(plots->RecordText().contains(QString::fromUtf8("n = 2 ± 0.01,")), qPrintable(plots->RecordText()));
    QVERIFY(!plots->RecordText().contains(QStringLiteral("interval")));
  }

 private:
  // "Use these parameters": each value in its field of the main window, within a twentieth of its standard error,
  // in no more digits than the full value, and Solve run on them.
  void UsedInTheMainWindow(const qm::FitResult& fit) {
    const quorix::Case& p = fit.parameters;
    const std::pair<const char*, double> used[] = {
        {"txtNee", p.n}, {"txtGammaSmall", p.gamma}, {"txtAlphaSmall", p.alpha}, {"txtFy", p.Fy}, {"txtUy", p.Uy}};
    for (std::size_t i = 0; i < std::size(used); ++i) {
      const QString text = w_->Text(used[i].first);
      const double error = fit.fixed[i] ? 0.0 : fit.errors[i], value = used[i].second;
      QVERIFY2(std::abs(quorix::ParseNumber(text.toStdString()) - value) <= 0.05 * error + 1e-15 * std::abs(value),
               qPrintable(text));
      QVERIFY(text.size() <= qsizetype(quorix::FormatPlainNumber(value).size()) + 1);
    }
    QCOMPARE(w_->form.CaseRecord().Fy, quorix::ParseNumber(w_->Text("txtFy").toStdString()));
  }
  // The Plots window on the Record tab with this record opened; nullptr when it could not be.
  PlotsWindow* OpenRecord(const std::string& csv) {
    w_->services.files["/data/record.csv"] = csv;
    PlotsWindow* plots = w_->OpenPlots();
    if (!plots || !plots->OpenRecord("/data/record.csv")) return nullptr;
    plots->Tabs()->setCurrentIndex(2);
    return plots;
  }
  static QString Prompt(PlotsWindow* plots, const char* name) {
    auto* label = Control<QLabel>(*plots, name);
    return label->isVisible() ? label->text() : QStringLiteral("<hidden>");
  }
  static void PlotsClick(PlotsWindow* plots, const char* button) {
    QTest::mouseClick(Control<QPushButton>(*plots, button), Qt::LeftButton);
  }

  std::unique_ptr<quorix::testing::Window> w_;
};

QTEST_MAIN(PlotsWindowTest)
#include "plots_window_test.moc"
