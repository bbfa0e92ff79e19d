// The About box: its texts, its layout at the design font and a larger one, and that it opens modal and centred
// and closes on Ok.
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include "about_form.h"
#include "layout_faults.h"

using quorix::AboutForm;
using quorix::AboutInfo;

namespace {

QString Text(const QWidget& box, const char* name, int index = -1) {
  for (QLabel* label : box.findChildren<QLabel*>(QString::fromLatin1(name))) {
    if (index < 0 || label->property("index").toInt() == index) return label->text();
  }
  return QStringLiteral("<missing>");
}

}  // namespace

class AboutFormTest : public QObject {
  Q_OBJECT

 private slots:
  // The project's lines and the license statement, one line each; no person, institution or address is invented
  // (no mail address, no example domain); the title from other version numbers, plain decimal, and the comment.
  void texts() {
    const AboutInfo info = quorix::ProgramAboutInfo();
    AboutForm box(info);
    QCOMPARE(std::pair(info.comments.isEmpty(), info.comments.contains(u'\n')), std::pair(false, false));
    for (const char* name : {"lblCopyright", "lblDepartment", "lblInstitute", "Label1", "Label2", "Label5", "Label4",
                             "Label3", "Label6", "Label7"}) {
      const QString text = Text(box, name);
      QCOMPARE(std::tuple(name, text.isEmpty(), text.startsWith(u'<'), text.contains(u'\n'), text.contains(u'@'),
                          text.contains(QLatin1String("xample"))),
               std::tuple(name, false, false, false, false, false));
    }
    QVERIFY(Text(box, "Label4").contains(QLatin1String("(GPL-3.0-or-later)")));
    AboutForm other(AboutInfo{QStringLiteral("Quorix"), 65535, 0, 12, QStringLiteral("A line")});
    QCOMPARE(Text(other, "lblTitle", 0) + Text(other, "lblTitle", 1), QStringLiteral("Quorix 65535.0.12A line"));
  }

  void opensModalAndCloses_data() {
    QTest::addColumn<int>("pixels");
    QTest::addRow("design font") << 0;
    QTest::addRow("18 px font") << 18;
  }
  // Fixed in size, as much larger as the desktop font, every caption whole; modal, centred on the screen, Ok the
  // default button with the focus (closing by Enter, Return and Escape is then the dialog's own) and closing it.
  void opensModalAndCloses() {
    QFETCH(int, pixels);
    const AboutInfo info = quorix::ProgramAboutInfo();
    const QSize designed = AboutForm(info).size();
    const quorix::testing::DesktopFont font(pixels);
    AboutForm box(info);
    QCOMPARE(box.minimumSize(), box.maximumSize());
    if (pixels > 0) QVERIFY(box.width() >= designed.width() * 3 / 2 - 1);
    if (pixels > 0) QVERIFY(box.height() >= designed.height() * 3 / 2 - 1);
    auto* ok = box.findChild<QPushButton*>(QStringLiteral("cmdOk"));
    QVERIFY(ok);
    QCOMPARE(std::pair(ok->isDefault(), ok->text()), std::pair(true, QString("OK")));
    bool sawItOpen = false, timedOut = false;
    QTimer::singleShot(0, this, [&] {
      QCOMPARE(QApplication::activeModalWidget(), &box);
      sawItOpen = true;
      QVERIFY(QTest::qWaitForWindowActive(&box));
      QCOMPARE(QApplication::focusWidget(), ok);
      // Centred on the screen, allowing for the window frame Qt assumes: within 12 and 45 pixels.
      const QPoint offset = box.geometry().center() - box.screen()->availableGeometry().center();
      QCOMPARE(QPoint(std::clamp(offset.x(), -12, 12), std::clamp(offset.y(), -45, 45)), offset);
      for (QLabel* label : box.findChildren<QLabel*>()) {  // the font leaves every caption whole
        const QFontMetrics metrics(label->font());
        QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->width(), qPrintable(label->text()));
        QVERIFY2(metrics.height() <= label->height(), qPrintable(label->text()));
      }
      QTest::mouseClick(ok, Qt::LeftButton);
    });
    QTimer::singleShot(5000, &box, [&] { timedOut = true, box.done(-1); });  // a box left open fails, not hangs
    box.exec();
    QCOMPARE(std::tuple(timedOut, sawItOpen, box.isVisible()), std::tuple(false, true, false));
  }
};

QTEST_MAIN(AboutFormTest)
#include "about_form_test.moc"
