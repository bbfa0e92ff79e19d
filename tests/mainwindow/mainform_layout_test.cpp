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
QRect Twips(int left, int top, int width, int height) { return QRect(left / 15, top / 15, width / 15, height / 15); }

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

  void controls_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("geometry");
    auto row = [](const QString& name, const char* kind, const char* container, const QString& text, QRect place) {
      QTest::newRow(qPrintable(name)) << kind << container << text << place;
    };
    const char *frame = "QGroupBox", *inner = "QWidget", *box = "QLineEdit", *label = "QLabel";
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
    const char* const parameters[][3] = {{"AlphaCap", "1.0", "A :"},   {"BetaSmall", "0.1", "beta :"},
                                         {"GammaSmall", "0.9", "gamma :"}, {"Nee", "2.0", "n :"},
                                         {"AlphaSmall", "0.10", "a :"}, {"Fy", "2.86", "Fy :"},
                                         {"Uy", "0.111", "Uy :"}};
    for (int r = 0; r < 7; ++r) {
      const QString name = QString::fromLatin1(parameters[r][0]);
      row("txt" + name, box, "Picture1", parameters[r][1], Twips(900, 60 + 360 * r, 675, 315));
      row("lbl" + name, label, "Picture1", parameters[r][2], Twips(0, 120 + 360 * r, 735, 195));
    }

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

    // Results: empty value label at top 360 r, caption 60 twips lower; the
    // window opens in Complementary mode, hence the starred loop integrals.
    const char* const results[][2] = {{"Za", "Za :"},     {"Fha", "Fha :"},   {"Fela", "Fela :"},
                                      {"Fa", "Fa :"},     {"Kcd", "Kcd* :"},  {"Kda", "Kda* :"},
                                      {"DEOverFyUy", "DE/(Fy Uy) :"}, {"DEOverFhUy", "DE/(Fh Uy) :"}, {"DE", "DE :"}};
    for (int r = 0; r < 9; ++r) {
      const QString name = "lbl" + QString::fromLatin1(results[r][0]);
      row(name, label, "Picture3", results[r][1], Twips(0, 60 + 360 * r, 975, 195));
      row(name + "Value", label, "Picture3", "", Twips(1140, 360 * r, 2115, 315));
    }
  }
  void controls() {
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
    // Captions beside fields are right-aligned in the parameter and result columns.
    if (auto* label = qobject_cast<QLabel*>(control); label && !name.endsWith(QLatin1String("Value")) &&
                                                       (container == "Picture1" || container == "Picture3")) {
      QVERIFY(label->alignment() & Qt::AlignRight);
    }
  }
  void window() {
    QCOMPARE(form_->windowTitle(), QStringLiteral("Quorix : Bouc-Wen Dissipated Energy"));
    QCOMPARE(form_->centralWidget()->objectName(), QStringLiteral("MainFormClient"));
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    // 7545 x 3900 twips of client area below the menu bar, not resizable.
    QCOMPARE(form_->centralWidget()->size(), QSize(503, 260));
    QCOMPARE(form_->minimumSize(), form_->maximumSize());
    QCOMPARE(form_->size(), QSize(503, 260 + form_->menuBar()->height()));
    const Qt::WindowFlags flags = form_->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint) && flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    // An icon of its own, drawn at 32 x 32: a picture, not a blank square.
    const QImage icon = form_->windowIcon().pixmap(32, 32).toImage();
    QCOMPARE(icon.size(), QSize(32, 32));
    QSet<QRgb> colours;
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) colours.insert(icon.pixel(x, y));
    }
    QVERIFY(colours.size() >= 4);
    // "About" is a command on the bar itself, with no sub-items, and the last
    // one there (the Plots window's item comes before it).
    const QList<QAction*> items = form_->menuBar()->actions();
    QVERIFY(!items.isEmpty());
    QCOMPARE(items.back()->objectName(), QStringLiteral("mnuAbout"));
    QCOMPARE(items.back()->text(), QStringLiteral("About"));
    QVERIFY(items.back()->menu() == nullptr);
  }
  void startUpState() {
    ShowAndActivate();
    QCOMPARE(FocusName(), QStringLiteral("cmdSolve"));
    QVERIFY(Control<QRadioButton>(*form_, "optComplementary")->isChecked());
    QVERIFY(!Control<QRadioButton>(*form_, "optDirect")->isChecked());
    QVERIFY(form_->isEnabled());
    QVERIFY(services_->calls.empty());  // no file, no viewer, no setting
  }
  void readOnlyBoxes() {
    ShowAndActivate();
    for (const char* name : {"txtBetaSmall", "txtAlphaCap"}) {
      auto* box = Control<QLineEdit>(*form_, name);
      QVERIFY(box->isReadOnly());
      QCOMPARE(box->focusPolicy(), Qt::ClickFocus);
      QCOMPARE(box->palette().color(QPalette::Base), box->palette().color(QPalette::Button));
      // Out of the tab chain, but a click still gives the focus.
      QTest::mouseClick(box, Qt::LeftButton);
      QCOMPARE(FocusName(), QString::fromLatin1(name));
    }
  }
  void frameCaptionsInHighlightColour() {
    const QPalette application = QApplication::palette();
    const QColor highlight = application.color(QPalette::Active, QPalette::Highlight);
    const QColor ordinary = application.color(QPalette::Active, QPalette::WindowText);
    for (const auto& [frameName, innerName] : {std::pair{"frameBoucWen", "Picture1"}, {"frameAmplitude", "Picture2"},
                                               {"frameLoop", "Picture4"}, {"frameResults", "Picture3"}}) {
      QCOMPARE(Control(*form_, frameName)->palette().color(QPalette::Active, QPalette::WindowText), highlight);
      // The captions stand out; the controls inside keep the ordinary colour.
      QWidget* inner = Control(*form_, innerName);
      QCOMPARE(inner->palette().color(QPalette::Active, QPalette::WindowText), ordinary);
      const auto labels = inner->findChildren<QLabel*>();
      QVERIFY(!labels.isEmpty());
      for (const QLabel* label : labels) {
        QCOMPARE(label->palette().color(QPalette::Active, QPalette::WindowText), ordinary);
      }
    }
  }
  void tabOrder_data() {
    QTest::addColumn<bool>("direct");
    QTest::addColumn<QStringList>("stops");
    const QStringList before = {"cmdSolve", "txtGammaSmall", "txtNee", "txtAlphaSmall", "txtFy", "txtUy",
                                "txtUmaxOverUy"};
    const QStringList after = {"txtFrom", "txtTo", "txtStep", "cmdLoop"};
    // Only the selected option button of the pair is a Tab stop.
    QTest::newRow("Complementary selected") << false << before + QStringList{"optComplementary"} + after;
    QTest::newRow("Direct selected") << true << before + QStringList{"optDirect"} + after;
  }
  void tabOrder() {
    QFETCH(bool, direct);
    QFETCH(QStringList, stops);
    ShowAndActivate();
    if (direct) Control<QRadioButton>(*form_, "optDirect")->setChecked(true);
    Control(*form_, "cmdSolve")->setFocus(Qt::OtherFocusReason);
    QStringList forward, backward;
    for (int i = 0; i < stops.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      forward << FocusName();
    }
    QCOMPARE(forward, stops.mid(1) + QStringList{"cmdSolve"});  // round to the start
    for (int i = 0; i < stops.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
      backward << FocusName();
    }
    QCOMPARE(backward, QStringList(stops.rbegin(), stops.rend()));
  }
  void captionsFitTheirBoxes() {
    // The font is ours to choose; it must leave every caption whole.
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    for (QLabel* label : form_->findChildren<QLabel*>()) {
      const QFontMetrics metrics(label->font());
      // A result as wide as the solver gives in practice.
      const QString text = label->objectName().endsWith(QLatin1String("Value")) ? QStringLiteral("-12345678.123456789")
                                                                                  : label->text();
      QVERIFY2(metrics.horizontalAdvance(text) <= label->contentsRect().width() - label->indent(),
               qPrintable(label->objectName()));
      QVERIFY2(metrics.height() <= label->contentsRect().height(), qPrintable(label->objectName()));
    }
    // Option buttons are wider than their container, which clips them like
    // any control: the caption must end inside it. Frames show theirs whole.
    for (QRadioButton* option : form_->findChildren<QRadioButton*>()) {
      QStyleOptionButton style;
      style.initFrom(option);
      const QRect contents = option->style()->subElementRect(QStyle::SE_RadioButtonContents, &style, option);
      const QFontMetrics metrics(option->font());
      const int captionEnd = option->x() + contents.left() + metrics.horizontalAdvance(option->text());
      QVERIFY2(captionEnd <= option->parentWidget()->width(), qPrintable(option->objectName()));
      QVERIFY(metrics.height() <= option->height());
    }
    for (QGroupBox* frame : form_->findChildren<QGroupBox*>()) {
      QStyleOptionGroupBox option;
      option.initFrom(frame);
      option.text = frame->title();
      option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
      const QRect caption =
          frame->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
      QVERIFY2(caption.width() >= QFontMetrics(frame->font()).horizontalAdvance(frame->title()) &&
                   caption.right() < frame->width(),
               qPrintable(frame->objectName()));
    }
    for (QPushButton* button : form_->findChildren<QPushButton*>()) {
      QVERIFY(QFontMetrics(button->font()).horizontalAdvance(button->text()) < button->width() - 8);
    }
  }

 private:
  void ShowAndActivate() {
    form_->show();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
  }

  std::unique_ptr<FakeServices> services_;
  std::unique_ptr<MainForm> form_;
};

QTEST_MAIN(MainFormLayoutTest)
#include "mainform_layout_test.moc"
