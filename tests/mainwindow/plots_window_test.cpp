// The Plots window: opened (and raised) from the menu, its loop tab after
// Solve and its sweep tab after Loop, the pictures it saves through the
// save dialogs, the clipboard, and the even thinning of long sweeps.
#include <QtCharts>
#include <QtTest>
#include <QtWidgets>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "fake_save_dialogs.h"
#include "fake_services.h"
#include "mainform.h"
#include "mainform_test_support.h"
#include "plots_window.h"
#include "sweep_curves.h"
#include "views.h"

using quorix::PlotsWindow;
using quorix::testing::Control;

namespace {

QString ChartTexts(const QChartView& view) {
  QString texts;
  for (QGraphicsItem* item : view.scene()->items()) {
    if (auto* text = dynamic_cast<QGraphicsSimpleTextItem*>(item)) texts += text->text() + u'\n';
  }
  return texts;
}

QString AxisTitle(QChart* chart, Qt::Alignment alignment) {
  for (QAbstractAxis* axis : chart->axes(alignment == Qt::AlignBottom ? Qt::Horizontal : Qt::Vertical)) {
    if (axis->alignment() == alignment) return axis->titleText();
  }
  return QStringLiteral("<none>");
}

}  // namespace

class PlotsWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    services_ = std::make_unique<quorix::testing::FakeServices>();
    dialogs_ = std::make_unique<quorix::testing::FakeSaveDialogs>();
    form_ = std::make_unique<quorix::MainForm>(*services_, *dialogs_);
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
  }
  void cleanup() {
    form_.reset();
    dialogs_.reset();
    services_.reset();
  }

  void opensFromTheMenuBeforeAboutAndIsRaisedAgain() {
    const QList<QAction*> items = form_->menuBar()->actions();  // a command just before "About"
    QCOMPARE(items.size(), 2);
    QVERIFY(items[0]->objectName() == QStringLiteral("mnuPlots") && items[0]->text() == QStringLiteral("Plots"));
    QVERIFY(items[0]->menu() == nullptr);  // a command, not a menu
    QCOMPARE(items[1]->objectName(), QStringLiteral("mnuAbout"));
    QVERIFY(form_->Plots() == nullptr);  // made on first use only

    PlotsWindow* plots = OpenPlots();
    QVERIFY(plots && plots->isVisible() && plots->isWindow() && !plots->isModal());
    QCOMPARE(plots->windowTitle(), QStringLiteral("Quorix : Plots"));
    QCOMPARE(plots->Tabs()->count(), 3);
    QCOMPARE(plots->Tabs()->tabText(0), QStringLiteral("Loop"));
    QCOMPARE(plots->Tabs()->tabText(1), QStringLiteral("Sweep"));
    QCOMPARE(plots->Tabs()->tabText(2), QStringLiteral("Record"));
    // Before any command each tab says which button fills it, and there is nothing to save.
    auto* loopPrompt = Control<QLabel>(*plots, "lblLoopPrompt");
    auto* sweepPrompt = Control<QLabel>(*plots, "lblSweepPrompt");
    QCOMPARE(loopPrompt->text(), QStringLiteral("Press Solve to draw the loop."));
    QCOMPARE(sweepPrompt->text(), QStringLiteral("Press Loop to draw the sweep."));
    QVERIFY(loopPrompt->isVisible());
    plots->Tabs()->setCurrentIndex(1);
    QVERIFY(sweepPrompt->isVisible());
    for (const char* button : {"cmdSavePng", "cmdSaveSvg", "cmdCopy"}) {
      QVERIFY2(!Control<QPushButton>(*plots, button)->isEnabled(), button);
    }

    // The menu again raises and activates the same window, hidden by closing.
    QPointer<PlotsWindow> watch(plots);
    QVERIFY(QTest::qWaitForWindowActive(plots));
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    QCOMPARE(OpenPlots(), plots);
    QVERIFY(QTest::qWaitForWindowActive(plots));
    plots->close();
    QVERIFY(watch && !plots->isVisible());
    QCOMPARE(OpenPlots(), plots);
    QVERIFY(plots->isVisible());
    QCOMPARE(form_->findChildren<PlotsWindow*>().size(), 1);
  }

  void loopTabFollowsEverySolve() {
    PlotsWindow* plots = OpenPlots();
    Click("cmdSolve");
    QVERIFY(plots->LoopView()->isVisible());
    QVERIFY(Control<QPushButton>(*plots, "cmdSavePng")->isEnabled());

    const quorix::BoucWenCase& record = form_->CaseRecord();
    const quorix::HysteresisLoop loop = quorix::LoopOf(record);
    const QList<QPointF> outline = plots->LoopOutline()->points();
    QCOMPARE(outline.size(), static_cast<qsizetype>(loop.u.size() + 1));
    QCOMPARE(outline.front(), outline.back());  // drawn closed
    for (std::size_t i = 0; i < loop.u.size(); ++i) QCOMPARE(outline[i], QPointF(loop.u[i], loop.F[i]));

    // The shaded area is the loop: its bounds, the upper in order and the
    // lower reversed, enclose the dissipated energy, split at the tip.
    QChart* chart = plots->LoopView()->chart();
    auto* area = qobject_cast<QAreaSeries*>(chart->series().at(0));
    QVERIFY(area);
    QList<QPointF> shaded = area->upperSeries()->points();
    const QList<QPointF> lower = area->lowerSeries()->points();
    shaded.append(QList<QPointF>(lower.rbegin(), lower.rend()));
    QVERIFY(shaded.size() >= outline.size());
    std::vector<double> u, f;
    for (const QPointF& p : shaded) u.push_back(p.x()), f.push_back(p.y());
    const double enclosed = quorix::ShoelaceArea(u, f);
    QVERIFY2(std::abs(enclosed - record.DE) <= 1e-5 * record.DE, qPrintable(QString::number(enclosed, 'g', 12)));
    const double uMax = record.UmaxOverUy * record.Uy;
    QVERIFY(std::abs(area->upperSeries()->points().back().x() - uMax) <= 1e-9 * uMax);
    auto* peak = qobject_cast<QScatterSeries*>(chart->series().at(2));
    QVERIFY(peak);
    QCOMPARE(peak->points(), (QList<QPointF>{QPointF(uMax, record.Fa)}));

    // The initial texts: XiEq, Ksec and Ksec/K0 from the elementary closed
    // forms at n = 2 (mpmath, 30 digits), DE from the engine.
    const QString texts = ChartTexts(*plots->LoopView());
    for (const QString& part : {QStringLiteral("DE = ") + QString::number(record.DE, 'g', 6),
                                QStringLiteral("= 0.120754 (12.08 %)"),  // XiEq 0.1207543226
                                QStringLiteral("Ksec = 22.3799"),        // 22.37992305
                                QStringLiteral("Ksec/K0 = 0.868591")}) {  // 0.8685914191
      QVERIFY2(texts.contains(part), qPrintable(texts));
    }
    QCOMPARE(AxisTitle(chart, Qt::AlignBottom), QStringLiteral("u (unit of Uy)"));
    QCOMPARE(AxisTitle(chart, Qt::AlignLeft), QStringLiteral("F (unit of Fy)"));
    QVERIFY(chart->legend()->isVisible());
    auto* axisU = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).front());
    auto* axisF = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).front());
    for (const QPointF& p : outline) {  // the whole loop inside the axes' ranges
      QVERIFY(p.x() >= axisU->min() && p.x() <= axisU->max() && p.y() >= axisF->min() && p.y() <= axisF->max());
    }

    // A saturated case: the open window follows the next Solve.
    SetText("txtNee", QStringLiteral("5"));
    SetText("txtUmaxOverUy", QStringLiteral("9"));
    Click("cmdSolve");
    QCOMPARE(form_->CaseRecord().Za, 1.0);
    QCOMPARE(peak->points().front(), QPointF(9 * 0.111, form_->CaseRecord().Fa));
    QVERIFY(axisU->max() >= 9 * 0.111);
    // A Solve that fails (a field beyond the range of a double) leaves the loop of the last good one.
    SetText("txtFy", QStringLiteral("1e999"));
    Click("cmdSolve");
    QCOMPARE(peak->points().front().x(), 9 * 0.111);
    QVERIFY(plots->LoopView()->isVisible());
  }

  void loopTabOpensOnTheLastSolveAndSaysWhenThereIsNoCycle() {
    Click("cmdSolve");
    PlotsWindow* plots = OpenPlots();
    QVERIFY(plots->LoopView()->isVisible());
    QVERIFY(plots->LoopOutline()->count() > 3);
    plots->Tabs()->setCurrentIndex(1);  // the Sweep tab still waits for its button
    QVERIFY(Control<QLabel>(*plots, "lblSweepPrompt")->isVisible());
    QVERIFY(!Control<QPushButton>(*plots, "cmdSaveSvg")->isEnabled());
    // Umax/Uy = 0: no cycle, XiEq and Ksec undefined. The tab says so rather
    // than keep the previous loop, and there is nothing to save.
    plots->Tabs()->setCurrentIndex(0);
    SetText("txtUmaxOverUy", QStringLiteral("0"));
    Click("cmdSolve");
    auto* prompt = Control<QLabel>(*plots, "lblLoopPrompt");
    QVERIFY(prompt->isVisible());
    QVERIFY2(prompt->text().contains(QStringLiteral("cannot be drawn")), qPrintable(prompt->text()));
    QVERIFY(!Control<QPushButton>(*plots, "cmdSavePng")->isEnabled());
    SetText("txtUmaxOverUy", QStringLiteral("2"));  // the next Solve with a cycle draws again
    Click("cmdSolve");
    QVERIFY(plots->LoopView()->isVisible());
  }

  void sweepTabFollowsEveryLoop() {
    PlotsWindow* plots = OpenPlots();
    Click("cmdLoop");  // the initial range: 0.1 to 10 in steps of 0.1, 100 rows
    plots->Tabs()->setCurrentIndex(1);
    QVERIFY(plots->SweepView()->isVisible());
    // The curves carry the table's numbers: each 9-decimal DE text of
    // results.out (the last column, CRLF lines) is the rounding of the value drawn.
    const QStringList lines = QString::fromStdString(ResultsBytes()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    const QList<QPointF> de = plots->DESeries()->points();
    QCOMPARE(lines.size(), qsizetype{101});
    QCOMPARE(de.size(), qsizetype{100});
    QCOMPARE(plots->XiEqSeries()->count(), 100);
    QCOMPARE(plots->ZaSeries()->count(), 100);
    for (qsizetype i = 0; i < de.size(); ++i) {
      const QStringList fields = lines[i + 1].split(u'\t');
      QVERIFY(std::abs(de[i].x() - fields.front().toDouble()) <= 0.005);
      QVERIFY2(std::abs(de[i].y() - fields.back().toDouble()) <= 5.000001e-10, qPrintable(lines[i + 1]));
    }
    for (const QPointF& p : plots->ZaSeries()->points()) QVERIFY(p.y() > 0.0 && p.y() <= 1.0);
    // ξeq = DE/(2π·Fa·Umax) lies in [0, 2/π] for any hysteretic loop.
    for (const QPointF& p : plots->XiEqSeries()->points()) QVERIFY(p.y() > 0.0 && p.y() <= 2.0 / M_PI);
    QChart* chart = plots->SweepView()->chart();
    QCOMPARE(AxisTitle(chart, Qt::AlignBottom), QStringLiteral("Umax/Uy"));
    QVERIFY(AxisTitle(chart, Qt::AlignLeft).startsWith(QStringLiteral("DE")));
    QVERIFY(AxisTitle(chart, Qt::AlignRight).contains(QStringLiteral("XiEq")));

    // The next Loop replaces the curves.
    SetText("txtFrom", QStringLiteral("1"));
    SetText("txtTo", QStringLiteral("3"));
    SetText("txtStep", QStringLiteral("0.5"));
    Click("cmdLoop");
    QCOMPARE(plots->DESeries()->count(), 5);
    QCOMPARE(plots->DESeries()->points().front().x(), 1.0);
    QCOMPARE(plots->DESeries()->points().back().x(), 3.0);
    // A Loop that stops before its file (a Step of 0) changes neither the file nor the curves.
    SetText("txtStep", QStringLiteral("0"));
    Click("cmdLoop");
    QCOMPARE(plots->DESeries()->count(), 5);
    // A range without rows: the file holds its header only, and the tab says there is nothing to draw.
    SetText("txtStep", QStringLiteral("1"));
    SetText("txtTo", QStringLiteral("-5"));
    Click("cmdLoop");
    QCOMPARE(QString::fromStdString(ResultsBytes()).count(QStringLiteral("\r\n")), qsizetype{1});
    QVERIFY(Control<QLabel>(*plots, "lblSweepPrompt")->isVisible());
    QVERIFY(Control<QLabel>(*plots, "lblSweepPrompt")->text().contains(QStringLiteral("no rows")));
    // A file that fails at its fourth line (header and two rows written): the curves hold what the file holds.
    services_->failWriteAtLine = services_->linesWritten + 4;
    SetText("txtTo", QStringLiteral("9"));
    Click("cmdLoop");
    QVERIFY(plots->SweepView()->isVisible());
    QCOMPARE(plots->DESeries()->count(), 2);
    QCOMPARE(form_->LastSweepCurves().RowsSeen(), std::uint64_t{2});
  }

  void savesPngAndSvgThroughTheDialogs_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<bool>("png");
    QTest::addColumn<QString>("typedName");
    QTest::addColumn<QString>("writtenName");
    QTest::newRow("loop PNG") << 0 << true << "loop.png" << "loop.png";
    QTest::newRow("loop SVG") << 0 << false << "loop.svg" << "loop.svg";
    QTest::newRow("sweep PNG, no extension typed") << 1 << true << "sweep" << "sweep.png";
    QTest::newRow("sweep SVG, no extension typed") << 1 << false << "sweep" << "sweep.svg";
  }
  void savesPngAndSvgThroughTheDialogs() {
    QFETCH(int, tab);
    QFETCH(bool, png);
    QFETCH(QString, typedName);
    QFETCH(QString, writtenName);
    Click("cmdSolve");
    Click("cmdLoop");
    PlotsWindow* plots = OpenPlots();
    plots->Tabs()->setCurrentIndex(tab);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    dialogs_->answer = folder.filePath(typedName).toStdString();
    QTest::mouseClick(Control<QPushButton>(*plots, png ? "cmdSavePng" : "cmdSaveSvg"), Qt::LeftButton);
    QCOMPARE(dialogs_->questions.size(), std::size_t{1});
    QVERIFY(QString::fromStdString(dialogs_->questions[0].filter).contains(png ? "*.png" : "*.svg"));

    QFile file(folder.filePath(writtenName));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(plots->StatusText()));
    const QByteArray bytes = file.readAll();
    QVERIFY(plots->StatusText().startsWith(QStringLiteral("Saved")));
    if (png) {
      QVERIFY(bytes.startsWith("\x89PNG\r\n\x1a\n"));
      const QImage image = QImage::fromData(bytes, "PNG");
      QVERIFY(image.width() >= plots->LoopView()->width());
      QSet<QRgb> colours;  // a chart, not a blank page: the curves' colours are there
      for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
      }
      QVERIFY2(colours.size() > 20, qPrintable(QString::number(colours.size())));
    } else {
      QXmlStreamReader xml(bytes);  // a whole SVG document holding the chart's own texts
      QVERIFY(xml.readNextStartElement() && xml.name() == QStringLiteral("svg"));
      while (!xml.atEnd()) xml.readNext();
      QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
      QVERIFY(bytes.contains(tab == 0 ? QByteArrayLiteral("unit of Fy") : QByteArrayLiteral("Umax/Uy")));
    }
  }

  void cancelledAndFailedSavesAndTheClipboard() {
    Click("cmdSolve");
    PlotsWindow* plots = OpenPlots();
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    dialogs_->answer.reset();  // the user cancels
    plots->SaveAsPng();
    QCOMPARE(dialogs_->questions.size(), std::size_t{1});
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), 0);
    QVERIFY(plots->StatusText().isEmpty());
    // A folder that does not exist: the failure is said, not swallowed.
    const QString path = folder.filePath(QStringLiteral("missing/loop.svg"));
    dialogs_->answer = path.toStdString();
    plots->SaveAsSvg();
    QVERIFY(!QFile::exists(path));
    QVERIFY2(plots->StatusText().startsWith(QStringLiteral("Could not save")), qPrintable(plots->StatusText()));
    QVERIFY(plots->StatusText().contains(QDir::toNativeSeparators(path)));

    // Copy puts the picture of the current tab on the clipboard.
    Click("cmdLoop");
    plots->Tabs()->setCurrentIndex(1);
    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(Control<QPushButton>(*plots, "cmdCopy"), Qt::LeftButton);
    const QImage image = QGuiApplication::clipboard()->image();
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), plots->SweepView()->viewport()->size() * plots->devicePixelRatio());
  }

  void thinningKeepsTheBoundAndBothEnds_data() {
    QTest::addColumn<int>("maxRows");
    QTest::addColumn<int>("rowCount");
    QTest::newRow("under the bound") << 10 << 7;
    QTest::newRow("at the bound") << 10 << 10;
    QTest::newRow("one over") << 10 << 11;
    QTest::newRow("odd room, many") << 10 << 1001;
    QTest::newRow("even room, many") << 11 << 1000;
    QTest::newRow("one row") << 10 << 1;
    QTest::newRow("full at the stride, last row after it") << 10 << 20;  // room for that last row
  }
  void thinningKeepsTheBoundAndBothEnds() {
    QFETCH(int, maxRows);
    QFETCH(int, rowCount);
    quorix::SweepCurves curves(static_cast<std::size_t>(maxRows));
    for (int i = 0; i < rowCount; ++i) curves.Add(quorix::SweepCurvePoint{static_cast<double>(i), 0.0, 0.0, 0.0});
    const std::vector<quorix::SweepCurvePoint> rows = curves.Rows();
    const std::size_t kept = rows.size();
    QCOMPARE(curves.RowsSeen(), static_cast<std::uint64_t>(rowCount));
    QVERIFY(kept <= static_cast<std::size_t>(maxRows));
    QCOMPARE(rows.front().UmaxOverUy, 0.0);
    QCOMPARE(rows.back().UmaxOverUy, static_cast<double>(rowCount - 1));
    if (rowCount <= maxRows) QCOMPARE(kept, static_cast<std::size_t>(rowCount));
    // Evenly thinned: every row but the last is Stride() after the one
    // before, and the last closes a gap of at most one stride.
    const double stride = static_cast<double>(curves.Stride());
    for (std::size_t j = 1; j + 1 < kept; ++j) QCOMPARE(rows[j].UmaxOverUy - rows[j - 1].UmaxOverUy, stride);
    if (kept >= 2) {
      const double lastGap = rows.back().UmaxOverUy - rows[kept - 2].UmaxOverUy;
      QVERIFY(lastGap > 0.0 && lastGap <= stride);
    }
    // Not thinned more than needed: twice as many rows would not have fitted.
    if (rowCount > maxRows) QVERIFY(2 * kept > static_cast<std::size_t>(maxRows) - 1);
    curves.Clear();
    QVERIFY(curves.Rows().empty());
  }

  void longSweepIsThinnedForTheChart() {
    // 100001 rows through the window: one more than the chart keeps.
    SetText("txtFrom", QStringLiteral("0"));
    SetText("txtTo", QStringLiteral("100"));
    SetText("txtStep", QStringLiteral("0.001"));
    Click("cmdLoop");
    QCOMPARE(form_->LastSweepCurves().RowsSeen(), std::uint64_t{100001});
    const QList<QPointF> de = OpenPlots()->DESeries()->points();
    QVERIFY(de.size() <= 100000 && de.size() >= 50000);
    QCOMPARE(de.front().x(), 0.0);
    QCOMPARE(de.back().x(), 100.0);
  }

 private:
  PlotsWindow* OpenPlots() {
    form_->findChild<QAction*>(QStringLiteral("mnuPlots"))->trigger();
    PlotsWindow* plots = form_->Plots();
    if (plots) (void)QTest::qWaitForWindowExposed(plots);
    return plots;
  }
  void Click(const char* button) { QTest::mouseClick(Control<QPushButton>(*form_, button), Qt::LeftButton); }
  void SetText(const char* box, const QString& text) { Control<QLineEdit>(*form_, box)->setText(text); }
  std::string ResultsBytes() const {
    const auto found = services_->files.find(quorix::platform::JoinPath(services_->folder, "results.out"));
    return found == services_->files.end() ? std::string() : found->second;
  }

  std::unique_ptr<quorix::testing::FakeServices> services_;
  std::unique_ptr<quorix::testing::FakeSaveDialogs> dialogs_;
  std::unique_ptr<quorix::MainForm> form_;
};

QTEST_MAIN(PlotsWindowTest)
#include "plots_window_test.moc"
