// The Plots window: the loop of Solve, the sweep of Loop, saved or copied pictures, a measured record fitted.
#include <QClipboard>
#include <QGuiApplication>
#include <QtCharts>
#include <QtWidgets>
#include <cmath>
#include <memory>
#include <numbers>

#include "mainform_test_support.h"
#include "numbertext.h"
#include "plots_window.h"
#include "response.h"
#include "sweep_curves.h"
#include "synthetic.h"
#include "views.h"

using quorix::PlotsWindow;
using quorix::testing::Control;

namespace {

using quorix::measured::testing::Synthetic;

// Three cycles at each of three amplitudes of n = 2, γ = 0.7, α, Fy = 50, Uy = 2 from rest.
Synthetic MadeRecord(double alpha, int perQuarter = 300) {
  using namespace quorix::measured::testing;
  return MakeRecord(TrueModel{2.0, 0.7, alpha, 50.0, 2.0},
                    {Block{1.4, 3, false}, Block{3.0, 3, false}, Block{8.0, 3, false}}, perQuarter, 4);
}

// Seventeen digits, so the window reads back the very doubles written.
std::string TextOf(const Synthetic& rec) {
  QString text = QStringLiteral("u [mm];F [kN]\n");
  for (std::size_t i = 0; i < rec.u.size(); ++i) {
    text += QString::number(rec.u[i], 'g', 17) + ';' + QString::number(rec.F[i], 'g', 17) + '\n';
  }
  return text.toStdString();
}

std::string RecordText(double alpha) { return TextOf(MadeRecord(alpha)); }

// A fit along the whole record with every parameter held at the record's own values and z0 = 0.
quorix::measured::FitResult HeldAlongTheRecord(const Synthetic& rec) {
  quorix::measured::FitResult fit;
  fit.parameters = fit.startingValues = quorix::NormalisedCase(2.0, 0.7, 0.1, 50.0, 2.0);
  fit.fixed.fill(true);
  for (std::size_t i = 0; i < rec.u.size(); ++i) fit.points.push_back(i);
  fit.modelF = quorix::response::RespondAlong(rec.u, fit.parameters).F;
  return fit;
}

}  // namespace

class PlotsWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { w_ = std::make_unique<quorix::testing::Window>(); }
  void cleanup() { w_.reset(); }

  void opensFromTheMenuAndIsRaisedAgain() {
    PlotsWindow* plots = OpenPlots();
    QVERIFY(plots);  // visible, a window of its own, modeless
    QCOMPARE((std::tuple{plots->isVisible(), plots->isWindow(), plots->isModal()}), (std::tuple{true, true, false}));
    // The menu again raises and activates the same window, also once closed.
    w_->form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w_->form));
    QCOMPARE(OpenPlots(), plots);
    QVERIFY(QTest::qWaitForWindowActive(plots));
    plots->close();
    QCOMPARE(OpenPlots(), plots);
    QVERIFY(plots->isVisible());
  }

  void loopTabFollowsEverySolve() {
    PlotsWindow* plots = OpenPlots();  // before any Solve the tab says what fills it, and there is nothing to save
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
    PlotsWindow* plots = OpenPlots();
    plots->Tabs()->setCurrentIndex(1);
    QCOMPARE(Prompt(plots, "lblSweepPrompt"), QStringLiteral("Press Loop to draw the sweep."));
    w_->Click("cmdLoop");  // the initial range: 0.1 to 10 in steps of 0.1, 100 rows
    QVERIFY(plots->SweepView()->isVisible());
    QGuiApplication::clipboard()->clear();  // Copy puts the picture of the current tab on the clipboard
    PlotsClick(plots, "cmdCopy");
    QCOMPARE(QGuiApplication::clipboard()->image().size(),
             plots->SweepView()->viewport()->size() * plots->devicePixelRatio());
    // Each 9-decimal DE text of results.out is the rounding of the value drawn.
    const QStringList lines = w_->ResultLines();
    // Beside the picture, each curve's data as text: DE's block holds every row of results.out.
    const QStringList blocks = QGuiApplication::clipboard()->text().split(QStringLiteral("\n\n"));
    QCOMPARE(blocks.size(), 3);
    const QStringList deLines = blocks[0].split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(deLines.mid(0, 2), (QStringList{"DE (left axis)", "Umax/Uy\tDE (unit of Fy·Uy)"}));
    QCOMPARE(deLines.size(), 2 + 100);
    for (int i = 0; i < 100; ++i) {
      const QStringList copied = deLines[i + 2].split(u'\t'), written = lines[i + 1].split(u'\t');
      QVERIFY(std::abs(copied[0].toDouble() - written[0].toDouble()) <= 0.005);
      QVERIFY2(std::abs(copied[1].toDouble() - written[9].toDouble()) <= 5e-10, qPrintable(deLines[i + 2]));
    }
    const QList<QPointF> de = plots->DESeries()->points();
    QCOMPARE(de.size(), qsizetype{100});
    for (qsizetype i = 0; i < de.size(); ++i) {
      const QStringList fields = lines[i + 1].split(u'\t');
      QVERIFY(std::abs(de[i].x() - fields.front().toDouble()) <= 0.005);
      QVERIFY2(std::abs(de[i].y() - fields.back().toDouble()) <= 5.000001e-10, qPrintable(lines[i + 1]));
    }
    // Za in (0, 1]; ξeq = DE/(2π·Fa·Umax) lies in [0, 2/π] for any hysteretic loop.
    QCOMPARE(plots->XiEqSeries()->count() + plots->ZaSeries()->count(), 200);
    const double highest = 2.0 / std::numbers::pi;
    for (const auto& [series, high] : {std::pair{plots->ZaSeries(), 1.0}, {plots->XiEqSeries(), highest}}) {
      for (const QPointF& p : series->points()) QCOMPARE_GT(p.y(), 0.0);
      for (const QPointF& p : series->points()) QCOMPARE_LE(p.y(), high);
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

  // Save as PNG or SVG (the extension added when none is typed), cancelled, or into a folder that does not exist.
  void savesThroughTheDialogs_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("typedName");  // empty: the user cancels
    QTest::addColumn<QString>("writtenName");  // empty: nothing written
    QTest::newRow("loop PNG") << 0 << "loop.png" << "loop.png";
    QTest::newRow("sweep SVG, no extension typed") << 1 << "sweep" << "sweep.svg";
    QTest::newRow("cancelled") << 0 << "" << "loop.png";
    QTest::newRow("no such folder") << 0 << "missing/loop.svg" << "loop.svg";
  }
  void savesThroughTheDialogs() {
    QFETCH(int, tab);
    QFETCH(QString, typedName);
    QFETCH(QString, writtenName);
    const bool png = writtenName.endsWith(QLatin1String("png"));
    w_->Click("cmdSolve");
    w_->Click("cmdLoop");
    PlotsWindow* plots = OpenPlots();
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
      for (int i = 0; i < image.width() * image.height(); i += 7)
        colours << image.pixel(i % image.width(), i / image.width());
      QCOMPARE_GT(colours.size(), 20);
    } else {  // a whole SVG document holding the chart's own texts, such as an axis title
      QXmlStreamReader xml(bytes);
      while (!xml.atEnd()) xml.readNext();
      QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
      QVERIFY(bytes.contains("<svg"));
      QVERIFY(bytes.contains(tab == 0 ? "F (unit of Fy)" : "XiEq"));
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
      QCOMPARE_GT(lastGap, 0.0);
      QCOMPARE_LE(lastGap, stride);
    }
  }

  void openedRecordIsDrawnListedAndFitted() {
    w_->services.files["/data/record.csv"] = RecordText(0.1);
    w_->services.files["/data/bad.csv"] = "u,F\n1,2\n3,x\n";
    w_->services.files["/data/elastic.csv"] = RecordText(1.0);
    w_->Click("cmdSolve");  // the model loop of the window's case under the record
    PlotsWindow* plots = OpenPlots();
    plots->Tabs()->setCurrentIndex(2);
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
    open("/data/bad.csv");  // a bad file names its line; the record shown stays
    QCOMPARE(plots->StatusText(),
             QStringLiteral("Could not open bad.csv: line 3: the force \"x\" is not a number (the decimal point is '.')"));
    QCOMPARE(plots->MeasuredSeries()->points().size(), 10801);
    // The fit, handed to the main window (how well it fits is the fit's own tests').
    QVERIFY(!Control(*plots, "cmdUseParameters")->isEnabled());
    PlotsClick(plots, "cmdFit");
    QVERIFY(plots->LastFit().has_value());
    const quorix::Case p = plots->LastFit()->parameters;
    const quorix::measured::FitResult& fit = *plots->LastFit();
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
    // Each value within a twentieth of its standard error, in no more digits than the full value.
    const std::pair<const char*, double> used[] = {
        {"txtNee", p.n}, {"txtGammaSmall", p.gamma}, {"txtAlphaSmall", p.alpha}, {"txtFy", p.Fy}, {"txtUy", p.Uy}};
    for (std::size_t i = 0; i < std::size(used); ++i) {
      const QString text = w_->Text(used[i].first);
      const double error = fit.fixed[i] ? 0.0 : fit.errors[i];
      QVERIFY2(std::abs(quorix::ParseNumber(text.toStdString()) - used[i].second) <= 0.05 * error + 1e-15 * std::abs(used[i].second),
               qPrintable(text));
      QVERIFY(text.size() <= qsizetype(quorix::FormatPlainNumber(used[i].second).size()) + 1);
    }
    QCOMPARE(w_->form.CaseRecord().Fy, quorix::ParseNumber(w_->Text("txtFy").toStdString()));  // Solve ran on them
    // A record the fit cannot answer: the reason, no fitted loop, nothing to use.
    open("/data/elastic.csv");
    PlotsClick(plots, "cmdFit");
    QVERIFY(plots->StatusText().startsWith(QStringLiteral("No fit: the cycles enclose almost no area")));
    QVERIFY(!Control(*plots, "cmdUseParameters")->isEnabled());
    QVERIFY(plots->PathSeries().empty());
  }

  // A long message (a bad record with a long name, a fit's refusal) wraps or is cut, whole in the tooltip; the
  // window keeps its width.
  void longMessagesNeverWidenTheWindow() {
    const std::string name = "/data/" + std::string(300, 'r') + ".csv";
    w_->services.files[name] = "u,F\n1,2\n3,x\n";
    w_->services.files["/data/" + std::string(300, 'e') + ".csv"] = RecordText(1.0);
    PlotsWindow* plots = OpenPlots();
    plots->Tabs()->setCurrentIndex(2);
    const int width = plots->width();
    QVERIFY(!plots->OpenRecord(name));
    QVERIFY(plots->StatusText().size() > 300);
    QCOMPARE(Control<QLabel>(*plots, "lblStatus")->toolTip(), plots->StatusText());
    QVERIFY(plots->OpenRecord("/data/" + std::string(300, 'e') + ".csv"));
    PlotsClick(plots, "cmdFit");
    QVERIFY(plots->StatusText().startsWith(QStringLiteral("No fit: ")));
    QTest::qWait(50);  // the layout settles
    QCOMPARE(plots->width(), width);
  }

  // The cycles' table names the record's units, shows every header whole, and Ctrl+C copies the selection under
  // its headers.
  void cycleTableCopiesWithUnits() {
    w_->services.files["/data/record.csv"] = RecordText(0.1);  // "u [mm];F [kN]"
    PlotsWindow* plots = OpenPlots();
    plots->Tabs()->setCurrentIndex(2);
    QVERIFY(plots->OpenRecord("/data/record.csv"));
    PlotsClick(plots, "cmdFit");
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
                                   "Keff / group mean", "EDC / group mean", "EDC of the fit [kN·mm]"}));
    QVERIFY(QTest::qWaitForWindowActive(plots));
    table->setFocus();
    table->setRangeSelected(QTableWidgetSelectionRange(1, 3, 2, 5), true);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    QStringList expected{"F⁺ [kN]\tF⁻ [kN]\tEDC [kN·mm]"};
    for (int r : {1, 2}) expected << table->item(r, 3)->text() + '\t' + table->item(r, 4)->text() + '\t' + table->item(r, 5)->text();
    QCOMPARE(QGuiApplication::clipboard()->text(), expected.join('\n') + '\n');
  }

  // Every legend entry is drawn whole, at the window's size and wider, with a record, its fit and the model.
  void legendsFit() {
    w_->services.files["/data/a-record-with-a-rather-long-name-from-the-lab.csv"] = RecordText(0.1);
    w_->Click("cmdSolve");
    PlotsWindow* plots = OpenPlots();
    QVERIFY(plots->OpenRecord("/data/a-record-with-a-rather-long-name-from-the-lab.csv"));
    PlotsClick(plots, "cmdFit");
    for (QChartView* view : {plots->LoopView(), plots->SweepView()}) {
      if (view == plots->SweepView()) {
        w_->Click("cmdLoop");
        plots->Tabs()->setCurrentIndex(1);
      }
      for (const QSize size : {QSize(820, 600), QSize(1000, 700)}) {
        plots->resize(size);
        QTest::qWait(50);
        QStringList entries, cut;
        for (QGraphicsItem* item : view->scene()->items()) {
          auto* text = dynamic_cast<QGraphicsTextItem*>(item);
          if (!text || !text->isVisible() || !view->chart()->legend()->isAncestorOf(text)) continue;
          entries << text->toPlainText();
          if (entries.back().endsWith(QStringLiteral("..."))) cut << entries.back();
        }
        QVERIFY2(entries.size() >= 3 && cut.isEmpty(), qPrintable(QString::number(size.width()) + ": " + entries.join(" | ")));
      }
    }
  }

  // A fit's force over the measured displacements: one line along the whole record, or for a steady fit one line
  // over each chosen cycle, never joining two, and the fitted loops.
  void fitIsDrawnAlongTheRecord() {
    using namespace quorix::measured;
    const Synthetic rec = MadeRecord(0.1);
    w_->services.files["/data/record.csv"] = TextOf(rec);
    PlotsWindow* plots = OpenPlots();
    QVERIFY(plots->OpenRecord("/data/record.csv"));
    QChart* chart = plots->LoopView()->chart();
    const qsizetype bare = chart->series().size();  // the model loop's series and the record's
    const auto fitTip = [&] { return Control(*plots, "cmdFit")->toolTip(); };

    const FitResult whole = HeldAlongTheRecord(rec);
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
    QCOMPARE(fitTip(), QStringLiteral("Fit n, γ, α, Fy and Uy to every sample of the record, along the model's "
                                      "response from rest"));
    QVERIFY(Control(*plots, "cmdUseParameters")->isEnabled());

    // A steady fit of cycles 2, 5 and 8 replaces it: a run over each cycle's own samples.
    FitOptions steadyOnly;
    steadyOnly.steady = true;
    steadyOnly.cycles = {1, 4, 7};
    const CycleTable table = FindCycles(rec.u, rec.F);
    const FitResult steady = Fit(rec.u, rec.F, table, steadyOnly);
    QVERIFY(steady.steady);
    plots->ShowFit(steady);
    const std::vector<QLineSeries*>& runs = plots->PathSeries();
    QCOMPARE(runs.size(), std::size_t{3});
    for (std::size_t k = 0; k < runs.size(); ++k) {
      const Cycle& cycle = table.cycles[steady.cycles[k].cycle];
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
    QCOMPARE(fitTip(), QStringLiteral("Fit n, γ, α, Fy and Uy to the steady cycles of the record"));

    // 86437 samples, which the stride of 5 does not divide: at most about 20000 drawn, both ends among them, in order.
    const Synthetic longRecord = MadeRecord(0.1, 2401);
    w_->services.files["/data/long.csv"] = TextOf(longRecord);
    QVERIFY(plots->OpenRecord("/data/long.csv"));
    QCOMPARE(chart->series().size(), bare);  // a new record takes the fit away
    const FitResult longFit = HeldAlongTheRecord(longRecord);
    plots->ShowFit(longFit);
    QCOMPARE(plots->PathSeries().size(), std::size_t{1});
    const QList<QPointF> thinned = plots->PathSeries().front()->points();
    QCOMPARE_LE(thinned.size(), 20001);
    QCOMPARE_GE(thinned.size(), 10000);
    QCOMPARE(thinned.back(), QPointF(longRecord.u.back(), longFit.modelF.back()));
    std::size_t next = 0;
    for (const QPointF& p : thinned) {
      while (next < longFit.points.size() && QPointF(longRecord.u[next], longFit.modelF[next]) != p) ++next;
      QVERIFY2(next < longFit.points.size(), "a point that is not the model's, or out of order");
      if (&p == &thinned.front()) QCOMPARE(next, std::size_t{0});
      ++next;
    }
  }

 private:
  PlotsWindow* OpenPlots() {
    w_->form.findChild<QAction*>(QStringLiteral("mnuPlots"))->trigger();
    PlotsWindow* plots = w_->form.Plots();
    if (plots) (void)QTest::qWaitForWindowExposed(plots);
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
