// SPDX-License-Identifier: GPL-3.0-or-later
#include "RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent), m_group(new QButtonGroup(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 2, 4, 2);
    layout->setSpacing(0);
    connect(m_group, &QButtonGroup::idToggled, this, &TRadioGroup::ButtonToggled);
}

void TRadioGroup::SetItems(const QStringList& items)
{
    for (QAbstractButton* b : m_group->buttons()) {
        m_group->removeButton(b);
        delete b;
    }
    m_items = items;
    for (int i = 0; i < m_items.size(); ++i) {
        auto* b = new QRadioButton(m_items[i], this);
        b->setObjectName(objectName() + QStringLiteral("_%1").arg(i));
        m_group->addButton(b, i);
        layout()->addWidget(b);
    }
    if (m_index >= m_items.size())
        m_index = int(m_items.size()) - 1;
    ShowIndex();
}

QRadioButton* TRadioGroup::Button(int index) const
{
    return qobject_cast<QRadioButton*>(m_group->button(index));
}

void TRadioGroup::SetItemIndex(int index)
{
    if (index < -1)
        index = -1;
    if (index >= m_items.size())
        index = int(m_items.size()) - 1;
    if (index == m_index)
        return;
    m_index = index;
    ShowIndex();
    if (m_index >= 0)
        Q_EMIT OnClick(this);
}

void TRadioGroup::ShowIndex()
{
    m_applying = true;
    // An exclusive group cannot be left with no button checked.
    m_group->setExclusive(false);
    for (QAbstractButton* b : m_group->buttons())
        b->setChecked(m_group->id(b) == m_index);
    m_group->setExclusive(true);
    m_applying = false;
}

void TRadioGroup::ButtonToggled(int id, bool checked)
{
    if (m_applying || !checked || id == m_index)
        return;
    m_index = id;
    Q_EMIT OnClick(this);
}
