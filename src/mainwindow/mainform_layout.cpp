// The window's controls and where they sit: the frames, the rows of fields
// and results with their captions, the flags beside the results, the status
// line, and the Tab order. Positions are in twips, as the window was laid
// out, converted to pixels by Px at the window's font scale: the whole
// form grows with the desktop's font, as the font it is drawn in does.
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <string>

#include "mainform.h"
#include "program_look.h"
#include "window_texts.h"

namespace quorix {

namespace {

// The colour of a flag beside a result; greyed like the result when stale.
const QColor kFlagColour(176, 0, 0);

QRect TwipRect(double scale, int left, int top, int width, int height) {
  return QRect(Px(left, scale), Px(top, scale), Px(width, scale), Px(height, scale));
}

template <class Widget>
Widget* Make(QWidget* parent, const char* name, QRect geometry) {
  auto* widget = new Widget(parent);
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(geometry);
  return widget;
}

QGroupBox* MakeFrame(QWidget* parent, const char* name, const char* caption, QRect geometry) {
  auto* frame = Make<QGroupBox>(parent, name, geometry);
  frame->setTitle(QString::fromLatin1(caption));
  return frame;
}

// A borderless container inside a frame. The frame's caption is drawn in
// the highlight colour, which its children would inherit through the
// palette; the container gives them the ordinary text colour back.
QWidget* MakeInner(QGroupBox* frame, const char* name, QRect geometry) {
  auto* inner = Make<QWidget>(frame, name, geometry);
  const QPalette ordinary = frame->palette();
  QPalette captionPalette = ordinary;
  QPalette innerPalette = ordinary;
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    if (group != QPalette::Disabled) {
      captionPalette.setColor(group, QPalette::WindowText, ordinary.color(group, QPalette::Highlight));
    }
    // Set explicitly, or the container would inherit the caption colour.
    innerPalette.setColor(group, QPalette::WindowText, ordinary.color(group, QPalette::WindowText));
  }
  frame->setPalette(captionPalette);
  inner->setPalette(innerPalette);
  return inner;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, QRect geometry, Qt::Alignment alignment) {
  auto* label = Make<QLabel>(parent, name, geometry);
  label->setText(QString::fromLatin1(caption));
  label->setAlignment(alignment | Qt::AlignTop);
  label->setTextFormat(Qt::PlainText);
  return label;
}

QLineEdit* MakeTextBox(QWidget* parent, const char* name, const char* text, QRect geometry) {
  auto* box = Make<QLineEdit>(parent, name, geometry);
  box->setText(QString::fromLatin1(text));
  box->setCursorPosition(0);
  return box;
}

// Locked against editing, skipped by Tab, drawn on the button face; it can
// still be clicked into and its text selected.
void MakeReadOnly(QLineEdit* box) {
  box->setReadOnly(true);
  box->setFocusPolicy(Qt::ClickFocus);
  QPalette palette = box->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Base, palette.color(group, QPalette::Button));
  }
  box->setPalette(palette);
}

}  // namespace

// The frames first, then what they hold, frame by frame: the order the
// controls are made in is the focus chain Qt starts from, which SetTabOrder
// then rearranges.
void MainForm::BuildControls() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("MainFormClient"));
  client->setFixedSize(Px(7545, scale_), Px(3900, scale_));
  setCentralWidget(client);

  auto* frameBoucWen = MakeFrame(client, "frameBoucWen", "Bouc-Wen parameters", TwipRect(scale_, 60, 60, 1875, 3735));
  auto* frameAmplitude = MakeFrame(client, "frameAmplitude", "Displacement amplitude", TwipRect(scale_, 2040, 60, 1815, 1695));
  auto* frameLoop = MakeFrame(client, "frameLoop", "Loop for Umax/Uy", TwipRect(scale_, 2040, 1860, 1815, 1935));
  frameResults_ = MakeFrame(client, "frameResults", "Results", TwipRect(scale_, 3900, 60, 3555, 3735));
  BuildParameterRows(frameBoucWen);
  BuildAmplitudeControls(frameAmplitude);
  BuildLoopControls(frameLoop);
  // A button with the focus is pressed by Enter as well as by Space, as on
  // Windows. No button is the window's default or cancel button: Enter and
  // Escape elsewhere in the window do nothing.
  for (QPushButton* button : {cmdSolve_, cmdLoop_}) {
    button->setAutoDefault(true);
    button->setDefault(false);
  }
  BuildResultRows(frameResults_);
  BuildStatusLine();
  DescribeFields();
  SetTabOrder();
  // Select-all on focus (eventFilter).
  for (QLineEdit* box : {txtNee_, txtGammaSmall_, txtAlphaSmall_, txtFy_, txtUy_, txtUmaxOverUy_, txtFrom_, txtTo_,
                         txtStep_}) {
    box->installEventFilter(this);
  }
}

// One row per field, 360 twips apart; the label is right-aligned and sits
// 60 twips lower than its box.
void MainForm::BuildParameterRows(QGroupBox* frame) {
  auto* picture1 = MakeInner(frame, "Picture1", TwipRect(scale_, 120, 240, 1695, 2655));
  struct Row {
    QLineEdit** box;
    const char* boxName;
    const char* text;
    const char* labelName;
    const char* caption;
  };
  const Row rows[] = {
      {&txtAlphaCap_, "txtAlphaCap", "1.0", "lblAlphaCap", "A :"},
      {&txtBetaSmall_, "txtBetaSmall", "0.1", "lblBetaSmall", "beta :"},
      {&txtGammaSmall_, "txtGammaSmall", "0.9", "lblGammaSmall", "gamma :"},
      {&txtNee_, "txtNee", "2.0", "lblNee", "n :"},
      {&txtAlphaSmall_, "txtAlphaSmall", "0.10", "lblAlphaSmall", "a :"},
      {&txtFy_, "txtFy", "2.86", "lblFy", "Fy :"},
      {&txtUy_, "txtUy", "0.111", "lblUy", "Uy :"},
  };
  int top = 60;
  for (const Row& row : rows) {
    *row.box = MakeTextBox(picture1, row.boxName, row.text, TwipRect(scale_, 900, top, 675, 315));
    // The caption is the field's buddy: assistive tools read it as the
    // field's label.
    MakeLabel(picture1, row.labelName, row.caption, TwipRect(scale_, 0, top + 60, 735, 195), Qt::AlignRight)
        ->setBuddy(*row.box);
    top += 360;
  }
  MakeReadOnly(txtAlphaCap_);
  MakeReadOnly(txtBetaSmall_);
  // The law and its labelling where the user meets β and γ: OpenSees
  // names the two terms the other way round.
  const QString law = QStringLiteral(
      "dz/dt = (A·du/dt − γ·|du/dt|·|z|ⁿ⁻¹·z − β·du/dt·|z|ⁿ)/Uy,  F = α·(Fy/Uy)·u + (1 − α)·Fy·z\n"
      "Wen's labelling, A = 1 and β + γ = 1. OpenSees's BoucWen and BoucWenOriginal call these two terms the "
      "other way round: their beta is this γ, their gamma this β.");
  txtGammaSmall_->setToolTip(QStringLiteral("γ, on the |du/dt| term (OpenSees's beta).\n") + law);
  txtBetaSmall_->setToolTip(QStringLiteral("β = 1 − γ, on the du/dt term (OpenSees's gamma).\n") + law);
}

void MainForm::BuildAmplitudeControls(QGroupBox* frame) {
  auto* picture2 = MakeInner(frame, "Picture2", TwipRect(scale_, 60, 285, 1575, 1335));
  QLabel* caption = MakeLabel(picture2, "lblUmaxOverUy", "Umax / Uy :", TwipRect(scale_, 0, 60, 975, 255), Qt::AlignLeft);
  txtUmaxOverUy_ = MakeTextBox(picture2, "txtUmaxOverUy", "1", TwipRect(scale_, 1020, 0, 495, 315));
  caption->setBuddy(txtUmaxOverUy_);
  optDirect_ = Make<QRadioButton>(picture2, "optDirect", TwipRect(scale_, 120, 360, 1755, 195));
  optDirect_->setText(QStringLiteral("Direct"));
  optComplementary_ = Make<QRadioButton>(picture2, "optComplementary", TwipRect(scale_, 120, 600, 1815, 195));
  optComplementary_->setText(QStringLiteral("Complementary"));
  optDirect_->setToolTip(QStringLiteral("The Direct loop integrals: beyond saturation (Za = 1) they stop growing"));
  optComplementary_->setToolTip(QStringLiteral(
      "The Complementary loop integrals: beyond saturation DE/(Fh·Uy) grows by 4 per unit of Umax/Uy"));
  cmdSolve_ = Make<QPushButton>(picture2, "cmdSolve", TwipRect(scale_, 120, 900, 1395, 435));
  cmdSolve_->setText(QStringLiteral("&Solve"));
}

void MainForm::BuildLoopControls(QGroupBox* frame) {
  auto* picture4 = MakeInner(frame, "Picture4", TwipRect(scale_, 120, 240, 1635, 1575));
  txtFrom_ = MakeTextBox(picture4, "txtFrom", "0.1", TwipRect(scale_, 540, 60, 975, 315));
  MakeLabel(picture4, "Label1", "From :", TwipRect(scale_, 60, 120, 435, 195), Qt::AlignLeft)->setBuddy(txtFrom_);
  txtTo_ = MakeTextBox(picture4, "txtTo", "10.0", TwipRect(scale_, 540, 420, 975, 315));
  MakeLabel(picture4, "Label2", "To :", TwipRect(scale_, 240, 480, 285, 195), Qt::AlignLeft)->setBuddy(txtTo_);
  txtStep_ = MakeTextBox(picture4, "txtStep", "0.1", TwipRect(scale_, 540, 780, 975, 315));
  MakeLabel(picture4, "Label3", "Step :", TwipRect(scale_, 30, 840, 420, 195), Qt::AlignLeft)->setBuddy(txtStep_);
  cmdLoop_ = Make<QPushButton>(picture4, "cmdLoop", TwipRect(scale_, 60, 1140, 1455, 435));
  cmdLoop_->setText(QStringLiteral("&Loop"));
}

// Caption and value per row, 360 twips apart.
void MainForm::BuildResultRows(QGroupBox* frame) {
  auto* picture3 = MakeInner(frame, "Picture3", TwipRect(scale_, 120, 300, 3315, 3195));
  const auto captions = ResultCaptions(false);
  int top = 0;
  for (int i = 0; i < kResultCount; ++i) {
    const std::string name(kResultNames[i]);
    auto* caption = MakeLabel(picture3, ("lbl" + name).c_str(), captions[i].c_str(),
                              TwipRect(scale_, 0, top + 60, 975, 195), Qt::AlignRight);
    auto* value = MakeLabel(picture3, ("lbl" + name + "Value").c_str(), "", TwipRect(scale_, 1140, top, 2115, 315),
                            Qt::AlignLeft);
    value->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    value->setFrameStyle(QFrame::Box | QFrame::Plain);
    value->setLineWidth(1);
    value->setIndent(3);
    // Selectable with the mouse (and copied from its context menu); not a
    // Tab stop, which would break the chain from the inputs to Solve.
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    resultLabels_[i] = value;
    // The flag sits inside the value's box, at its right end, where the
    // nine decimals never reach; hidden until the check flags the result.
    auto* flag = MakeLabel(picture3, ("lbl" + name + "Flag").c_str(), "", TwipRect(scale_, 2160, top + 30, 1035, 255),
                           Qt::AlignRight);
    flag->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette palette = flag->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) palette.setColor(group, QPalette::WindowText, kFlagColour);
    flag->setPalette(palette);
    flag->hide();
    flagLabels_[i] = flag;
    if (name == "Kcd") lblKcd_ = caption;
    if (name == "Kda") lblKda_ = caption;
    top += 360;
  }
}

// Below the frames: the units line, then the status line, three lines high
// so that the window keeps its size whatever it says; the full text is
// also its tooltip.
void MainForm::BuildStatusLine() {
  lblUnits_ = new QLabel(QString::fromUtf8(window::kUnitsLine));
  lblUnits_->setObjectName(QStringLiteral("lblUnits"));
  lblUnits_->setTextFormat(Qt::PlainText);
  lblStatus_ = new QLabel;
  lblStatus_->setObjectName(QStringLiteral("lblStatus"));
  lblStatus_->setTextFormat(Qt::PlainText);
  lblStatus_->setWordWrap(true);
  lblStatus_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // Wrapped, never wider than the window: a long word (a path) is cut at
  // the window's edge, whole in the tooltip.
  lblStatus_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  lblStatus_->setFixedHeight(3 * lblStatus_->fontMetrics().lineSpacing() + 4);
  auto* lines = new QWidget;
  auto* column = new QVBoxLayout(lines);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(lblUnits_);
  column->addWidget(lblStatus_);
  lines->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  statusBar()->setSizeGripEnabled(false);
  statusBar()->addWidget(lines, 1);
}

void MainForm::DescribeFields() {
  QLineEdit* const inputs[] = {txtGammaSmall_, txtNee_, txtAlphaSmall_, txtFy_,
                               txtUy_,         txtUmaxOverUy_, txtBetaSmall_, txtAlphaCap_};
  QLineEdit* const range[] = {txtFrom_, txtTo_, txtStep_};
  const auto describe = [](QLineEdit* box, const window::Meaning& m) {
    const QString line = QString::fromUtf8(m.what) + QStringLiteral(" (") + QString::fromUtf8(m.unit) + u')';
    box->setAccessibleName(QString::fromUtf8(m.name));
    // γ and β have their law in the tooltip already: the unit goes last.
    box->setToolTip(box->toolTip().isEmpty() ? line
                                             : box->toolTip() + QStringLiteral("\n(") + QString::fromUtf8(m.unit) + u')');
  };
  for (std::size_t i = 0; i < std::size(inputs); ++i) describe(inputs[i], window::kInputMeanings[i]);
  for (std::size_t i = 0; i < std::size(range); ++i) describe(range[i], window::kRangeMeanings[i]);
  lblUnits_->setToolTip(QStringLiteral("Quorix takes no unit: give Fy and Uy in any, and every result follows"));
}

// The read-only boxes and the labels take no Tab stop.
void MainForm::SetTabOrder() {
  // The inputs, then the command they feed: the case's fields and mode,
  // Solve, the Loop's range, Loop.
  QWidget* const tabOrder[] = {txtGammaSmall_, txtNee_,  txtAlphaSmall_, txtFy_, txtUy_,  txtUmaxOverUy_, optDirect_,
                               optComplementary_, cmdSolve_, txtFrom_, txtTo_, txtStep_, cmdLoop_};
  for (std::size_t i = 1; i < std::size(tabOrder); ++i) QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

}  // namespace quorix
