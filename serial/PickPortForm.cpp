// SPDX-License-Identifier: GPL-3.0-or-later
#include "PickPortForm.h"

#include "ui_PickPortForm.h"

#include <algorithm>

#include <QFont>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QStandardItemModel>
#include <QStyle>
#include <QTreeView>

namespace
{

QFont SansFont(int pixelSize, bool bold)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

} // namespace

TformPickPort::TformPickPort(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::formPickPort>()),
      fItems(new QStandardItemModel(0, 3, this)), fProblems(nullptr)
{
    ui->setupUi(this);
    fDesignedSize = size();
    // A dialog border with a caption but no title-bar buttons, fixed in size.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());
    setFont(SansFont(11, true));
    ui->GroupBox1->setFont(SansFont(13, false));

    ui->OKBtn->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    ui->CancelBtn->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    connect(ui->OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    // The closed list shows "COM" n; the open list adds the device path.
    auto* view = new QTreeView(ui->listPorts);
    view->setHeaderHidden(true);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setAllColumnsShowFocus(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->header()->setStretchLastSection(false);
    view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->listPorts->setModel(fItems);
    ui->listPorts->setView(view);
    ui->listPorts->setModelColumn(0);
    ui->listPorts->setCurrentIndex(-1);

    fProblems = new QLabel(this);
    fProblems->setObjectName(QStringLiteral("ProblemsLabel"));
    fProblems->setFont(SansFont(11, false));
    fProblems->setTextFormat(Qt::PlainText);
    fProblems->hide();

    ui->OKBtn->setFocus();
}

TformPickPort::~TformPickPort() = default;

QGroupBox* TformPickPort::GroupBox1() const
{
    return ui->GroupBox1;
}
QComboBox* TformPickPort::listPorts() const
{
    return ui->listPorts;
}
QPushButton* TformPickPort::OKBtn() const
{
    return ui->OKBtn;
}
QPushButton* TformPickPort::CancelBtn() const
{
    return ui->CancelBtn;
}

void TformPickPort::AddPort(int number, const QString& devicePath)
{
    AddPort(number, devicePath, QString(), devicePath);
}

void TformPickPort::AddPort(int number, const QString& devicePath, const QString& description,
                            const QString& details)
{
    auto* name = new QStandardItem(QStringLiteral("COM") + QString::number(number));
    auto* path = new QStandardItem(devicePath);
    auto* what = new QStandardItem(description);
    const QString tip = details.isEmpty() ? devicePath : details;
    for (QStandardItem* item : {name, path, what}) {
        item->setToolTip(tip);
        item->setEditable(false);
    }
    const int selected = ui->listPorts->currentIndex();
    fItems->appendRow({name, path, what});
    // Appending to an empty list would select the new item; the caller decides.
    ui->listPorts->setCurrentIndex(selected);
    // The drop-down may be wider than the closed box so that the path fits.
    QAbstractItemView* view = ui->listPorts->view();
    view->setMinimumWidth(view->sizeHintForColumn(0) + view->sizeHintForColumn(1) +
                          view->sizeHintForColumn(2) + 2 * view->frameWidth() + 24);
}

void TformPickPort::ShowOpenProblems(const QString& line, const QString& details)
{
    if (line.isEmpty()) {
        fProblems->hide();
        setFixedSize(fDesignedSize);
        return;
    }
    // Under the group box and the buttons; the dialog widens for the line up
    // to a limit, beyond which the line is cut (the tool tip has it all).
    constexpr int Margin = 8;
    constexpr int MaxWidth = 560;
    const QFontMetrics metrics(fProblems->font());
    const int width = std::clamp(metrics.horizontalAdvance(line) + 4,
                                 fDesignedSize.width() - 2 * Margin, MaxWidth - 2 * Margin);
    fProblems->setText(metrics.elidedText(line, Qt::ElideRight, width));
    fProblems->setToolTip(details);
    const int top = ui->GroupBox1->geometry().bottom() + 4;
    fProblems->setGeometry(Margin, top, width, metrics.height() + 2);
    fProblems->show();
    setFixedSize(width + 2 * Margin, top + fProblems->height() + Margin);
}
