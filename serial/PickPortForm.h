#pragma once

#include <QDialog>
#include <memory>

class QComboBox;
class QGroupBox;
class QPushButton;
class QStandardItemModel;

namespace Ui
{
class formPickPort;
}

// The port picker dialog: a pick-only list of ports, OK (default, Enter) and
// Cancel (Esc). TKxComPort::Pick fills and runs it; the form itself only shows
// what it is given. Each item's text is "COM" + n; its device path is shown
// beside it in the drop-down list and as its tool tip.
class TformPickPort : public QDialog
{
    Q_OBJECT
public:
    explicit TformPickPort(QWidget* parent = nullptr);
    ~TformPickPort() override;

    QGroupBox* GroupBox1() const;
    QComboBox* listPorts() const;
    QPushButton* OKBtn() const;
    QPushButton* CancelBtn() const;

    // Appends the item "COM" + number with devicePath beside it.
    void AddPort(int number, const QString& devicePath);

private:
    std::unique_ptr<Ui::formPickPort> ui;
    QStandardItemModel* fItems;
};
