// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QStandardItemModel;

namespace Ui
{
class formPickPort;
}

// The port picker dialog: a pick-only list of ports, OK (default, Enter) and
// Cancel (Esc). TKxComPort::Pick fills and runs it; the form itself only shows
// what it is given. Each item's text is "COM" + n; its device path and what
// the device is are shown beside it in the drop-down list and as its tool tip.
// A line under the list, shown only when there is something to say, tells
// which existing ports could not be opened; the dialog grows to hold it.
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
    // The same with a one-line description beside the path and details
    // (several lines) as the tool tip.
    void AddPort(int number, const QString& devicePath, const QString& description,
                 const QString& details);
    // The line under the list (elided to fit) and its tool tip; an empty
    // line hides it.
    void ShowOpenProblems(const QString& line, const QString& details);
    QLabel* ProblemsLabel() const { return fProblems; }

private:
    std::unique_ptr<Ui::formPickPort> ui;
    QStandardItemModel* fItems;
    QLabel* fProblems;
    QSize fDesignedSize;
};
