// frmAbout: the About box. Shows the program's title and version, a
// one-line description, the institution behind the program, two contacts,
// a disclaimer and the program icon. Holds no data and changes nothing.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>

class QLabel;
class QPushButton;

namespace quorix {

// What the About box shows from the program's version record.
struct AboutInfo {
  QString title;
  std::uint16_t major = 0;
  std::uint16_t minor = 0;
  std::uint16_t revision = 0;
  QString comments;  // one line: what the program computes
};

// The shipped program's title, version numbers and description.
AboutInfo ProgramAboutInfo();

class AboutForm : public QDialog {
  Q_OBJECT

 public:
  // Builds the box with its stored texts, then fills in the caption and the
  // two title lines from `info`. Open it with exec(): modal, centred on the
  // screen when it has no parent.
  explicit AboutForm(const AboutInfo& info, QWidget* parent = nullptr);

  // "Quorix 1.0.0": the title, a blank, then major.minor.revision in plain
  // decimal.
  static QString TitleLine(const AboutInfo& info);

 private:
  void Load(const AboutInfo& info);

  std::array<QLabel*, 2> lblTitle_{};
  QPushButton* cmdOk_ = nullptr;
};

}  // namespace quorix
