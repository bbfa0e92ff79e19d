// The "Record" tab of the Plots window: a measured record, its cycles in a
// table with the means of the steady ones, and the model fitted to them.
// It draws nothing itself: the record, the model's response along it and
// the fitted loops go on the "Loop" tab, which the window tells.
#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "cycles.h"
#include "fit.h"
#include "record.h"
#include "services.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTableWidget;
class QWidget;

namespace quorix::plots {

class RecordTab {
 public:
  // Builds the page, which shows `prompt` until a record is open; whoever
  // adds it to a tab widget owns its widgets.
  explicit RecordTab(const char* prompt);

  QWidget* Page() const { return page_; }
  QPushButton* OpenButton() const { return open_; }
  QPushButton* FitButton() const { return fit_; }
  QPushButton* UseButton() const { return use_; }
  QPushButton* CopyMaterialsButton() const { return copy_; }
  // The fitted case as OpenSees, OpenSeesPy and CSI's Wen link write it;
  // empty without a fit.
  QString MaterialsText() const;
  QTableWidget* Table() const { return table_; }
  QString Text() const;
  // The record open, if any, and its cycles.
  const std::optional<measured::Record>& Measured() const { return record_; }
  std::size_t CycleCount() const { return cycles_ ? cycles_->cycles.size() : 0; }
  const std::optional<measured::FitResult>& LastFit() const { return result_; }

  // Reads the record at `path`, `name` its file's, and lists its cycles.
  // Throws when it cannot be read or has no full cycle, leaving the record
  // shown before.
  void Open(platform::Services& services, const std::string& path, const QString& name);
  // Fits the model to the record with the fit's default options and lists
  // the fit beside the cycles. Empty on success, else the reason. Only with
  // a record open.
  QString Fit();
  // Lists a fit of the open record made elsewhere, as Fit lists its own.
  // Only with a record open.
  void ShowFit(measured::FitResult result);
  // A steady fit's loop at each distinct amplitude of the fitted cycles,
  // closed; nothing for a fit along the whole record, which has no loop of
  // its own.
  std::vector<QList<QPointF>> FittedLoops() const;
  // The model's force at the fitted samples over their measured
  // displacements, (u[points[i]], modelF[i]), one run for each stretch of
  // consecutive samples: a whole-record fit makes one run, a steady fit one
  // for each chosen cycle, so that no line joins samples far apart.
  std::vector<QList<QPointF>> ModelPath() const;

 private:
  void ClearFit();
  void FillTable();
  void SetFigures(int row, int column, const measured::Cycle& c);
  QString GroupsText() const;
  // The Fit button's tooltip: the fit that ran, or before any, the one the
  // button runs.
  void DescribeFit();
  QString Summary() const;

  QWidget* page_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  QLabel* label_ = nullptr;
  QTableWidget* table_ = nullptr;
  QPushButton* open_ = nullptr;
  QPushButton* fit_ = nullptr;
  QPushButton* use_ = nullptr;
  QPushButton* copy_ = nullptr;
  QPlainTextEdit* materials_ = nullptr;
  QWidget* materialsBox_ = nullptr;
  std::optional<measured::Record> record_;
  std::optional<measured::CycleTable> cycles_;
  std::optional<measured::FitResult> result_;
  QString name_;
};

}  // namespace quorix::plots
