#include "about_form.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <cmath>

#include "about_version.h"
#include "program_look.h"

namespace quorix {

namespace {

QRect TwipRect(int left, int top, int width, int height) {
  return QRect(Px(left), Px(top), Px(width), Px(height));
}

// The box follows the desktop's font as the main window does: laid out in
// twips for the design font, every box (each relative to its parent) and
// the font grow by FontScale, rounded down; at the design font, scale 1,
// nothing moves.
void FollowDesktopFont(QDialog* box) {
  const double scale = FontScale();
  if (scale == 1.0) return;
  const auto grown = [scale](int pixels) { return static_cast<int>(std::floor(pixels * scale)); };
  for (QWidget* w : box->findChildren<QWidget*>()) {
    const QRect g = w->geometry();
    w->setGeometry(grown(g.x()), grown(g.y()), grown(g.width()), grown(g.height()));
  }
  box->setFont(ProgramFont(scale));
  box->setFixedSize(grown(box->width()), grown(box->height()));
}

// A caption-less etched box that groups one-line labels.
QGroupBox* MakeFrame(QWidget* parent, const char* name, QRect geometry) {
  auto* frame = new QGroupBox(parent);
  frame->setObjectName(QString::fromLatin1(name));
  frame->setGeometry(geometry);
  return frame;
}

// Every label is one line, 4755 x 255 twips, 120 twips in from its frame.
QLabel* MakeLabel(QGroupBox* frame, const char* name, int top, const QString& text, Qt::Alignment alignment) {
  auto* label = new QLabel(text, frame);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(TwipRect(120, top, 4755, 255));
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(alignment | Qt::AlignVCenter);
  return label;
}

// The program's icon, top left.
void AddImage(QWidget* parent) {
  auto* image = new QLabel(parent);
  image->setObjectName(QStringLiteral("Image"));
  image->setGeometry(TwipRect(120, 120, 480, 480));
  image->setPixmap(ProgramIconPixmap());
}

// The two title lines, left empty for Load to fill in.
void AddTitleFrame(QWidget* parent, std::array<QLabel*, 2>& titles) {
  auto* frameTitle = MakeFrame(parent, "FrameTitle", TwipRect(840, 60, 4995, 1035));
  for (int index = 0; index < 2; ++index) {
    // A control array of two: both named lblTitle, told apart by "index".
    titles[index] = MakeLabel(frameTitle, "lblTitle", index == 0 ? 240 : 600, QString(), Qt::AlignHCenter);
    titles[index]->setProperty("index", index);
  }
}

void AddCopyrightFrame(QWidget* parent) {
  auto* frameCopyright = MakeFrame(parent, "FrameCopyright", TwipRect(840, 1200, 4995, 1095));
  // Only what the project holds: no person, institution or address of its
  // own is named (it has none to give).
  MakeLabel(frameCopyright, "lblCopyright", 240, QStringLiteral("Copyright 2026 The Quorix developers"),
            Qt::AlignHCenter);
  MakeLabel(frameCopyright, "lblDepartment", 480, QStringLiteral("Bouc-Wen dissipated energy in closed form"),
            Qt::AlignHCenter);
  MakeLabel(frameCopyright, "lblInstitute", 720, QStringLiteral("for structural engineers"), Qt::AlignHCenter);
}

void AddContactFrame(QWidget* parent) {
  auto* frameContact = MakeFrame(parent, "FrameContact", TwipRect(840, 2400, 4995, 1275));
  MakeLabel(frameContact, "lblContact", 240, QStringLiteral("For comments, suggestions and questions:"),
            Qt::AlignLeft);
  MakeLabel(frameContact, "Label1", 660, QStringLiteral("the issues of the project you got Quorix from,"),
            Qt::AlignLeft);
  MakeLabel(frameContact, "Label2", 900, QStringLiteral("which also holds its source."), Qt::AlignLeft);
}

// The license: two paragraphs, the second set off by a wider gap.
void AddLicenseFrame(QWidget* parent) {
  auto* frame1 = MakeFrame(parent, "Frame1", TwipRect(840, 3780, 4995, 1635));
  MakeLabel(frame1, "Label5", 240, QStringLiteral("Quorix is free software under the GNU General Public"),
            Qt::AlignLeft);
  MakeLabel(frame1, "Label4", 480, QStringLiteral("License, version 3 or later (GPL-3.0-or-later): you may"),
            Qt::AlignLeft);
  MakeLabel(frame1, "Label3", 720, QStringLiteral("share and modify it under the terms of that license."),
            Qt::AlignLeft);
  MakeLabel(frame1, "Label6", 1080, QStringLiteral("It comes without any warranty, as far as the law permits;"),
            Qt::AlignLeft);
  MakeLabel(frame1, "Label7", 1320, QStringLiteral("see the license text (the file LICENSE) for the details."),
            Qt::AlignLeft);
}

}  // namespace

AboutInfo ProgramAboutInfo() {
  return AboutInfo{QStringLiteral(QUORIX_TITLE), QUORIX_VERSION_MAJOR, QUORIX_VERSION_MINOR, QUORIX_VERSION_REVISION,
                   QStringLiteral(QUORIX_COMMENTS)};
}

QString AboutForm::TitleLine(const AboutInfo& info) {
  return QStringLiteral("%1 %2.%3.%4").arg(info.title).arg(info.major).arg(info.minor).arg(info.revision);
}

AboutForm::AboutForm(const AboutInfo& info, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAbout"));
  // Fixed dialog frame: a close box, no minimise or maximise.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setWindowTitle(QStringLiteral("About Quorix"));
  setWindowIcon(ProgramIcon());
  setFont(ProgramFont());
  setModal(true);
  setFixedSize(Px(5955), Px(5985));

  AddImage(this);
  AddTitleFrame(this, lblTitle_);
  AddCopyrightFrame(this);
  AddContactFrame(this);
  AddLicenseFrame(this);

  // The only control that takes the focus: default (Enter) and, through
  // QDialog, cancel (Escape) button alike.
  cmdOk_ = new QPushButton(QStringLiteral("OK"), this);
  cmdOk_->setObjectName(QStringLiteral("cmdOk"));
  cmdOk_->setGeometry(TwipRect(4500, 5520, 1335, 375));
  cmdOk_->setDefault(true);
  cmdOk_->setFocus(Qt::OtherFocusReason);
  connect(cmdOk_, &QPushButton::clicked, this, &QDialog::accept);
  FollowDesktopFont(this);

  Load(info);
}

void AboutForm::Load(const AboutInfo& info) {
  setWindowTitle(QStringLiteral("About ") + info.title);
  lblTitle_[0]->setText(TitleLine(info));
  lblTitle_[1]->setText(info.comments);
}

}  // namespace quorix
