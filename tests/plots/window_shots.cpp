// Not a test: takes the pictures of the windows in docs/ (and more, to look at) on the fake services, as a user
// leaves them after a Solve, a Loop and a fitted record. Run under a real X server so that the desktop's style and
// fonts are those of a screen:
//   xvfb-run -a build/dev/tests/plots/window_shots OUTDIR [FONT_PIXELS]
// FONT_PIXELS sets the application's font to that many pixels, as a desktop with a larger font would (the
// windows are laid out for 12).
#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "fake_save_dialogs.h"
#include "fake_services.h"
#include "about_form.h"
#include "mainform.h"
#include "plots_window.h"
#include "synthetic.h"

namespace {

void Save(QWidget* widget, const QString& folder, const char* name) {
  QTest::qWait(200);
  const QString path = folder + u'/' + QString::fromLatin1(name);
  if (!widget->grab().save(path)) std::fprintf(stderr, "could not write %s\n", qPrintable(path));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  if (argc > 2) {
    QFont font = QApplication::font();
    font.setPixelSize(std::max(6, std::atoi(argv[2])));
    QApplication::setFont(font);
  }
  quorix::testing::FakeServices services;
  quorix::testing::FakeSaveDialogs dialogs;
  using namespace quorix::measured::testing;
  const Synthetic rec =
      MakeRecord(TrueModel{2.0, 0.7, 0.1, 50.0, 2.0}, {Block{1.4, 3, false}, Block{3.0, 3, false}, Block{8.0, 3, false}}, 150);
  QString text = QStringLiteral("u [mm];F [kN]\n");
  for (std::size_t i = 0; i < rec.u.size(); ++i) {
    text += QString::number(rec.u[i], 'g', 17) + u';' + QString::number(rec.F[i], 'g', 17) + u'\n';
  }
  services.files["/data/record.csv"] = text.toStdString();

  quorix::MainForm form(services, dialogs);
  form.SetAsk([](const QString&) { return true; });
  form.show();
  (void)QTest::qWaitForWindowExposed(&form);
  form.findChild<QPushButton*>(QStringLiteral("cmdSolve"))->click();
  Save(&form, folder, "main-solved.png");
  {
    quorix::AboutForm about(quorix::ProgramAboutInfo());
    about.show();
    (void)QTest::qWaitForWindowExposed(&about);
    Save(&about, folder, "about.png");
  }
  form.findChild<QAction*>(QStringLiteral("mnuPlots"))->trigger();
  quorix::PlotsWindow* plots = form.Plots();
  (void)QTest::qWaitForWindowExposed(plots);
  Save(plots, folder, "plots-loop.png");
  form.findChild<QPushButton*>(QStringLiteral("cmdLoop"))->click();
  Save(&form, folder, "main-looped.png");
  plots->Tabs()->setCurrentIndex(1);
  Save(plots, folder, "plots-sweep.png");
  plots->resize(1000, 760);
  plots->OpenRecord("/data/record.csv");
  plots->Tabs()->setCurrentIndex(2);
  plots->findChild<QPushButton*>(QStringLiteral("cmdFit"))->click();
  Save(plots, folder, "plots-record.png");
  plots->Tabs()->setCurrentIndex(0);
  Save(plots, folder, "plots-measured-loop.png");
  plots->resize(560, 420);
  Save(plots, folder, "plots-measured-loop-narrow.png");
  plots->resize(plots->minimumSizeHint().width(), 420);
  Save(plots, folder, "plots-measured-loop-narrowest.png");
  plots->findChild<QPushButton*>(QStringLiteral("cmdUseParameters"))->click();
  Save(&form, folder, "main-fitted.png");
  // The sweep of the fitted case: 99 rows from 0.1 to 5.
  const std::pair<const char*, const char*> range[] = {{"txtFrom", "0.1"}, {"txtTo", "5"}, {"txtStep", "0.05"}};
  for (const auto& [name, text] : range) form.findChild<QLineEdit*>(QString::fromLatin1(name))->setText(text);
  form.findChild<QPushButton*>(QStringLiteral("cmdLoop"))->click();
  plots->resize(900, 640);
  plots->Tabs()->setCurrentIndex(1);
  Save(plots, folder, "plots-measured-sweep.png");
  plots->resize(plots->minimumSizeHint().width(), 420);
  Save(plots, folder, "plots-measured-sweep-narrowest.png");
  form.findChild<QLineEdit*>(QStringLiteral("txtNee"))->setText(QStringLiteral("2,5"));
  Save(&form, folder, "main-marked.png");
  return 0;
}
