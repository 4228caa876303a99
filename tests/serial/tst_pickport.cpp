// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakePortSource.h"
#include "KxComPort.h"
#include "OtherHolder.h"
#include "PickPortForm.h"
#include "PtyUnit.h"
#include "ScriptedPrompts.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace
{

// What the open dialog showed when the test acted on it.
struct TShown {
    QStringList items;
    QStringList paths;
    QString current;
    QStringList descriptions;
    QStringList tips;
    QString problems;
    QString problemTip;
    QSize size;
};

// Runs Pick and, once its dialog is up, records the list and calls act on
// the dialog. A dialog that is still open after a few seconds is rejected so
// that a broken action fails the test instead of hanging it.
bool PickWith(TKxComPort& port, const std::function<void(TformPickPort*)>& act, TShown* shown)
{
    auto poll = std::make_shared<QTimer>();
    const QDeadlineTimer deadline(5000);
    bool acted = false;
    QObject::connect(poll.get(), &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<TformPickPort*>(w);
            if (!dialog || !dialog->isVisible())
                continue;
            if (deadline.hasExpired()) {
                dialog->reject();
                return;
            }
            if (acted)
                return;
            acted = true;
            QComboBox* list = dialog->listPorts();
            if (shown) {
                for (int i = 0; i < list->count(); ++i) {
                    shown->items << list->itemText(i);
                    shown->paths << list->model()->index(i, 1).data().toString();
                    shown->descriptions << list->model()->index(i, 2).data().toString();
                    shown->tips << list->model()->index(i, 0).data(Qt::ToolTipRole).toString();
                }
                if (dialog->ProblemsLabel()->isVisible()) {
                    shown->problems = dialog->ProblemsLabel()->text();
                    shown->problemTip = dialog->ProblemsLabel()->toolTip();
                }
                shown->size = dialog->size();
                shown->current = list->currentIndex() < 0 ? QString() : list->currentText();
            }
            act(dialog);
        }
    });
    poll->start(5);
    const bool result = port.Pick();
    poll->stop();
    return result;
}

void ClickOk(TformPickPort* d)
{
    QTest::mouseClick(d->OKBtn(), Qt::LeftButton);
}

} // namespace

class TestPickPort : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScriptedPrompts> prompts;
    std::unique_ptr<TKxComPort> port;

private Q_SLOTS:
    void init();
    void cleanup();
    void listsPortsInOrderWithoutSelection();
    void remembersPortAndEnterConfirms();
    void lastPortIsListedLast();
    void refusedChoiceKeepsPort_data();
    void refusedChoiceKeepsPort();
    void heldPortIsNotListed();
    void noPortAtAll();
    void dialogLayout();
    void describesEachPort();
    void oddDescriptionsKeepItems();
    void heldPortIsExplainedUnderTheList();
};

void TestPickPort::init()
{
    prompts = std::make_unique<ScriptedPrompts>();
    port = std::make_unique<TKxComPort>();
    // Every absent port would ask "Error opening COM<n>" if the probe let it.
    port->SetShowErrors(true);
}

void TestPickPort::cleanup()
{
    port.reset();
    QVERIFY2(prompts->shown().isEmpty(), "a box appeared during Pick");
    prompts.reset();
}

void TestPickPort::listsPortsInOrderWithoutSelection()
{
    PtyUnit com12(12), com3(3);
    port->SetPort(1);
    TShown shown;
    const bool picked = PickWith(
        *port,
        [](TformPickPort* d) {
            d->listPorts()->setCurrentIndex(1);
            ClickOk(d);
        },
        &shown);

    QCOMPARE(shown.items, QStringList({"COM3", "COM12"}));
    QCOMPARE(shown.paths, QStringList({TKxComPort::DevicePath(3), TKxComPort::DevicePath(12)}));
    QCOMPARE(shown.current, QString());
    QVERIFY(picked);
    QCOMPARE(port->Port(), 12);
    QVERIFY(port->ShowErrors());
    // The probe leaves nothing open: the caller opens the chosen port.
    QVERIFY(!port->Opened());
}

void TestPickPort::remembersPortAndEnterConfirms()
{
    PtyUnit com3(3), com12(12);
    port->SetPort(3);
    TShown shown;
    const bool picked = PickWith(
        *port, [](TformPickPort* d) { QTest::keyClick(d, Qt::Key_Return); }, &shown);
    QCOMPARE(shown.current, QStringLiteral("COM3"));
    QVERIFY(picked);
    QCOMPARE(port->Port(), 3);
}

void TestPickPort::lastPortIsListedLast()
{
    PtyUnit com100(100), com5(5);
    TShown shown;
    const bool picked = PickWith(
        *port,
        [](TformPickPort* d) {
            d->listPorts()->setCurrentIndex(d->listPorts()->count() - 1);
            ClickOk(d);
        },
        &shown);
    QCOMPARE(shown.items, QStringList({"COM5", "COM100"}));
    QVERIFY(picked);
    QCOMPARE(port->Port(), 100);
    QVERIFY(!port->Opened());
}

void TestPickPort::refusedChoiceKeepsPort_data()
{
    QTest::addColumn<int>("remembered");
    QTest::addColumn<bool>("showErrors");
    QTest::addColumn<int>("how"); // 0 Cancel button, 1 Esc, 2 OK with nothing selected
    QTest::newRow("Cancel") << 3 << true << 0;
    QTest::newRow("Esc") << 3 << false << 1;
    QTest::newRow("OK without selection") << 7 << true << 2;
}

void TestPickPort::refusedChoiceKeepsPort()
{
    QFETCH(int, remembered);
    QFETCH(bool, showErrors);
    QFETCH(int, how);
    PtyUnit com3(3), com4(4);
    port->SetPort(remembered);
    port->SetShowErrors(showErrors);
    const bool picked = PickWith(
        *port,
        [how](TformPickPort* d) {
            if (how == 0)
                QTest::mouseClick(d->CancelBtn(), Qt::LeftButton);
            else if (how == 1)
                QTest::keyClick(d, Qt::Key_Escape);
            else
                ClickOk(d);
        },
        nullptr);
    QVERIFY(!picked);
    QCOMPARE(port->Port(), remembered);
    QCOMPARE(port->ShowErrors(), showErrors);
}

void TestPickPort::heldPortIsNotListed()
{
    PtyUnit com3(3), com4(4), com5(5);
    TKxComPort holder;
    holder.SetShowErrors(false);
    holder.SetPort(4);
    QVERIFY(holder.Open());
    TShown shown;
    PickWith(
        *port, [](TformPickPort* d) { d->reject(); }, &shown);
    QCOMPARE(shown.items, QStringList({"COM3", "COM5"}));
    QVERIFY(holder.Opened());
}

void TestPickPort::noPortAtAll()
{
    TShown shown;
    QVERIFY(!PickWith(*port, ClickOk, &shown));
    QVERIFY(shown.items.isEmpty());
    QCOMPARE(port->Port(), 1);
}

void TestPickPort::dialogLayout()
{
    PtyUnit com9(9);
    port->SetPort(9);
    bool checked = false;
    PickWith(
        *port,
        [&](TformPickPort* d) {
            checked = true;
            QCOMPARE(d->windowTitle(), QStringLiteral("Select Serial Port"));
            QCOMPARE(d->GroupBox1()->title(), QStringLiteral("Serial Port"));
            QVERIFY(d->isModal());
            QVERIFY(!d->listPorts()->isEditable());
            QCOMPARE(d->listPorts()->parentWidget(), d->GroupBox1());
            QVERIFY(d->OKBtn()->isDefault());
            QVERIFY(!d->CancelBtn()->isDefault());
            QVERIFY(!(d->windowFlags() & Qt::WindowCloseButtonHint));
            QCOMPARE(d->size(), QSize(240, 93));
            QTRY_COMPARE(QApplication::focusWidget(), d->OKBtn());
            // The item text ends in the number that Port takes.
            static const QRegularExpression item(QStringLiteral("^COM\\d+$"));
            QVERIFY(item.match(d->listPorts()->currentText()).hasMatch());
            d->reject();
        },
        nullptr);
    QVERIFY(checked);
}

// An FTDI adapter, a CDC-ACM device, a built-in port and a virtual unit: each
// item keeps its "COM" n text and shows path and description beside it.
void TestPickPort::describesEachPort()
{
    PtyUnit com1(1), com33(33), com65(65), com70(70);
    FakePortSource source;
    source.records << FakePortSource::BuiltIn() << FakePortSource::Ftdi()
                   << FakePortSource::CdcAcm();
    source.link(com1.linkPath(), "/dev/ttyS0");
    source.link(com33.linkPath(), "/dev/ttyUSB0");
    source.link(com65.linkPath(), "/dev/ttyACM0");
    TShown shown;
    PickWith(
        *port, [](TformPickPort* d) { d->reject(); }, &shown);

    QCOMPARE(shown.items, QStringList({"COM1", "COM33", "COM65", "COM70"}));
    QCOMPARE(shown.paths,
             QStringList({com1.linkPath(), com33.linkPath(), com65.linkPath(), com70.linkPath()}));
    QCOMPARE(shown.descriptions.mid(0, 3),
             QStringList({"built-in serial port", "FT232R USB UART (FTDI, serial A50285BI)",
                          "Pico (Raspberry Pi, serial E66138935F4B6B2C)"}));
    QVERIFY2(shown.descriptions[3].startsWith("pseudo-terminal"),
             qPrintable(shown.descriptions[3]));
    QVERIFY(shown.tips[1].contains("Stable name: /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_"
                                   "A50285BI-if00-port0"));
    QVERIFY(shown.tips[1].contains("Device: " + com33.linkPath()));
    QVERIFY(shown.tips[3].contains("Links to: " + com70.slavePath()));
    // Nothing failed to open: no line under the list, the designed size.
    QVERIFY(shown.problems.isEmpty());
    QCOMPARE(shown.size, QSize(240, 93));
}

void TestPickPort::oddDescriptionsKeepItems()
{
    PtyUnit com33(33), com34(34);
    FakePortSource source;
    TPortRecord odd = FakePortSource::Ftdi();
    odd.description = QString(100000, QChar(0x01));
    odd.manufacturer = QString::fromLatin1("\xff\xfe\r\n");
    TPortRecord bare;
    bare.systemLocation = "/dev/ttyUSB1";
    source.records << odd << bare;
    source.link(com33.linkPath(), "/dev/ttyUSB0");
    source.link(com34.linkPath(), "/dev/ttyUSB1");
    port->SetPort(34);
    TShown shown;
    const bool picked = PickWith(
        *port, [](TformPickPort* d) { QTest::keyClick(d, Qt::Key_Return); }, &shown);
    QCOMPARE(shown.items, QStringList({"COM33", "COM34"}));
    QVERIFY(shown.descriptions[0].size() < 300);
    QVERIFY(!shown.descriptions[0].contains(QChar(0x01)));
    QCOMPARE(shown.descriptions[1], QStringLiteral("USB serial adapter"));
    QVERIFY(picked);
    QCOMPARE(port->Port(), 34);
}

// Another program holds COM4: the line under the list says so, its tool tip
// names the program.
void TestPickPort::heldPortIsExplainedUnderTheList()
{
    PtyUnit com3(3), com4(4);
    OtherHolder other(com4.linkPath());
    QVERIFY2(other.Started(), "flock(1) is needed");
    // Held once the port no longer opens.
    QTRY_VERIFY([&] {
        TKxComPort probe;
        probe.SetShowErrors(false);
        probe.SetPort(4);
        return !probe.Open();
    }());
    TShown shown;
    PickWith(
        *port, [](TformPickPort* d) { d->reject(); }, &shown);
    QCOMPARE(shown.items, QStringList({"COM3"}));
    QCOMPARE(shown.problems, QStringLiteral("COM4: held by another program"));
    QCOMPARE(shown.problemTip,
             QStringLiteral("COM4 (%1): held by another program: flock (process %2)")
                 .arg(com4.linkPath())
                 .arg(other.Pid()));
    QVERIFY(shown.size.height() > 93);
    QVERIFY(shown.size.width() >= 240);
}

QTEST_MAIN(TestPickPort)
#include "tst_pickport.moc"
