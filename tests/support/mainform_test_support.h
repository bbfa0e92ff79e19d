// Helpers shared by the Qt tests of the main window and its Plots window.
#pragma once

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QtTest>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "fake_save_dialogs.h"
#include "energy_solver.h"
#include "fake_services.h"
#include "mainform.h"

namespace quorix::testing {

// The case of the window's initial texts, at this Umax/Uy.
inline BoucWenCase InitialCase(double u = 1.0) {
  return BoucWenCase{.Nee = 2.0, .BetaSmall = 0.1, .GammaSmall = 0.9, .AlphaSmall = 0.10, .Fy = 2.86, .Uy = 0.111,
                     .UmaxOverUy = u, .Complementary = true};
}

// The nine result texts the window shows for a case, solved here.
inline QStringList Solved(BoucWenCase bw) {
  SolveEnergy(bw);
  QStringList texts;
  for (const std::string& text : ResultTexts(bw)) texts << QString::fromStdString(text);
  return texts;
}

// The one child of `root` with this object name, or nullptr when there is
// none or more than one (a control's name must be unique in its window).
template <class T = QWidget>
T* Control(const QObject& root, const QString& name) {
  const auto found = root.findChildren<T*>(name);
  return found.size() == 1 ? found.front() : nullptr;
}

inline QString FocusName() { return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "-"; }

// The lines of a file; each must end in CR LF.
inline QStringList Lines(const std::string& bytes) {
  QStringList lines = QString::fromStdString(bytes).split(QStringLiteral("\r\n"));
  if (!lines.takeLast().isEmpty()) lines << QStringLiteral("<no CR LF at the end>");
  return lines;
}

// A record's text with the units "mm" and "kN", in seventeen digits so that the window reads back the very
// doubles written.
inline std::string RecordCsv(const std::vector<double>& u, const std::vector<double>& F) {
  QString text = QStringLiteral("u [mm];F [kN]\n");
  for (std::size_t i = 0; i < u.size(); ++i) {
    text += QString::number(u[i], 'g', 17) + ';' + QString::number(F[i], 'g', 17) + '\n';
  }
  return text.toStdString();
}

// A table of cases as the rows of a data-driven Qt test: Rows(table) in the _data function, one tag a row (its
// index), and Row(table) in the test for the row being run.
template <class T, std::size_t N>
void Rows(const T (&)[N]) {
  QTest::addColumn<int>("row");
  for (std::size_t i = 0; i < N; ++i) QTest::addRow("%zu", i) << static_cast<int>(i);
}
template <class T, std::size_t N>
const T& Row(const T (&rows)[N]) {
  QFETCH(int, row);
  return rows[row];
}

// A main window on the fake services and save dialogs, shown and active.
struct Window {
  FakeServices services;
  FakeSaveDialogs dialogs;
  MainForm form{services, dialogs};
  const std::string results = platform::JoinPath(services.folder, "results.out");
  QStringList questions;  // the Loop's questions, in order
  bool answer = true;     // to each of them

  Window() {
    form.SetAsk([this](const QString& question) { return questions << question, answer; });
    form.show();
    (void)QTest::qWaitForWindowActive(&form);
  }
  void Click(const char* button) { QTest::mouseClick(Control<QPushButton>(form, button), Qt::LeftButton); }
  void SetText(const char* box, const QString& text) { Control<QLineEdit>(form, box)->setText(text); }
  // Sets each box's text, then clicks the button.
  void Enter(std::initializer_list<std::pair<const char*, QString>> texts, const char* button) {
    for (const auto& [box, text] : texts) SetText(box, text);
    Click(button);
  }
  // Opens the Plots window from the menu, as a user does.
  PlotsWindow* OpenPlots() {
    form.findChild<QAction*>(QStringLiteral("mnuPlots"))->trigger();
    if (form.Plots()) (void)QTest::qWaitForWindowExposed(form.Plots());
    return form.Plots();
  }
  QString Text(const char* box) const { return Control<QLineEdit>(form, box)->text(); }
  QStringList ResultLines() const {
    const auto found = services.files.find(results);
    return found == services.files.end() ? QStringList() : Lines(found->second);
  }
  // The texts of the nine result labels (lblZaValue …), in the window's order.
  QStringList ResultLabels() const {
    QStringList texts;
    for (std::string_view name : kResultNames) {
      texts << Control<QLabel>(form, "lbl" + QString::fromLatin1(name.data(), name.size()) + "Value")->text();
    }
    return texts;
  }
};

}  // namespace quorix::testing
