// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProgressBar>

// A measurement bar: a plain, continuous bar from 0 to a maximum.
//
// SetMax takes any integer; one below 0 becomes 0. A bar whose maximum is 0 is
// drawn empty (never as a busy indicator). SetPosition clamps into 0..maximum,
// so a reading above the maximum draws the bar full and a negative one empty;
// a later SetMax clamps the last position again.
class TMeasureBar : public QProgressBar
{
    Q_OBJECT

public:
    explicit TMeasureBar(QWidget* parent = nullptr);

    void SetMax(int maximum);
    void SetPosition(int position);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_position = 0;
};
