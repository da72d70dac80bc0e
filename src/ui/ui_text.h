#pragma once
// The program's texts are UTF-8; every widget turns them into Qt's strings through this.
#include <QString>
#include <string_view>

namespace tw::ui {

inline QString fromText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace tw::ui
