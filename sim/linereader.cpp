// SPDX-License-Identifier: GPL-3.0-or-later
#include "linereader.h"

namespace sim
{

LineReader::LineReader(std::size_t maxLine) : m_maxLine(maxLine)
{
    m_line.reserve(maxLine);
}

} // namespace sim
