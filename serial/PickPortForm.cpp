#include "PickPortForm.h"

#include "ui_PickPortForm.h"

#include <QFont>
#include <QFontDatabase>
#include <QHeaderView>
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
      fItems(new QStandardItemModel(0, 2, this))
{
    ui->setupUi(this);
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
    auto* name = new QStandardItem(QStringLiteral("COM") + QString::number(number));
    auto* path = new QStandardItem(devicePath);
    name->setToolTip(devicePath);
    path->setToolTip(devicePath);
    name->setEditable(false);
    path->setEditable(false);
    const int selected = ui->listPorts->currentIndex();
    fItems->appendRow({name, path});
    // Appending to an empty list would select the new item; the caller decides.
    ui->listPorts->setCurrentIndex(selected);
    // The drop-down may be wider than the closed box so that the path fits.
    QAbstractItemView* view = ui->listPorts->view();
    view->setMinimumWidth(view->sizeHintForColumn(0) + view->sizeHintForColumn(1) +
                          2 * view->frameWidth() + 24);
}
