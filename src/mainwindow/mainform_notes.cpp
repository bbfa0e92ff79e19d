// What the window says beside its numbers. Every change of a field, and
// the end of every command, recomputes all of it from the fields as they
// are now and from what the last Solve and Loop left:
//  - a number field whose text is not one complete number is framed in red
//    and says, in its tooltip and accessible description, how it was read;
//  - the field at fault when the case lies outside the model's domain says
//    which rule it breaks (the window still computes the case as typed);
//  - a result the check flags gets "≠ exact value" beside it, and the
//    results frame says when the solved case lies outside the model;
//  - results whose fields have changed since their Solve are greyed;
//  - the status line sums all of this up, with the last Loop's tally.
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QFont>

#include "case_notes.h"
#include "mainform.h"
#include "window_texts.h"

namespace quorix {

namespace {

// The dynamic properties a marked field carries: its note ("" when none),
// and the tooltip it had before any note.
constexpr const char* kNoteProperty = "quorixNote";
constexpr const char* kPlainToolTipProperty = "quorixPlainToolTip";

constexpr const char* kStaleNote = "inputs changed: press Solve";

void MarkField(QLineEdit* box, const QString& note) {
  if (!box->property(kPlainToolTipProperty).isValid()) box->setProperty(kPlainToolTipProperty, box->toolTip());
  QString plain = box->property(kPlainToolTipProperty).toString();
  // A fitted value rounded to its standard error keeps the full value in
  // the tooltip for as long as the field holds the rounded text.
  const QVariant fitted = box->property(MainForm::kFittedTextProperty);
  if (fitted.isValid() && fitted.toString() == box->text()) {
    plain += QLatin1Char('\n') + box->property(MainForm::kFittedToolTipProperty).toString();
  }
  const QString tip = note.isEmpty() ? plain : plain.isEmpty() ? note : note + QStringLiteral("\n\n") + plain;
  if (box->toolTip() != tip) box->setToolTip(tip);
  if (box->property(kNoteProperty).toString() == note) return;
  box->setProperty(kNoteProperty, note);
  box->setAccessibleDescription(note);
  // Only a marked field takes a style sheet: the others keep the platform's
  // own frame. A style sheet puts the application's font back on the
  // widget, so the window's is set again after it.
  const QFont font = box->parentWidget()->font();
  box->setStyleSheet(note.isEmpty() ? QString() : QStringLiteral("QLineEdit { border: 2px solid #d00000; }"));
  box->setFont(font);
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

std::array<MainForm::NumberField, 9> MainForm::NumberFields() const {
  return {{{txtGammaSmall_, "gamma"},
           {txtNee_, "n"},
           {txtAlphaSmall_, "a"},
           {txtFy_, "Fy"},
           {txtUy_, "Uy"},
           {txtUmaxOverUy_, "Umax / Uy"},
           {txtFrom_, "From"},
           {txtTo_, "To"},
           {txtStep_, "Step"}}};
}

QLineEdit* MainForm::FieldOfInput(const std::string& input) const {
  // β follows γ: a breach of β − γ ≤ 1 is the typed γ's.
  if (input == "gamma" || input == "beta") return txtGammaSmall_;
  if (input == "n") return txtNee_;
  if (input == "alpha") return txtAlphaSmall_;
  if (input == "Fy") return txtFy_;
  if (input == "Uy") return txtUy_;
  if (input == "Umax/Uy") return txtUmaxOverUy_;
  return nullptr;
}

QStringList MainForm::MarkFields(const std::optional<DomainBreach>& breach) {
  QStringList notes;
  QLineEdit* const atFault = breach ? FieldOfInput(breach->input) : nullptr;
  for (const NumberField& field : NumberFields()) {
    QStringList sentences;
    if (const auto reading = window::ReadingNote(field.box->text().toStdString())) {
      sentences << Q(*reading);
      notes << QString::fromLatin1(field.name) + QStringLiteral(": ") + Q(*reading);
    }
    if (field.box == atFault) sentences << QStringLiteral("outside the model: ") + Q(breach->message);
    MarkField(field.box, sentences.join(QLatin1Char('\n')));
  }
  return notes;
}

void MainForm::MarkResults(bool stale) {
  const bool complementary = solvedTexts_ && solvedTexts_->Complementary;
  const auto shown = accurate::CheckedValues(lastSolved_.value_or(BoucWenCase{}));
  for (int i = 0; i < kResultCount; ++i) {
    QLabel* flag = flagLabels_[i];
    const bool flagged = solvedTexts_ && solvedCheck_.flagged[i];
    const QString exact = flagged ? Q(window::ExactText(solvedCheck_.exact[i])) : QString();
    // Six significant digits fit beside the result. The tooltip has the
    // exact value and the computed one as ExactText writes them: a result
    // shown as 0.000000000 may be a small number of the wrong sign.
    flag->setText(flagged ? QStringLiteral("≠ ") + QString::number(solvedCheck_.exact[i], 'g', 6) : QString());
    flag->setToolTip(flagged ? QStringLiteral("exact: ") + exact + QStringLiteral("\ncomputed: ") +
                                   Q(window::ExactText(shown[i]))
                             : QString());
    flag->setVisible(flagged);
    resultLabels_[i]->setAccessibleDescription(
        flagged ? Q(window::CheckedResultName(i, complementary)) + QStringLiteral(" differs from its exact value ") +
                      exact
                : QString());
    // What the result is and its unit; where nine decimals lose the value,
    // the value in significant digits.
    const std::optional<double> value =
        solvedTexts_ && lastSolved_ ? std::optional(ResultValues(*lastSolved_)[i]) : std::nullopt;
    resultLabels_[i]->setToolTip(Q(window::ResultToolTip(i, complementary, value)));
    resultLabels_[i]->setAccessibleName(Q(window::CheckedResultName(i, complementary)));
    // Greyed, not emptied: the user still reads what the last Solve gave.
    resultLabels_[i]->setEnabled(!stale);
    flag->setEnabled(!stale);
  }
  mnuCopyResults_->setEnabled(solvedTexts_.has_value());
  frameResults_->setTitle(solvedTexts_ && solvedBreach_ ? QStringLiteral("Results (outside the model)")
                                                        : QStringLiteral("Results"));
  frameResults_->setToolTip(solvedTexts_ && solvedBreach_
                                ? QStringLiteral("outside the model: ") + Q(solvedBreach_->message)
                                : QString());
}

void MainForm::UpdateNotes() {
  if (!lblStatus_) return;  // still building the controls
  const CaseTexts texts = CurrentCaseTexts();
  // The breach of the case the fields hold now; a field beyond the range of
  // a double has its own note and leaves the case unread.
  std::optional<DomainBreach> breach;
  try {
    BoucWenCase typed;
    ReadCase(texts, typed);
    breach = FindDomainBreach(CaseOf(typed), typed.UmaxOverUy);
  } catch (const std::exception&) {
  }
  const bool stale = solvedTexts_ && !window::SameInputs(*solvedTexts_, texts);
  // The status line names the first field marked and counts the others;
  // its tooltip lists every note in full.
  QStringList status, full;
  if (stale) status << QString::fromLatin1(kStaleNote);
  const QStringList readings = MarkFields(breach);
  full << status << readings;
  if (!readings.isEmpty()) {
    status << readings.front() +
                  (readings.size() > 1 ? QStringLiteral(" (and %1 more marked)").arg(readings.size() - 1)
                                       : QString());
  }
  QStringList more;
  if (breach) more << QStringLiteral("outside the model: ") + Q(breach->message);
  MarkResults(stale);
  if (solvedTexts_ && !stale) {
    const std::string flags = window::FlagsNote(solvedCheck_, solvedTexts_->Complementary);
    if (!flags.empty()) more << Q(flags);
  }
  if (loopStatus_ && window::SameInputs(loopStatus_->texts, texts) &&
      window::SameInputs(loopStatus_->range, CurrentSweepTexts())) {
    more << Q(loopStatus_->text);
  }
  status << more;
  full << more;
  lblStatus_->setText(status.join(QLatin1Char('\n')));
  lblStatus_->setToolTip(full.join(QLatin1Char('\n')));
}

QString MainForm::StatusText() const { return lblStatus_->text(); }

}  // namespace quorix
