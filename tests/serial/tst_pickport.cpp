#include "KxComPort.h"
#include "PickPortForm.h"
#include "PtyUnit.h"
#include "ScriptedPrompts.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QGroupBox>
#include <QPushButton>
#include <QRegularExpression>
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
                }
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

QTEST_MAIN(TestPickPort)
#include "tst_pickport.moc"
