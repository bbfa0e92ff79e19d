// The About box: its texts, the title line built from the version numbers,
// its layout, and that it opens modal and centred and closes on Ok, Enter
// and Escape.
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include "about_form.h"

using quorix::AboutForm;
using quorix::AboutInfo;

namespace {

QRect Twips(int left, int top, int width, int height) {
  return QRect(left / 15, top / 15, width / 15, height / 15);
}

QLabel* TitleLabel(const QWidget& box, int index) {
  for (QLabel* label : box.findChildren<QLabel*>(QStringLiteral("lblTitle"))) {
    if (label->property("index").toInt() == index) return label;
  }
  return nullptr;
}

QString Text(const QWidget& box, const char* name) {
  const auto found = box.findChildren<QLabel*>(QString::fromLatin1(name));
  return found.size() == 1 ? found.front()->text() : QStringLiteral("<missing or not unique>");
}

}  // namespace

class AboutFormTest : public QObject {
  Q_OBJECT

 private slots:
  void shippedTexts();
  void titleLine_data();
  void titleLine();
  void layout_data();
  void layout();
  void window();
  void captionsFit();
  void opensModalCentredAndCloses_data();
  void opensModalCentredAndCloses();
};

void AboutFormTest::shippedTexts() {
  const AboutInfo info = quorix::ProgramAboutInfo();
  QCOMPARE(info.title, QStringLiteral("Quorix"));
  QCOMPARE(int(info.major), 1);
  QCOMPARE(int(info.minor), 0);
  QCOMPARE(int(info.revision), 0);

  AboutForm box(info);
  QCOMPARE(box.objectName(), QStringLiteral("frmAbout"));
  QCOMPARE(box.windowTitle(), QStringLiteral("About Quorix"));
  QVERIFY(TitleLabel(box, 0) && TitleLabel(box, 1));
  QCOMPARE(TitleLabel(box, 0)->text(), QStringLiteral("Quorix 1.0.0"));
  // The description: the version record's one-line comment, unchanged.
  QCOMPARE(TitleLabel(box, 1)->text(), info.comments);
  QVERIFY(!info.comments.isEmpty());
  QVERIFY(!info.comments.contains(QLatin1Char('\n')));

  QCOMPARE(Text(box, "lblContact"),
           QStringLiteral("For comments, suggestions, further information etc. please contact:"));
  // Two contacts: a name, then the e-mail address in parentheses.
  const QRegularExpression contact(QStringLiteral("^\\S.* \\([a-z.]+@example\\.org\\)$"));
  for (const char* name : {"Label1", "Label2"}) {
    QVERIFY2(contact.match(Text(box, name)).hasMatch(), qPrintable(Text(box, name)));
  }
  // The institution and the two-paragraph disclaimer, one line each.
  for (const char* name :
       {"lblCopyright", "lblDepartment", "lblInstitute", "Label5", "Label4", "Label3", "Label6", "Label7"}) {
    const QString text = Text(box, name);
    QVERIFY2(!text.isEmpty() && !text.startsWith(QLatin1Char('<')) && !text.contains(QLatin1Char('\n')), name);
  }
  QVERIFY(Text(box, "Label5").contains(QLatin1String("warranty")));
  QVERIFY(Text(box, "Label6").contains(QLatin1String("free")));
}

void AboutFormTest::titleLine_data() {
  QTest::addColumn<int>("major");
  QTest::addColumn<int>("minor");
  QTest::addColumn<int>("revision");
  QTest::addColumn<QString>("line");
  QTest::newRow("shipped") << 1 << 0 << 0 << "Quorix 1.0.0";
  QTest::newRow("no leading zeros") << 1 << 0 << 12 << "Quorix 1.0.12";
  QTest::newRow("largest 16-bit numbers") << 65535 << 65535 << 65535 << "Quorix 65535.65535.65535";
}

void AboutFormTest::titleLine() {
  QFETCH(int, major);
  QFETCH(int, minor);
  QFETCH(int, revision);
  QFETCH(QString, line);
  const AboutInfo info{QStringLiteral("Quorix"), std::uint16_t(major), std::uint16_t(minor), std::uint16_t(revision),
                       QStringLiteral("A description")};
  AboutForm box(info);
  QCOMPARE(TitleLabel(box, 0)->text(), line);
  QCOMPARE(TitleLabel(box, 1)->text(), QStringLiteral("A description"));
}

void AboutFormTest::layout_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("container");
  QTest::addColumn<QRect>("geometry");
  QTest::addColumn<int>("alignment");
  const int centred = Qt::AlignHCenter;
  const int left = Qt::AlignLeft;
  auto row = [](const char* tag, const char* name, const char* container, QRect geometry, int alignment) {
    QTest::newRow(tag) << name << container << geometry << alignment;
  };
  row("Image", "Image", "frmAbout", Twips(120, 120, 480, 480), 0);
  row("FrameTitle", "FrameTitle", "frmAbout", Twips(840, 60, 4995, 1035), 0);
  row("lblTitle(0)", "lblTitle", "FrameTitle", Twips(120, 240, 4755, 255), centred);
  row("lblTitle(1)", "lblTitle", "FrameTitle", Twips(120, 600, 4755, 255), centred);
  row("FrameCopyright", "FrameCopyright", "frmAbout", Twips(840, 1200, 4995, 1095), 0);
  row("lblCopyright", "lblCopyright", "FrameCopyright", Twips(120, 240, 4755, 255), centred);
  row("lblDepartment", "lblDepartment", "FrameCopyright", Twips(120, 480, 4755, 255), centred);
  row("lblInstitute", "lblInstitute", "FrameCopyright", Twips(120, 720, 4755, 255), centred);
  row("FrameContact", "FrameContact", "frmAbout", Twips(840, 2400, 4995, 1275), 0);
  row("lblContact", "lblContact", "FrameContact", Twips(120, 240, 4755, 255), left);
  row("Label1", "Label1", "FrameContact", Twips(120, 660, 4755, 255), left);
  row("Label2", "Label2", "FrameContact", Twips(120, 900, 4755, 255), left);
  row("Frame1", "Frame1", "frmAbout", Twips(840, 3780, 4995, 1635), 0);
  row("Label5", "Label5", "Frame1", Twips(120, 240, 4755, 255), left);
  row("Label4", "Label4", "Frame1", Twips(120, 480, 4755, 255), left);
  row("Label3", "Label3", "Frame1", Twips(120, 720, 4755, 255), left);
  row("Label6", "Label6", "Frame1", Twips(120, 1080, 4755, 255), left);
  row("Label7", "Label7", "Frame1", Twips(120, 1320, 4755, 255), left);
  row("cmdOk", "cmdOk", "frmAbout", Twips(4500, 5520, 1335, 375), 0);
}

void AboutFormTest::layout() {
  QFETCH(QString, name);
  QFETCH(QString, container);
  QFETCH(QRect, geometry);
  QFETCH(int, alignment);
  AboutForm box(quorix::ProgramAboutInfo());
  QWidget* control = nullptr;
  if (name == "lblTitle") {
    control = TitleLabel(box, QString::fromLatin1(QTest::currentDataTag()).contains(QLatin1String("(1)")) ? 1 : 0);
  } else {
    const auto found = box.findChildren<QWidget*>(name);
    if (found.size() == 1) control = found.front();
  }
  QVERIFY(control);
  QCOMPARE(control->parentWidget()->objectName(), container);
  QCOMPARE(control->geometry(), geometry);
  if (auto* label = qobject_cast<QLabel*>(control); label && alignment != 0) {
    QCOMPARE(int(label->alignment() & Qt::AlignHorizontal_Mask), alignment);
  }
  if (auto* frame = qobject_cast<QGroupBox*>(control)) QVERIFY(frame->title().isEmpty());
}

void AboutFormTest::window() {
  AboutForm box(quorix::ProgramAboutInfo());
  QCOMPARE(box.minimumSize(), QSize(397, 399));  // 5955 x 5985 twips
  QCOMPARE(box.maximumSize(), QSize(397, 399));
  QVERIFY(!box.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  QVERIFY(!box.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  auto* image = box.findChild<QLabel*>(QStringLiteral("Image"));
  QVERIFY(image);
  QCOMPARE(image->pixmap().size(), QSize(32, 32));
  QCOMPARE(box.windowIcon().pixmap(32, 32).toImage(), image->pixmap().toImage());
  // Ok is the only control that takes the focus, and the default button.
  auto* ok = box.findChild<QPushButton*>(QStringLiteral("cmdOk"));
  QVERIFY(ok && ok->isDefault());
  QCOMPARE(ok->text(), QStringLiteral("Ok"));
  for (QWidget* widget : box.findChildren<QWidget*>()) {
    if (widget != ok) QCOMPARE(widget->focusPolicy(), Qt::NoFocus);
  }
}

void AboutFormTest::captionsFit() {
  AboutForm box(quorix::ProgramAboutInfo());
  box.show();
  QVERIFY(QTest::qWaitForWindowExposed(&box));
  for (QLabel* label : box.findChildren<QLabel*>()) {
    if (label->objectName() == "Image") continue;
    const QFontMetrics metrics(label->font());
    QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->width(), qPrintable(label->text()));
    QVERIFY2(metrics.height() <= label->height(), qPrintable(label->objectName()));
  }
}

void AboutFormTest::opensModalCentredAndCloses_data() {
  QTest::addColumn<QString>("how");
  QTest::newRow("click Ok") << "click";
  QTest::newRow("Enter") << "enter";
  QTest::newRow("Return") << "return";
  QTest::newRow("Escape") << "escape";
}

void AboutFormTest::opensModalCentredAndCloses() {
  QFETCH(QString, how);
  AboutForm box(quorix::ProgramAboutInfo());
  bool sawItOpen = false;
  QTimer::singleShot(0, this, [&] {
    QCOMPARE(QApplication::activeModalWidget(), &box);
    sawItOpen = true;
    QVERIFY(QTest::qWaitForWindowActive(&box));
    QCOMPARE(QApplication::focusWidget(), box.findChild<QWidget*>(QStringLiteral("cmdOk")));
    // Centred on the screen, allowing for the window frame Qt assumes.
    const QPoint offset = box.geometry().center() - box.screen()->availableGeometry().center();
    QVERIFY2(std::abs(offset.x()) <= 12 && std::abs(offset.y()) <= 45,
             qPrintable(QStringLiteral("%1, %2").arg(offset.x()).arg(offset.y())));
    if (how == "click") {
      QTest::mouseClick(box.findChild<QPushButton*>(QStringLiteral("cmdOk")), Qt::LeftButton);
    } else if (how == "enter") {
      QTest::keyClick(&box, Qt::Key_Enter);
    } else if (how == "return") {
      QTest::keyClick(&box, Qt::Key_Return);
    } else {
      QTest::keyClick(&box, Qt::Key_Escape);
    }
  });
  QTimer watchdog;
  watchdog.setSingleShot(true);
  connect(&watchdog, &QTimer::timeout, &box, [&box] { box.done(-1); });  // a box that does not close fails, not hangs
  watchdog.start(5000);
  box.exec();
  QVERIFY(watchdog.isActive());
  QVERIFY(sawItOpen);
  QVERIFY(!box.isVisible());
}

QTEST_MAIN(AboutFormTest)
#include "about_form_test.moc"
