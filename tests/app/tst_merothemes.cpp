// SPDX-License-Identifier: GPL-3.0-or-later
// Every text of the window stays readable under the standard and a dark palette (Fusion):
// the spin edit's digits, selection, caret, underline and arrows; the response list's black
// and green lines on their light page; the lamps' white and red fills with a visible outline.
#include "LampWidget.h"
#include "MEROMain.h"
#include "ResponseListEcho.h"
#include "ThemeSupport.h"
#include "plussped.h"
#include "spinarrowbutton.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTextEdit>
#include <QtTest>

class TestMeroThemes : public QObject
{
    Q_OBJECT

    std::unique_ptr<TMERO_App> w;

    template <typename T = QWidget> T* Find(const char* name)
    {
        T* c = w->findChild<T*>(QString::fromLatin1(name));
        if (!c)
            qFatal("no control %s", name);
        return c;
    }

private Q_SLOTS:
    void initTestCase() { QApplication::setStyle(QStyleFactory::create("Fusion")); }
    void init();
    void cleanup() { w.reset(); }

    void spinEdit_data();
    void spinEdit();
    void responseList_data() { spinEdit_data(); }
    void responseList();
    void lamps_data() { spinEdit_data(); }
    void lamps();
};

void TestMeroThemes::spinEdit_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("standard palette") << false;
    QTest::newRow("dark palette") << true;
}

void TestMeroThemes::init()
{
    QFETCH(bool, dark);
    QApplication::setPalette(dark ? DarkPalette() : QApplication::style()->standardPalette());
    w = std::make_unique<TMERO_App>();
    Find<QTabWidget>("PageControl1")->setCurrentIndex(0);
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
}

void TestMeroThemes::spinEdit()
{
    auto* spin = Find<TPlusSpinEdit>("ISettingAdj");
    spin->AssignValue(12.34);
    const QColor base = spin->palette().color(QPalette::Base);
    const QRect text(1, 1, spin->UpButton()->x() - 1, spin->height() - 2);
    const QRect cell = spin->FocusCell();
    const QRect under(cell.left(), cell.bottom(), cell.width(), 1);

    Find("RepRateAdj")->setFocus();
    QTRY_VERIFY(!spin->hasFocus());
    QImage img = spin->grab().toImage();
    QVERIFY2(BestContrast(img, text, base) >= 4.5, "digits");
    QVERIFY2(BestContrast(img, under, base) >= 3, "underline of the selected digit");

    spin->setFocus();
    QTRY_VERIFY(spin->hasFocus());
    img = spin->grab().toImage();
    const QRect caret(cell.left(), cell.bottom(), cell.width(), 2);
    QVERIFY2(BestContrast(img, caret, base) >= 3, "caret");
    // The selected digit: white on blue.
    const QRect inside = cell.adjusted(0, 0, 0, -1);
    QVERIFY2(BestContrast(img, inside, QColor(0, 0, 255)) >= 4.5, "selected digit");

    auto* up = spin->UpButton();
    const QImage arrow = up->grab().toImage();
    QVERIFY2(BestContrast(arrow, up->rect().adjusted(2, 2, -2, -2),
                          up->palette().color(QPalette::Button)) >= 3,
             "arrow glyph");
}

void TestMeroThemes::responseList()
{
    auto* list = Find<QTextEdit>("ResponseList");
    TResponseListEcho echo(list);
    echo.AppendLine(QStringLiteral("(10:00:00.000) ;DC:CS 012.50"), QColor(0, 0, 0));
    echo.AppendLine(QStringLiteral("(10:00:00.004) OK"), QColor(0, 0x80, 0));
    QWidget* page = list->viewport();
    const QImage img = page->grab().toImage();
    const QColor background = img.pixelColor(img.width() - 2, img.height() - 2);
    QVERIFY2(Contrast(background, Qt::white) < 1.1, qPrintable(background.name()));
    const int lineHeight = list->fontMetrics().lineSpacing();
    const QRect first(0, 0, page->width(), lineHeight + 2);
    const QRect second(0, lineHeight + 2, page->width(), lineHeight);
    QVERIFY2(BestContrast(img, first, background) >= 4.5, "black line");
    QVERIFY2(BestContrast(img, second, background) >= 4.5, "green line");
}

void TestMeroThemes::lamps()
{
    const QColor window = w->palette().color(QPalette::Window);
    auto* lit = Find<TLamp>("ActiveLight");
    lit->setLit(true);
    for (TLamp* lamp : {Find<TLamp>("EnabledLight"), lit}) {
        const QImage img = lamp->grab().toImage();
        const QPoint centre(img.width() / 2, img.height() / 2);
        QCOMPARE(img.pixelColor(centre), lamp->isLit() ? QColor(255, 0, 0) : QColor(255, 255, 255));
        // The outline stands out from the window around it.
        QVERIFY2(BestContrast(img, QRect(0, 7, 3, 3), window) >= 3, qPrintable(lamp->objectName()));
    }
}

QTEST_MAIN(TestMeroThemes)
#include "tst_merothemes.moc"
