// SPDX-License-Identifier: MIT
#include "text/Text.h"

#include <algorithm>
#include <limits>

namespace torvash {

Text::Text(std::string_view storage)
{
    const size_t nul = storage.find('\0');
    const size_t length = std::min({nul == std::string_view::npos ? storage.size() : nul,
                                    static_cast<size_t>(std::numeric_limits<int32_t>::max())});
    m_bytes.assign(storage.substr(0, length));
}

} // namespace torvash
