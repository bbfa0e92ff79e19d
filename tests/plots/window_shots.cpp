// Not a test: takes the pictures of the windows in docs/ (and more, to look at) on the fake services, as a user
// leaves them after a Solve, a Loop and a fitted record. Run under a real X server so that the desktop's style and
// fonts are those of a screen:
//   xvfb-run -a build/dev/tests/plots/window_shots OUTDIR [FONT_PIXELS]
// FONT_PIXELS sets the application's font to that many pixels, as a desktop with a larger font would (the
// windows are laid out for 12).
#include <QApplication>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "about_form.h"
#include "mainform_test_support.h"
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
  quorix::testing::Window w;  // every question of the Loop answered yes
  using namespace quorix::measured::testing;
  const Synthetic rec =
      MakeRecord(TrueModel{2.0, 0.7, 0.1, 50.0, 2.0}, {Block{1.4, 3, false}, Block{3.0, 3, false}, Block{8.0, 3, false}}, 150);
  w.services.files["/data/record.csv"] = quorix::testing::RecordCsv(rec.u, rec.F);
  w.Click("cmdSolve");
  Save(&w.form, folder, "main-solved.png");
  {
    quorix::AboutForm about(quorix::ProgramAboutInfo());
    about.show();
    (void)QTest::qWaitForWindowExposed(&about);
    Save(&about, folder, "about.png");
  }
  quorix::PlotsWindow* plots = w.OpenPlots();
  Save(plots, folder, "plots-loop.png");
  w.Click("cmdLoop");
  Save(&w.form, folder, "main-looped.png");
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
  Save(&w.form, folder, "main-fitted.png");
  w.Enter({{"txtFrom", "0.1"}, {"txtTo", "5"}, {"txtStep", "0.05"}}, "cmdLoop");  // the fitted case's sweep: 99 rows
  plots->resize(900, 640);
  plots->Tabs()->setCurrentIndex(1);
  Save(plots, folder, "plots-measured-sweep.png");
  plots->resize(plots->minimumSizeHint().width(), 420);
  Save(plots, folder, "plots-measured-sweep-narrowest.png");
  w.SetText("txtNee", QStringLiteral("2,5"));
  Save(&w.form, folder, "main-marked.png");
  return 0;
}
