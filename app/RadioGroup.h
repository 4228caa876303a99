// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

// A captioned group of radio buttons, one per item, selected by index.
//
// ItemIndex is -1 (nothing selected) or the index of the checked item. Writing
// it clamps: below -1 gives -1, past the last item gives the last item. OnClick
// is emitted whenever an item becomes selected, whether the operator clicked it
// or the program wrote ItemIndex; writing the index already shown emits nothing,
// and so does clearing the selection.
class TRadioGroup : public QGroupBox
{
    Q_OBJECT
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)

public:
    explicit TRadioGroup(QWidget* parent = nullptr);

    QStringList Items() const { return m_items; }
    // Replaces the buttons; the selection is kept where it still exists.
    void SetItems(const QStringList& items);

    int ItemIndex() const { return m_index; }
    void SetItemIndex(int index);

    QRadioButton* Button(int index) const;

Q_SIGNALS:
    void OnClick(QObject* sender);

private:
    void ButtonToggled(int id, bool checked);
    void ShowIndex();

    QStringList m_items;
    QButtonGroup* m_group;
    int m_index = -1;
    bool m_applying = false;
};
