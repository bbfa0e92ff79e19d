// The About box: its texts, and that it opens modal and centred, its captions whole, and closes on Ok.
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include "about_form.h"

using quorix::AboutForm;
using quorix::AboutInfo;

namespace {

QString Title(const QWidget& box, int index) {
  for (QLabel* label : box.findChildren<QLabel*>(QStringLiteral("lblTitle"))) {
    if (label->property("index").toInt() == index) return label->text();
  }
  return QStringLiteral("<missing>");
}

QString Text(const QWidget& box, const char* name) {
  const auto found = box.findChildren<QLabel*>(QString::fromLatin1(name));
  return found.size() == 1 ? found.front()->text() : QStringLiteral("<missing or not unique>");
}

}  // namespace

class AboutFormTest : public QObject {
  Q_OBJECT

 private slots:
  // Closing by Enter, Return and Escape is the dialog's own, given Ok as its default button.
  void textsLayoutAndModalOk() {
    const AboutInfo info = quorix::ProgramAboutInfo();
    AboutForm box(info);
    QCOMPARE(std::pair(info.comments.isEmpty(), info.comments.contains(u'\n')), std::pair(false, false));  // one line
    // No person, institution or address is invented: no mail address, no example domain.
    for (const char* name : {"lblCopyright", "lblDepartment", "lblInstitute", "Label1", "Label2"}) {
      const QString text = Text(box, name);
      QVERIFY2(!text.contains(u'@') && !text.contains(QLatin1String("xample")), name);
    }
    // The project's lines and the two-paragraph license statement, one line each.
    QString license;
    for (const char* name :
         {"lblCopyright", "lblDepartment", "lblInstitute", "Label5", "Label4", "Label3", "Label6", "Label7"}) {
      const QString text = Text(box, name);
      QCOMPARE(std::tuple(name, text.isEmpty(), text.startsWith(u'<'), text.contains(u'\n')),
               std::tuple(name, false, false, false));
      if (name[0] == 'L') license += text + u' ';
    }
    for (const char* part : {"GNU General Public License, version 3 or later (GPL-3.0-or-later)",
                             "without any warranty", "license text (the file LICENSE)"}) {
      QVERIFY2(license.simplified().contains(QLatin1String(part)), part);
    }
    QVERIFY(!license.contains(QLatin1String("altered")));
    // The title lines from other version numbers (plain decimal) and comment, unchanged.
    AboutForm other(AboutInfo{QStringLiteral("Quorix"), 65535, 0, 12, QStringLiteral("A line")});
    QCOMPARE(Title(other, 0) + Title(other, 1), QStringLiteral("Quorix 65535.0.12A line"));
    auto* ok = box.findChild<QPushButton*>(QStringLiteral("cmdOk"));
    QVERIFY(ok);
    QCOMPARE(std::pair(ok->isDefault(), ok->text()), std::pair(true, QString("OK")));
    QCOMPARE(box.minimumSize(), box.maximumSize());
    bool sawItOpen = false, timedOut = false;
    QTimer::singleShot(0, this, [&] {
      QCOMPARE(QApplication::activeModalWidget(), &box);
      sawItOpen = true;
      QVERIFY(QTest::qWaitForWindowActive(&box));
      QCOMPARE(QApplication::focusWidget(), ok);
      // Centred on the screen, allowing for the window frame Qt assumes.
      const QPoint offset = box.geometry().center() - box.screen()->availableGeometry().center();
      QCOMPARE(QPoint(std::clamp(offset.x(), -12, 12), std::clamp(offset.y(), -45, 45)), offset);  // within 12 and 45
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

  // Under a desktop font half as large again the box grows with it and every caption stays whole.
  void followsTheDesktopFont() {
    const AboutInfo info = quorix::ProgramAboutInfo();
    const QSize designed = AboutForm(info).size();
    const QFont desktop = QApplication::font();
    QFont larger = desktop;
    larger.setPixelSize(18);
    QApplication::setFont(larger);
    {
      AboutForm box(info);
      QVERIFY2(box.width() >= designed.width() * 3 / 2 - 1 && box.height() >= designed.height() * 3 / 2 - 1,
               qPrintable(QStringLiteral("%1x%2").arg(box.width()).arg(box.height())));
      for (QLabel* label : box.findChildren<QLabel*>()) {
        const QFontMetrics metrics(label->font());
        QVERIFY2(metrics.horizontalAdvance(label->text()) <= label->width(), qPrintable(label->text()));
        QVERIFY2(metrics.height() <= label->height(), qPrintable(label->text()));
      }
    }
    QApplication::setFont(desktop);
  }
};

QTEST_MAIN(AboutFormTest)
#include "about_form_test.moc"
