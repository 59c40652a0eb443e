// SPDX-License-Identifier: MIT
#include "search/PageAddressList.h"

namespace torvash {

void PageAddressList::clear()
{
    const std::scoped_lock guard(m_lock);
    m_entries.clear();
}

void PageAddressList::append(TextView address)
{
    Text entry(address);
    const std::scoped_lock guard(m_lock);
    m_entries.push_back(std::move(entry));
}

int32_t PageAddressList::count() const
{
    const std::scoped_lock guard(m_lock);
    return static_cast<int32_t>(m_entries.size());
}

Text PageAddressList::entryAt(int32_t index) const
{
    const std::scoped_lock guard(m_lock);
    if (index < 0 || static_cast<size_t>(index) >= m_entries.size())
        return {};
    return m_entries[static_cast<size_t>(index)];
}

} // namespace torvash
