#include "record_tab.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <exception>

#include "chart_frame.h"
#include "material.h"
#include "material_text.h"

namespace quorix::plots {

namespace {

QPushButton* MakeButton(const char* name, const QString& caption, const QString& toolTip = QString()) {
  auto* button = new QPushButton(caption);
  button->setObjectName(QString::fromLatin1(name));
  if (!toolTip.isEmpty()) button->setToolTip(toolTip);
  return button;
}

// " (95 % interval 2.47 … 2.51)" after a free parameter of a fit that has
// intervals (the whole-record fit); nothing otherwise.
QString IntervalOf(const measured::FitResult& fit, const std::array<double, 2>& bounds) {
  if (!fit.hasIntervals) return QString();
  return QStringLiteral(" (95 % interval %1 … %2)").arg(Number(bounds[0]), Number(bounds[1]));
}

// The fitted parameters with their standard errors and, along the record,
// their 95 % intervals, as "n = 2 ± 0.01 (95 % interval 1.97 … 2.03), …".
QString ParameterList(const measured::FitResult& fit) {
  const Case& p = fit.parameters;
  const double values[5] = {p.n, p.gamma, p.alpha, p.Fy, p.Uy};
  const char* names[5] = {"n", "γ", "α", "Fy", "Uy"};
  QStringList terms;
  for (std::size_t i = 0; i < 5; ++i) {
    const QString name = QString::fromUtf8(names[i]);
    terms << (fit.fixed[i] ? QStringLiteral("%1 = %2 (fixed)").arg(name, Number(values[i]))
                           : QStringLiteral("%1 = %2 ± %3").arg(name, Number(values[i]), Number(fit.errors[i])) +
                                 IntervalOf(fit, fit.intervals[i]));
  }
  return terms.join(QStringLiteral(", "));
}

// Each other fit as good as the fit, a line of its parameters and misfit:
// "n = 5.1, γ = 0.2, α = 0.08, Fy = 3.1, Uy = 0.15 (misfit 1.23 %)".
QString OtherFitLines(const measured::FitResult& fit) {
  QString text;
  for (const measured::OtherFit& other : fit.otherFits) {
    const Case& p = other.parameters;
    text += QStringLiteral("\n  n = %1, γ = %2, α = %3, Fy = %4, Uy = %5")
                .arg(Number(p.n), Number(p.gamma), Number(p.alpha), Number(p.Fy), Number(p.Uy));
    if (fit.z0Fitted) text += QStringLiteral(", z0 = %1").arg(Number(other.z0));
    text += QStringLiteral(" (misfit %1 % of the mean F⁺)").arg(QString::number(100.0 * other.rmsRelative, 'f', 2));
  }
  return text;
}

// z at the first sample, where a fit along the whole record starts the
// model's response.
QString StartOf(const measured::FitResult& fit) {
  return fit.z0Fitted ? QStringLiteral("z0 = %1 ± %2").arg(Number(fit.z0), Number(fit.z0Error)) +
                            IntervalOf(fit, fit.z0Interval)
                      : QStringLiteral("z0 = %1 (held)").arg(Number(fit.z0));
}

// The fitted samples, first and last, numbered from 1 as the user counts
// the lines of the record.
QString SampleRange(const measured::FitResult& fit) {
  if (fit.points.empty()) return QStringLiteral("none");
  return QStringLiteral("%1–%2").arg(fit.points.front() + 1).arg(fit.points.back() + 1);
}

// The summary above the table, its text selectable.
QLabel* MakeRecordLabel() {
  auto* label = new QLabel;
  label->setObjectName(QStringLiteral("lblRecord"));
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // A record's long name wraps or is cut, never widening the window.
  label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  return label;
}

// The selected cells as TAB-separated lines under their columns' headers:
// the rows and columns from the first selected to the last, a cell left
// out of the selection empty. Nothing selected: the whole table.
QString SelectionText(const QTableWidget& table) {
  const QModelIndexList selected = table.selectionModel()->selectedIndexes();
  int top = 0, left = 0, bottom = table.rowCount() - 1, right = table.columnCount() - 1;
  if (!selected.isEmpty()) {
    top = bottom = selected.front().row();
    left = right = selected.front().column();
    for (const QModelIndex& index : selected) {
      top = std::min(top, index.row()), bottom = std::max(bottom, index.row());
      left = std::min(left, index.column()), right = std::max(right, index.column());
    }
  }
  const auto cell = [&table, &selected](int row, int column) {
    const QTableWidgetItem* item = table.item(row, column);
    const bool chosen = selected.isEmpty() || table.selectionModel()->isSelected(table.model()->index(row, column));
    return item && chosen ? item->text() : QString();
  };
  QStringList lines, header;
  for (int column = left; column <= right; ++column) header << table.horizontalHeaderItem(column)->text();
  lines << header.join(u'\t');
  for (int row = top; row <= bottom; ++row) {
    QStringList cells;
    for (int column = left; column <= right; ++column) cells << cell(row, column);
    lines << cells.join(u'\t');
  }
  return lines.join(u'\n') + u'\n';
}

// The cycles' table: read-only, each column as wide as its header and
// numbers (the table scrolls sideways when the window is narrow, rather
// than cutting a header short; a stretched last column would be cut). Ctrl+C and
// the context menu copy the selection with its header.
QTableWidget* MakeCycleTable() {
  auto* table = new QTableWidget;
  table->setObjectName(QStringLiteral("tblCycles"));
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->verticalHeader()->setVisible(false);
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  auto* copy = new QAction(QStringLiteral("Copy"), table);
  copy->setObjectName(QStringLiteral("actCopyCycles"));
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  QObject::connect(copy, &QAction::triggered, table,
                   [table] { QGuiApplication::clipboard()->setText(SelectionText(*table)); });
  table->addAction(copy);
  table->setContextMenuPolicy(Qt::ActionsContextMenu);
  return table;
}

// The table's columns: header (with the record's unit where it names one)
// and what the column holds, for its tooltip.
struct Column {
  QString header, meaning;
};

QList<Column> CycleColumns(const measured::Record& record, bool fitted) {
  const QString u = QString::fromStdString(record.displacement.unit);
  const QString F = QString::fromStdString(record.force.unit);
  const auto in = [](const QString& unit) { return unit.isEmpty() ? QString() : QStringLiteral(" [%1]").arg(unit); };
  const QString energy = u.isEmpty() || F.isEmpty() ? QString() : in(F + u'·' + u);
  const QString stiffness = u.isEmpty() || F.isEmpty() ? QString() : in(F + u'/' + u);
  QList<Column> columns{
      {QStringLiteral("Cycle"), QStringLiteral("The cycle's number, from the start of the record")},
      {QStringLiteral("u⁺") + in(u), QStringLiteral("The cycle's largest displacement")},
      {QStringLiteral("u⁻") + in(u), QStringLiteral("The cycle's smallest displacement")},
      {QStringLiteral("F⁺") + in(F), QStringLiteral("The force at u⁺")},
      {QStringLiteral("F⁻") + in(F), QStringLiteral("The force at u⁻")},
      {QStringLiteral("EDC") + energy, QStringLiteral("The energy the cycle dissipates: the area of its loop")},
      {QStringLiteral("Keff") + stiffness, QStringLiteral("The effective stiffness (F⁺ − F⁻)/(u⁺ − u⁻)")},
      {QStringLiteral("ξeff"), QStringLiteral("The effective damping ratio EDC/(2π·Keff·((u⁺ − u⁻)/2)²), dimensionless")},
      {QStringLiteral("Steady"), QStringLiteral("Whether the cycle is one of the steady ones, whose means are the last row")},
      {QStringLiteral("D") + in(u), QStringLiteral("The cycle's amplitude, its half-range (u⁺ − u⁻)/2")},
      {QStringLiteral("Qd") + in(F),
       QStringLiteral("The characteristic strength: half the gap between the forces where the ascending and the "
                      "descending branch cross u = 0, each interpolated linearly between the samples around it")},
      {QStringLiteral("Kd") + stiffness,
       QStringLiteral("The post-yield stiffness of the bilinear loop with the cycle's Keff, EDC and Qd: Keff − Qd/D")},
      {QStringLiteral("Dy") + in(u),
       QStringLiteral("The yield displacement of the bilinear loop with the cycle's Keff, EDC and Qd: D − EDC/(4·Qd)")},
      {QStringLiteral("Group"), QStringLiteral("The amplitude group: consecutive cycles whose D lies within 5 % of "
                                               "the D of the group's first cycle")},
      {QStringLiteral("Keff / group mean"), QStringLiteral("The cycle's Keff over the mean Keff of its amplitude group")},
      {QStringLiteral("EDC / group mean"), QStringLiteral("The cycle's EDC over the mean EDC of its amplitude group")}};
  static_assert(measured::kGroupTolerance == 0.05, "the Group column's tooltip names the tolerance");
  if (fitted) {
    columns.append({QStringLiteral("EDC of the fit") + energy,
                    QStringLiteral("The area of the fitted model's response over the cycle's samples")});
  }
  return columns;
}

// The fitted case as the analysis programs take it, to paste into their
// input files: read-only, unwrapped, eight lines high at most.
QPlainTextEdit* MakeMaterialsText() {
  auto* materials = new QPlainTextEdit;
  materials->setObjectName(QStringLiteral("txtMaterials"));
  materials->setReadOnly(true);
  materials->setLineWrapMode(QPlainTextEdit::NoWrap);
  materials->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  materials->setMaximumHeight(materials->fontMetrics().lineSpacing() * 8);
  materials->setToolTip(QStringLiteral(
      "The fitted case as OpenSees (BoucWen, BoucWenOriginal), OpenSeesPy and CSI's Wen link write it"));
  return materials;
}

// The materials' text with its copy button beside it, hidden until a fit.
QWidget* MakeMaterialsBox(QPlainTextEdit* materials, QPushButton* copy) {
  QObject::connect(copy, &QPushButton::clicked, materials,
                   [materials] { QGuiApplication::clipboard()->setText(materials->toPlainText()); });
  auto* materialsRow = new QHBoxLayout;
  materialsRow->addWidget(materials, 1);
  materialsRow->addWidget(copy, 0, Qt::AlignTop);
  auto* materialsBox = new QWidget;
  materialsBox->setLayout(materialsRow);
  materialsRow->setContentsMargins(0, 0, 0, 0);
  materialsBox->setVisible(false);
  return materialsBox;
}

// What a record shows: the summary, the table and the materials' box, one
// above the other.
QWidget* MakeListing(QLabel* label, QTableWidget* table, QWidget* materialsBox) {
  auto* listing = new QWidget;
  auto* listingLayout = new QVBoxLayout(listing);
  listingLayout->setContentsMargins(0, 0, 0, 0);
  listingLayout->addWidget(label);
  listingLayout->addWidget(table, 1);
  listingLayout->addWidget(materialsBox);
  return listing;
}

}  // namespace

RecordTab::RecordTab(const char* prompt) {
  open_ = MakeButton("cmdOpenRecord", QStringLiteral("Open measured record…"));
  fit_ = MakeButton("cmdFit", QStringLiteral("Fit"));
  use_ = MakeButton("cmdUseParameters", QStringLiteral("Use these parameters"),
                    QStringLiteral("Write the fitted n, γ, α, Fy and Uy into the main window and Solve"));
  fit_->setEnabled(false);
  use_->setEnabled(false);
  DescribeFit();

  label_ = MakeRecordLabel();
  table_ = MakeCycleTable();
  materials_ = MakeMaterialsText();
  copy_ = MakeButton("cmdCopyMaterials", QStringLiteral("Copy lines"),
                     QStringLiteral("Copy these lines to the clipboard"));
  materialsBox_ = MakeMaterialsBox(materials_, copy_);
  QWidget* listing = MakeListing(label_, table_, materialsBox_);

  QLabel* promptLabel = MakePrompt("lblRecordPrompt", prompt);
  stack_ = new QStackedWidget;
  stack_->addWidget(promptLabel);
  stack_->addWidget(listing);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(open_);
  buttons->addWidget(fit_);
  buttons->addWidget(use_);
  buttons->addStretch(1);
  page_ = new QWidget;
  auto* layout = new QVBoxLayout(page_);
  layout->addLayout(buttons);
  layout->addWidget(stack_, 1);
}

QString RecordTab::Text() const { return label_->text(); }

void RecordTab::Open(platform::Services& services, const std::string& path, const QString& name) {
  // Both steps before anything changes, so a failure leaves the record
  // shown before. The cycles are computed on every point.
  measured::Record record = measured::ReadRecordFile(services, path);
  measured::CycleTable table = measured::FindCycles(record.u, record.F);
  record_ = std::move(record);
  cycles_ = std::move(table);
  name_ = name;
  ClearFit();
  FillTable();
  stack_->setCurrentIndex(1);
  fit_->setEnabled(true);
}

QString RecordTab::MaterialsText() const {
  if (!result_) return {};
  const Case& p = result_->parameters;
  try {
    return QString::fromStdString(
        material::ReportText(material::LinesOf({p.n, 1.0 - p.gamma, p.gamma, p.alpha, p.Fy, p.Uy})));
  } catch (const Refusal& e) {
    return QStringLiteral("No analysis program's material for this fit: %1").arg(QString::fromUtf8(e.what()));
  }
}

void RecordTab::ClearFit() {
  result_.reset();
  use_->setEnabled(false);
  materials_->clear();
  materialsBox_->setVisible(false);
  DescribeFit();
}

QString RecordTab::Fit() {
  ClearFit();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QString failure;
  std::optional<measured::FitResult> result;
  try {
    result = measured::Fit(record_->u, record_->F, *cycles_, measured::FitOptions{});
  } catch (const std::exception& error) {
    failure = QString::fromUtf8(error.what());
  }
  QApplication::restoreOverrideCursor();
  if (result) {
    ShowFit(std::move(*result));
  } else {
    FillTable();
  }
  return failure;
}

void RecordTab::ShowFit(measured::FitResult result) {
  if (!record_) return;
  result_ = std::move(result);
  FillTable();
  use_->setEnabled(true);
  materials_->setPlainText(MaterialsText());
  materialsBox_->setVisible(true);
  DescribeFit();
}

void RecordTab::DescribeFit() {
  const bool steady = result_ ? result_->steady : measured::FitOptions{}.steady;
  if (steady) {
    fit_->setToolTip(QStringLiteral("Fit n, γ, α, Fy and Uy to the steady cycles of the record"));
    return;
  }
  QString samples = QStringLiteral("every sample of the record");
  if (result_ && !result_->points.empty() &&
      (result_->points.front() != 0 || result_->points.back() + 1 != record_->u.size())) {
    samples = QStringLiteral("samples %1 of the record").arg(SampleRange(*result_));
  }
  QString start = QStringLiteral("from rest");
  if (result_ && (result_->z0Fitted || result_->z0 != 0.0)) {
    start = QStringLiteral("from z = %1 at the first sample").arg(Number(result_->z0));
  }
  fit_->setToolTip(
      QStringLiteral("Fit n, γ, α, Fy and Uy to %1, along the model's response %2").arg(samples, start));
}

std::vector<QList<QPointF>> RecordTab::FittedLoops() const {
  std::vector<QList<QPointF>> loops;
  if (!result_ || !result_->steady) return loops;
  // Cycles of the same amplitude would draw the same loop again.
  std::vector<double> drawn;
  for (const measured::CycleFit& c : result_->cycles) {
    if (std::any_of(drawn.begin(), drawn.end(), [&](double d) { return std::abs(d - c.halfRange) <= 1e-3 * d; })) {
      continue;
    }
    drawn.push_back(c.halfRange);
    const measured::Cycle& cycle = cycles_->cycles[c.cycle];
    const HysteresisLoop loop =
        measured::ModelLoop(result_->parameters, c.halfRange, 0.5 * (cycle.uPlus + cycle.uMinus), 301);
    if (loop.u.empty()) continue;
    QList<QPointF> points;
    for (std::size_t i = 0; i < loop.u.size(); ++i) points.append(QPointF(loop.u[i], loop.F[i]));
    points.append(points.front());
    loops.push_back(std::move(points));
  }
  return loops;
}

std::vector<QList<QPointF>> RecordTab::ModelPath() const {
  std::vector<QList<QPointF>> runs;
  if (!result_ || !record_) return runs;
  const std::vector<double>& u = record_->u;
  const std::vector<std::size_t>& points = result_->points;
  const std::size_t count = std::min(points.size(), result_->modelF.size());
  // A sample outside the record or a force that is not finite cannot be
  // drawn; the run breaks there like at a gap.
  bool joined = false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t index = points[i];
    const double F = result_->modelF[i];
    if (index >= u.size() || !std::isfinite(F)) {
      joined = false;
      continue;
    }
    if (!joined || index != points[i - 1] + 1) runs.emplace_back();
    runs.back().append(QPointF(u[index], F));
    joined = true;
  }
  return runs;
}

// One row a cycle, then the means of the steady ones; with a fit, a last
// column with the EDC of the model at each fitted cycle.
void RecordTab::FillTable() {
  const std::vector<measured::Cycle>& cycles = cycles_->cycles;
  const QList<Column> columns = CycleColumns(*record_, result_.has_value());
  table_->clear();
  table_->setColumnCount(static_cast<int>(columns.size()));
  for (int i = 0; i < columns.size(); ++i) {
    auto* header = new QTableWidgetItem(columns[i].header);
    header->setToolTip(columns[i].meaning);
    table_->setHorizontalHeaderItem(i, header);
  }
  table_->setRowCount(static_cast<int>(cycles.size()) + 1);
  auto set = [this](int row, int column, const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table_->setItem(row, column, item);
  };
  for (std::size_t i = 0; i < cycles.size(); ++i) {
    const measured::Cycle& c = cycles[i];
    const int row = static_cast<int>(i);
    set(row, 0, QString::number(i + 1));
    int column = 1;
    for (double v : {c.uPlus, c.uMinus, c.FPlus, c.FMinus, c.EDC, c.Keff, c.XiEff}) set(row, column++, Number(v));
    set(row, column++, c.steady ? QStringLiteral("yes") : QStringLiteral("no"));
    SetFigures(row, column, c);
  }
  const measured::CycleMeans& m = cycles_->steadyMeans;
  const int last = static_cast<int>(cycles.size());
  set(last, 0, QStringLiteral("Mean of %1 steady").arg(m.count));
  int column = 1;
  for (double v : {m.uPlus, m.uMinus, m.FPlus, m.FMinus, m.EDC, m.Keff, m.XiEff}) set(last, column++, Number(v));
  if (result_) {
    const int fitColumn = static_cast<int>(columns.size()) - 1;
    for (const measured::CycleFit& c : result_->cycles) set(static_cast<int>(c.cycle), fitColumn, Number(c.modelEDC));
  }
  label_->setText(Summary());
}

// The isolator's figures of cycle c from `column` on: D, Qd, Kd, Dy, the
// group (from 1) and the ratios. A figure that does not exist shows a dash,
// its tooltip the reason (also among the summary's notes).
void RecordTab::SetFigures(int row, int column, const measured::Cycle& c) {
  const QString reason = QString::fromStdString(measured::BilinearReason(c));
  const QString noRatio = QStringLiteral("The mean of the cycle's amplitude group is not positive");
  const struct {
    double value;
    QString whyNot;
  } cells[] = {{c.D, {}}, {c.Qd, reason}, {c.Kd, reason}, {c.Dy, reason},
               {static_cast<double>(c.group + 1), {}}, {c.KeffRatio, noRatio}, {c.EDCRatio, noRatio}};
  for (const auto& cell : cells) {
    auto* item = new QTableWidgetItem(std::isnan(cell.value) ? QStringLiteral("—") : Number(cell.value));
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (std::isnan(cell.value)) item->setToolTip(cell.whyNot);
    table_->setItem(row, column++, item);
  }
}

// The amplitude groups, a line each (the first few: the table's Group
// column holds them all), and why figures are missing.
QString RecordTab::GroupsText() const {
  constexpr std::size_t kShown = 6;
  const QString u = QString::fromStdString(record_->displacement.unit);
  const QString F = QString::fromStdString(record_->force.unit);
  const auto in = [](const QString& unit) { return unit.isEmpty() ? QString() : u' ' + unit; };
  const QString stiffness = u.isEmpty() || F.isEmpty() ? QString() : in(F + u'/' + u);
  const QString energy = u.isEmpty() || F.isEmpty() ? QString() : in(F + u'·' + u);
  const auto ratio = [](double r) { return std::isnan(r) ? QStringLiteral("—") : Number(r); };
  QStringList lines;
  const std::vector<measured::AmplitudeGroup>& groups = cycles_->groups;
  for (std::size_t g = 0; g < std::min(groups.size(), kShown); ++g) {
    const measured::AmplitudeGroup& group = groups[g];
    const QString which = group.first == group.last
                              ? QStringLiteral("cycle %1").arg(group.first + 1)
                              : QStringLiteral("cycles %1–%2").arg(group.first + 1).arg(group.last + 1);
    lines << QStringLiteral("Group %1 (%2): mean D %3, Keff %4, EDC %5; first cycle's Keff %6 and EDC %7 × the means.")
                 .arg(g + 1)
                 .arg(which, Number(group.D) + in(u), Number(group.Keff) + stiffness, Number(group.EDC) + energy,
                      ratio(group.firstKeffRatio), ratio(group.firstEDCRatio));
  }
  if (groups.size() > kShown) lines << QStringLiteral("… and %1 groups more.").arg(groups.size() - kShown);
  for (const auto& notes : {measured::BilinearNotes(*cycles_), measured::RatioNotes(*cycles_)}) {
    for (const std::string& note : notes) {
      QString text = QString::fromStdString(note);
      text[0] = text[0].toUpper();
      lines << text + u'.';
    }
  }
  return lines.join(u'\n');
}

// The record's points and cycles; with a fit, what it was fitted to (the
// cycles, or the samples of a fit along the whole record with z at its
// start), the parameters and the misfit.
QString RecordTab::Summary() const {
  QString text = QStringLiteral("%1: %2 points, %3 full cycles, %4 steady.")
                     .arg(name_)
                     .arg(record_->u.size())
                     .arg(cycles_->cycles.size())
                     .arg(cycles_->steadyMeans.count);
  text += u'\n' + GroupsText();
  if (!result_) return text;
  const QString beta = QStringLiteral("(β = %1)").arg(Number(1.0 - result_->parameters.gamma));
  QString fitted;
  if (result_->steady) {
    QStringList fittedCycles;
    for (const measured::CycleFit& c : result_->cycles) fittedCycles << QString::number(c.cycle + 1);
    fitted = QStringLiteral("Fit to cycles %1: %2 %3")
                 .arg(fittedCycles.join(QStringLiteral(", ")), ParameterList(*result_), beta);
  } else {
    fitted = QStringLiteral("Fit to the whole record (samples %1): %2 %3, %4")
                 .arg(SampleRange(*result_), ParameterList(*result_), beta, StartOf(*result_));
  }
  text += QStringLiteral("\n%1.\nMisfit (RMS) %2, %3 % of the mean F⁺.\n%4.")
              .arg(fitted, Number(result_->rms), QString::number(100.0 * result_->rmsRelative, 'f', 2),
                   QString::fromStdString(measured::FittedSummary(*result_, 1)));
  if (!result_->otherFits.empty()) {
    text += QStringLiteral("\nOther fits as good (misfit within %1 %, outside two standard errors):%2")
                .arg(Number(100.0 * measured::kOtherFitShare), OtherFitLines(*result_));
  }
  // What the command line writes to standard error, where it is seen.
  for (const std::string& warning : measured::WarningTexts(*result_, 1)) {
    text += QStringLiteral("\nWarning: %1").arg(QString::fromStdString(warning));
  }
  return text;
}

}  // namespace quorix::plots
