// The main window as it opens: every control's kind, caption, initial text
// and place, the tab order, the start-up state and the look of the frames.
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QtTest>

#include "fake_services.h"
#include "mainform.h"
#include "mainform_test_support.h"

using quorix::MainForm;
using quorix::testing::Control;
using quorix::testing::FakeServices;
using quorix::testing::FocusName;

namespace {

// Twips as laid out for the window, 15 to the pixel.
QRect Twips(int left, int top, int width, int height) {
  return QRect(left / 15, top / 15, width / 15, height / 15);
}

QString TextOf(const QWidget* widget) {
  if (auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
  if (auto* box = qobject_cast<const QLineEdit*>(widget)) return box->text();
  if (auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
  if (auto* frame = qobject_cast<const QGroupBox*>(widget)) return frame->title();
  return {};
}

}  // namespace

class MainFormLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    services_ = std::make_unique<FakeServices>();
    form_ = std::make_unique<MainForm>(*services_);
  }
  void cleanup() {
    form_.reset();
    services_.reset();
  }

  void controls_data();
  void controls();
  void window();
  void menu();
  void startUpState();
  void readOnlyBoxes();
  void frameCaptionsInHighlightColour();
  void tabOrder_data();
  void tabOrder();
  void captionsFitTheirBoxes();

 private:
  void ShowAndActivate() {
    form_->show();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
  }

  std::unique_ptr<FakeServices> services_;
  std::unique_ptr<MainForm> form_;
};

void MainFormLayoutTest::controls_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("container");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QRect>("geometry");

  auto row = [](const char* name, const char* kind, const char* container, const char* text, QRect geometry) {
    QTest::newRow(name) << kind << container << text << geometry;
  };
  const char* frame = "QGroupBox";
  const char* inner = "QWidget";
  const char* box = "QLineEdit";
  const char* label = "QLabel";

  row("frameBoucWen", frame, "MainFormClient", "Bouc-Wen parameters", Twips(60, 60, 1875, 3735));
  row("frameAmplitude", frame, "MainFormClient", "Displacement amplitude", Twips(2040, 60, 1815, 1695));
  row("frameLoop", frame, "MainFormClient", "Loop for Umax/Uy", Twips(2040, 1860, 1815, 1935));
  row("frameResults", frame, "MainFormClient", "Results", Twips(3900, 60, 3555, 3735));
  row("Picture1", inner, "frameBoucWen", "", Twips(120, 240, 1695, 2655));
  row("Picture2", inner, "frameAmplitude", "", Twips(60, 285, 1575, 1335));
  row("Picture4", inner, "frameLoop", "", Twips(120, 240, 1635, 1575));
  row("Picture3", inner, "frameResults", "", Twips(120, 300, 3315, 3195));

  // Bouc-Wen parameters: rows 360 twips apart, box at top 60 + 360 r,
  // right-aligned label 60 twips lower.
  row("txtAlphaCap", box, "Picture1", "1.0", Twips(900, 60, 675, 315));
  row("lblAlphaCap", label, "Picture1", "A :", Twips(0, 120, 735, 195));
  row("txtBetaSmall", box, "Picture1", "0.1", Twips(900, 420, 675, 315));
  row("lblBetaSmall", label, "Picture1", "beta :", Twips(0, 480, 735, 195));
  row("txtGammaSmall", box, "Picture1", "0.9", Twips(900, 780, 675, 315));
  row("lblGammaSmall", label, "Picture1", "gamma :", Twips(0, 840, 735, 195));
  row("txtNee", box, "Picture1", "2.0", Twips(900, 1140, 675, 315));
  row("lblNee", label, "Picture1", "n :", Twips(0, 1200, 735, 195));
  row("txtAlphaSmall", box, "Picture1", "0.10", Twips(900, 1500, 675, 315));
  row("lblAlphaSmall", label, "Picture1", "a :", Twips(0, 1560, 735, 195));
  row("txtFy", box, "Picture1", "2.86", Twips(900, 1860, 675, 315));
  row("lblFy", label, "Picture1", "Fy :", Twips(0, 1920, 735, 195));
  row("txtUy", box, "Picture1", "0.111", Twips(900, 2220, 675, 315));
  row("lblUy", label, "Picture1", "Uy :", Twips(0, 2280, 735, 195));

  row("lblUmaxOverUy", label, "Picture2", "Umax / Uy :", Twips(0, 60, 975, 255));
  row("txtUmaxOverUy", box, "Picture2", "1", Twips(1020, 0, 495, 315));
  row("optDirect", "QRadioButton", "Picture2", "Direct", Twips(120, 360, 1755, 195));
  row("optComplementary", "QRadioButton", "Picture2", "Complementary", Twips(120, 600, 1815, 195));
  row("cmdSolve", "QPushButton", "Picture2", "Solve", Twips(120, 900, 1395, 435));

  row("Label1", label, "Picture4", "From :", Twips(60, 120, 435, 195));
  row("txtFrom", box, "Picture4", "0.1", Twips(540, 60, 975, 315));
  row("Label2", label, "Picture4", "To :", Twips(240, 480, 285, 195));
  row("txtTo", box, "Picture4", "10.0", Twips(540, 420, 975, 315));
  row("Label3", label, "Picture4", "Step :", Twips(30, 840, 420, 195));
  row("txtStep", box, "Picture4", "0.1", Twips(540, 780, 975, 315));
  row("cmdLoop", "QPushButton", "Picture4", "Loop", Twips(60, 1140, 1455, 435));

  // Results: value label at top 360 r, caption 60 twips lower; the window
  // opens in Complementary mode, hence the starred loop integrals.
  row("lblZa", label, "Picture3", "Za :", Twips(0, 60, 975, 195));
  row("lblZaValue", label, "Picture3", "", Twips(1140, 0, 2115, 315));
  row("lblFha", label, "Picture3", "Fha :", Twips(0, 420, 975, 195));
  row("lblFhaValue", label, "Picture3", "", Twips(1140, 360, 2115, 315));
  row("lblFela", label, "Picture3", "Fela :", Twips(0, 780, 975, 195));
  row("lblFelaValue", label, "Picture3", "", Twips(1140, 720, 2115, 315));
  row("lblFa", label, "Picture3", "Fa :", Twips(0, 1140, 975, 195));
  row("lblFaValue", label, "Picture3", "", Twips(1140, 1080, 2115, 315));
  row("lblKcd", label, "Picture3", "Kcd* :", Twips(0, 1500, 975, 195));
  row("lblKcdValue", label, "Picture3", "", Twips(1140, 1440, 2115, 315));
  row("lblKda", label, "Picture3", "Kda* :", Twips(0, 1860, 975, 195));
  row("lblKdaValue", label, "Picture3", "", Twips(1140, 1800, 2115, 315));
  row("lblDEOverFyUy", label, "Picture3", "DE/(Fy Uy) :", Twips(0, 2220, 975, 195));
  row("lblDEOverFyUyValue", label, "Picture3", "", Twips(1140, 2160, 2115, 315));
  row("lblDEOverFhUy", label, "Picture3", "DE/(Fh Uy) :", Twips(0, 2580, 975, 195));
  row("lblDEOverFhUyValue", label, "Picture3", "", Twips(1140, 2520, 2115, 315));
  row("lblDE", label, "Picture3", "DE :", Twips(0, 2940, 975, 195));
  row("lblDEValue", label, "Picture3", "", Twips(1140, 2880, 2115, 315));
}

void MainFormLayoutTest::controls() {
  QFETCH(QString, kind);
  QFETCH(QString, container);
  QFETCH(QString, text);
  QFETCH(QRect, geometry);
  const QString name = QString::fromLatin1(QTest::currentDataTag());

  QWidget* control = Control(*form_, name);
  QVERIFY2(control, "missing or not unique");
  QCOMPARE(QString::fromLatin1(control->metaObject()->className()), kind);
  QVERIFY(control->parentWidget());
  QCOMPARE(control->parentWidget()->objectName(), container);
  QCOMPARE(TextOf(control), text);
  QCOMPARE(control->geometry(), geometry);

  // Captions beside fields are right-aligned in the parameter and result
  // columns.
  if (auto* label = qobject_cast<QLabel*>(control); label && !name.endsWith(QLatin1String("Value")) &&
                                                     (container == "Picture1" || container == "Picture3")) {
    QVERIFY(label->alignment() & Qt::AlignRight);
  }
}

void MainFormLayoutTest::window() {
  QCOMPARE(form_->windowTitle(), QStringLiteral("Quorix : Bouc-Wen Dissipated Energy"));
  QVERIFY(form_->centralWidget());
  QCOMPARE(form_->centralWidget()->objectName(), QStringLiteral("MainFormClient"));
  form_->show();
  QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
  // 7545 x 3900 twips of client area below the menu bar.
  QCOMPARE(form_->centralWidget()->size(), QSize(503, 260));
  QCOMPARE(form_->minimumSize(), form_->maximumSize());
  QCOMPARE(form_->size(), QSize(503, 260 + form_->menuBar()->height()));
  const Qt::WindowFlags flags = form_->windowFlags();
  QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
  QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
  QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
  // An icon of its own, drawn at 32 x 32.
  const QPixmap icon = form_->windowIcon().pixmap(32, 32);
  QCOMPARE(icon.size(), QSize(32, 32));
  const QImage image = icon.toImage();
  QSet<QRgb> colours;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
  }
  QVERIFY(colours.size() >= 4);  // a picture, not a blank square
}

void MainFormLayoutTest::menu() {
  const QList<QAction*> items = form_->menuBar()->actions();
  QCOMPARE(items.size(), 1);
  QCOMPARE(items.front()->objectName(), QStringLiteral("mnuAbout"));
  QCOMPARE(items.front()->text(), QStringLiteral("About"));
  QVERIFY(items.front()->menu() == nullptr);  // a command on the bar, no sub-items
}

void MainFormLayoutTest::startUpState() {
  ShowAndActivate();
  QCOMPARE(FocusName(), QStringLiteral("cmdSolve"));
  QVERIFY(Control<QRadioButton>(*form_, "optComplementary")->isChecked());
  QVERIFY(!Control<QRadioButton>(*form_, "optDirect")->isChecked());
  QCOMPARE(Control<QLabel>(*form_, "lblKcd")->text(), QStringLiteral("Kcd* :"));
  QCOMPARE(Control<QLabel>(*form_, "lblKda")->text(), QStringLiteral("Kda* :"));
  QCOMPARE(Control<QLineEdit>(*form_, "txtBetaSmall")->text(), QStringLiteral("0.1"));
  const auto labels = form_->findChildren<QLabel*>(QRegularExpression(QStringLiteral("^lbl.*Value$")));
  QCOMPARE(labels.size(), 9);
  for (const QLabel* label : labels) QVERIFY2(label->text().isEmpty(), qPrintable(label->objectName()));
  QVERIFY(form_->isEnabled());
  // Nothing touched the platform: no file, no viewer, no setting.
  QVERIFY(services_->calls.empty());
}

void MainFormLayoutTest::readOnlyBoxes() {
  ShowAndActivate();
  for (const char* name : {"txtBetaSmall", "txtAlphaCap"}) {
    auto* box = Control<QLineEdit>(*form_, name);
    QVERIFY(box->isReadOnly());
    QCOMPARE(box->focusPolicy(), Qt::ClickFocus);
    QCOMPARE(box->palette().color(QPalette::Base), box->palette().color(QPalette::Button));
    // Typing does nothing, but a click gives the focus and text can be
    // selected.
    QTest::mouseClick(box, Qt::LeftButton);
    QCOMPARE(FocusName(), QString::fromLatin1(name));
    const QString before = box->text();
    QTest::keyClicks(box, "77");
    QCOMPARE(box->text(), before);
    box->selectAll();
    QCOMPARE(box->selectedText(), before);
  }
}

void MainFormLayoutTest::frameCaptionsInHighlightColour() {
  const QPalette application = QApplication::palette();
  for (const auto& [frameName, innerName] :
       {std::pair{"frameBoucWen", "Picture1"}, {"frameAmplitude", "Picture2"}, {"frameLoop", "Picture4"},
        {"frameResults", "Picture3"}}) {
    auto* frame = Control<QGroupBox>(*form_, frameName);
    auto* inner = Control(*form_, innerName);
    QCOMPARE(frame->palette().color(QPalette::Active, QPalette::WindowText),
             application.color(QPalette::Active, QPalette::Highlight));
    // The captions stand out; the controls inside keep the ordinary colour.
    QCOMPARE(inner->palette().color(QPalette::Active, QPalette::WindowText),
             application.color(QPalette::Active, QPalette::WindowText));
    const auto labels = inner->findChildren<QLabel*>();
    QVERIFY(!labels.isEmpty());
    for (const QLabel* label : labels) {
      QCOMPARE(label->palette().color(QPalette::Active, QPalette::WindowText),
               application.color(QPalette::Active, QPalette::WindowText));
    }
  }
}

void MainFormLayoutTest::tabOrder_data() {
  QTest::addColumn<bool>("direct");
  QTest::addColumn<QStringList>("stops");
  const QStringList before = {"cmdSolve", "txtGammaSmall", "txtNee", "txtAlphaSmall", "txtFy", "txtUy",
                              "txtUmaxOverUy"};
  const QStringList after = {"txtFrom", "txtTo", "txtStep", "cmdLoop"};
  // Only the selected option button of the pair is a Tab stop.
  QTest::newRow("Complementary selected") << false << before + QStringList{"optComplementary"} + after;
  QTest::newRow("Direct selected") << true << before + QStringList{"optDirect"} + after;
}

void MainFormLayoutTest::tabOrder() {
  QFETCH(bool, direct);
  QFETCH(QStringList, stops);
  ShowAndActivate();
  if (direct) Control<QRadioButton>(*form_, "optDirect")->setChecked(true);
  Control(*form_, "cmdSolve")->setFocus(Qt::OtherFocusReason);
  QCOMPARE(FocusName(), QStringLiteral("cmdSolve"));

  QStringList forward;
  for (int i = 0; i < stops.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    forward << FocusName();
  }
  QCOMPARE(forward, stops.mid(1) + QStringList{"cmdSolve"});  // round to the start

  QStringList backward;
  for (int i = 0; i < stops.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    backward << FocusName();
  }
  QStringList reversed(stops.rbegin(), stops.rend());
  QCOMPARE(backward, reversed);
}

void MainFormLayoutTest::captionsFitTheirBoxes() {
  // The font is ours to choose; it must leave every caption whole.
  form_->show();
  QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
  for (QLabel* label : form_->findChildren<QLabel*>()) {
    const QFontMetrics metrics(label->font());
    QString text = label->text();
    // A result as wide as the solver gives in practice.
    if (label->objectName().endsWith(QLatin1String("Value"))) text = QStringLiteral("-12345678.123456789");
    QVERIFY2(metrics.horizontalAdvance(text) <= label->contentsRect().width() - label->indent(),
             qPrintable(label->objectName()));
    QVERIFY2(metrics.height() <= label->contentsRect().height(), qPrintable(label->objectName()));
  }
  for (QRadioButton* option : form_->findChildren<QRadioButton*>()) {
    // Wider than its container, which clips it like any control; the
    // caption must end inside the container.
    QStyleOptionButton style;
    style.initFrom(option);
    style.text = option->text();
    const QRect contents = option->style()->subElementRect(QStyle::SE_RadioButtonContents, &style, option);
    const int captionEnd = option->x() + contents.left() + QFontMetrics(option->font()).horizontalAdvance(option->text());
    QVERIFY2(captionEnd <= option->parentWidget()->width(), qPrintable(option->objectName()));
    QVERIFY(QFontMetrics(option->font()).height() <= option->height());
  }
  for (QGroupBox* frame : form_->findChildren<QGroupBox*>()) {
    QStyleOptionGroupBox option;
    option.initFrom(frame);
    option.text = frame->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    const QRect caption = frame->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
    QVERIFY2(caption.width() >= QFontMetrics(frame->font()).horizontalAdvance(frame->title()),
             qPrintable(frame->objectName()));
    QVERIFY2(caption.right() < frame->width(), qPrintable(frame->objectName()));
  }
  for (QPushButton* button : form_->findChildren<QPushButton*>()) {
    QVERIFY(QFontMetrics(button->font()).horizontalAdvance(button->text()) < button->width() - 8);
  }
}

QTEST_MAIN(MainFormLayoutTest)
#include "mainform_layout_test.moc"
