// The About box: its texts, its layout, and that it opens modal and centred.
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include "about_form.h"

using quorix::AboutForm;
using quorix::AboutInfo;

namespace {

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
  void shippedTexts() {
    const AboutInfo info = quorix::ProgramAboutInfo();
    AboutForm box(info);
    QCOMPARE(box.windowTitle(), QStringLiteral("About Quorix"));
    QCOMPARE(TitleLabel(box, 0)->text(), QStringLiteral("Quorix 1.0.0"));
    QVERIFY(!info.comments.isEmpty() && !info.comments.contains(QLatin1Char('\n')));  // a one-line description
    QCOMPARE(Text(box, "lblContact"),
             QStringLiteral("For comments, suggestions, further information etc. please contact:"));
    // Two contacts: a name, then the e-mail address in parentheses.
    const QRegularExpression contact(QStringLiteral("^\\S.* \\([a-z.]+@example\\.org\\)$"));
    QVERIFY(contact.match(Text(box, "Label1")).hasMatch() && contact.match(Text(box, "Label2")).hasMatch());
    // The institution and the two-paragraph license statement, one line each.
    QString license;
    for (const char* name :
         {"lblCopyright", "lblDepartment", "lblInstitute", "Label5", "Label4", "Label3", "Label6", "Label7"}) {
      const QString text = Text(box, name);
      QVERIFY2(!text.isEmpty() && !text.startsWith(QLatin1Char('<')) && !text.contains(QLatin1Char('\n')), name);
      if (name[0] == 'L') license += text + u' ';
    }
    for (const char* part : {"GNU General Public License, version 3 or later (GPL-3.0-or-later)",
                             "without any warranty", "license text (the file LICENSE)"}) {
      QVERIFY2(license.simplified().contains(QLatin1String(part)), part);
    }
    QVERIFY(!license.contains(QLatin1String("altered")));
    // The title lines from other version numbers (plain decimal) and comment, unchanged.
    AboutForm other(AboutInfo{QStringLiteral("Quorix"), 65535, 0, 12, QStringLiteral("A line")});
    QCOMPARE(TitleLabel(other, 0)->text() + TitleLabel(other, 1)->text(), QStringLiteral("Quorix 65535.0.12A line"));
  }

  void layout() {
    // Place in twips (15 to the pixel) and the label's alignment; frames have no caption.
    const struct {
      const char *name, *container;
      int left, top, width, height, alignment;
    } rows[] = {
        {"Image", "frmAbout", 120, 120, 480, 480, 0},          {"cmdOk", "frmAbout", 4500, 5520, 1335, 375, 0},
        {"FrameTitle", "frmAbout", 840, 60, 4995, 1035, 0},    {"FrameCopyright", "frmAbout", 840, 1200, 4995, 1095, 0},
        {"FrameContact", "frmAbout", 840, 2400, 4995, 1275, 0}, {"Frame1", "frmAbout", 840, 3780, 4995, 1635, 0},
        {"lblTitle", "FrameTitle", 120, 240, 4755, 255, Qt::AlignHCenter},
        {"lblTitle", "FrameTitle", 120, 600, 4755, 255, Qt::AlignHCenter},
        {"lblCopyright", "FrameCopyright", 120, 240, 4755, 255, Qt::AlignHCenter},
        {"lblDepartment", "FrameCopyright", 120, 480, 4755, 255, Qt::AlignHCenter},
        {"lblInstitute", "FrameCopyright", 120, 720, 4755, 255, Qt::AlignHCenter},
        {"lblContact", "FrameContact", 120, 240, 4755, 255, Qt::AlignLeft},
        {"Label1", "FrameContact", 120, 660, 4755, 255, Qt::AlignLeft},
        {"Label2", "FrameContact", 120, 900, 4755, 255, Qt::AlignLeft},
        {"Label5", "Frame1", 120, 240, 4755, 255, Qt::AlignLeft},
        {"Label4", "Frame1", 120, 480, 4755, 255, Qt::AlignLeft},
        {"Label3", "Frame1", 120, 720, 4755, 255, Qt::AlignLeft},
        {"Label6", "Frame1", 120, 1080, 4755, 255, Qt::AlignLeft},
        {"Label7", "Frame1", 120, 1320, 4755, 255, Qt::AlignLeft}};
    AboutForm box(quorix::ProgramAboutInfo());
    QCOMPARE(box.objectName(), QStringLiteral("frmAbout"));
    int titles = 0;
    for (const auto& r : rows) {
      const QString name = QString::fromLatin1(r.name);
      const auto found = box.findChildren<QWidget*>(name);
      QWidget* control = name == "lblTitle" ? TitleLabel(box, titles++) : found.size() == 1 ? found.front() : nullptr;
      QVERIFY2(control, r.name);
      auto* label = qobject_cast<QLabel*>(control);
      const int alignment = label && r.alignment ? int(label->alignment() & Qt::AlignHorizontal_Mask) : 0;
      QVERIFY2(control->parentWidget()->objectName() == r.container && alignment == r.alignment &&
                   control->geometry() == QRect(r.left / 15, r.top / 15, r.width / 15, r.height / 15),
               r.name);
      if (auto* frame = qobject_cast<QGroupBox*>(control)) QVERIFY(frame->title().isEmpty());
    }
    QVERIFY(box.minimumSize() == QSize(397, 399) && box.maximumSize() == QSize(397, 399));  // 5955 x 5985 twips
    QVERIFY(!(box.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    // The program's icon in the box and on its title bar.
    auto* image = box.findChild<QLabel*>(QStringLiteral("Image"));
    QCOMPARE(box.windowIcon().pixmap(32, 32).toImage(), image->pixmap().toImage());
    // Ok is the default button and the only control that takes the focus.
    auto* ok = box.findChild<QPushButton*>(QStringLiteral("cmdOk"));
    QVERIFY(ok && ok->isDefault() && ok->text() == QStringLiteral("Ok"));
    for (QWidget* widget : box.findChildren<QWidget*>()) {
      if (widget != ok) QCOMPARE(widget->focusPolicy(), Qt::NoFocus);
    }
    // The font leaves every caption whole.
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    for (QLabel* label : box.findChildren<QLabel*>()) {
      const QFontMetrics metrics(label->font());
      QVERIFY2(label == image || (metrics.horizontalAdvance(label->text()) <= label->width() &&
                                  metrics.height() <= label->height()),
               qPrintable(label->text()));
    }
  }

  // Closing by Enter, Return and Escape is the dialog's own, given Ok as its default button.
  void opensModalCentredAndClosesOnOk() {
    AboutForm box(quorix::ProgramAboutInfo());
    auto* ok = box.findChild<QPushButton*>(QStringLiteral("cmdOk"));
    bool sawItOpen = false, timedOut = false;
    QTimer::singleShot(0, this, [&] {
      QCOMPARE(QApplication::activeModalWidget(), &box);
      sawItOpen = true;
      QVERIFY(QTest::qWaitForWindowActive(&box));
      QCOMPARE(QApplication::focusWidget(), ok);
      // Centred on the screen, allowing for the window frame Qt assumes.
      const QPoint offset = box.geometry().center() - box.screen()->availableGeometry().center();
      QVERIFY(std::abs(offset.x()) <= 12 && std::abs(offset.y()) <= 45);
      QTest::mouseClick(ok, Qt::LeftButton);
    });
    QTimer::singleShot(5000, &box, [&] {  // a box that does not close fails, not hangs
      timedOut = true;
      box.done(-1);
    });
    box.exec();
    QVERIFY(!timedOut && sawItOpen && !box.isVisible());
  }
};

QTEST_MAIN(AboutFormTest)
#include "about_form_test.moc"
