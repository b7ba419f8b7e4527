#pragma once
// The core speaks UTF-8 std::string; the windows speak QString.
#include <QString>
#include <string_view>

namespace tavrin::ui {

inline QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace tavrin::ui
