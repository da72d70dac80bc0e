#include "platform/settings.h"

#include <charconv>

namespace tw::platform {

int MemorySettings::getInt(std::string_view section, std::string_view name, int fallback) const {
    std::lock_guard lock(mutex_);
    auto it = ints_.find({std::string(section), std::string(name)});
    return it == ints_.end() ? fallback : it->second;
}

std::string MemorySettings::getString(std::string_view section, std::string_view name,
                                      std::string_view fallback) const {
    std::lock_guard lock(mutex_);
    auto it = strings_.find({std::string(section), std::string(name)});
    return it == strings_.end() ? std::string(fallback) : it->second;
}

void MemorySettings::setInt(std::string_view section, std::string_view name, int value) {
    std::lock_guard lock(mutex_);
    ints_[{std::string(section), std::string(name)}] = value;
}

void MemorySettings::setString(std::string_view section, std::string_view name,
                               std::string_view value) {
    std::lock_guard lock(mutex_);
    strings_[{std::string(section), std::string(name)}] = std::string(value);
}

std::string MemorySettings::dataFolder() const {
    std::lock_guard lock(mutex_);
    return dataFolder_;
}

void MemorySettings::setDataFolder(std::string folder) {
    std::lock_guard lock(mutex_);
    dataFolder_ = std::move(folder);
}

bool MemorySettings::has(std::string_view section, std::string_view name) const {
    std::lock_guard lock(mutex_);
    Key key{std::string(section), std::string(name)};
    return ints_.count(key) != 0 || strings_.count(key) != 0;
}

void OverlaySettings::override(std::string_view name, std::string_view value) {
    overrides_.setString("", name, value);
    int n = 0;
    const char* end = value.data() + value.size();
    const auto r = std::from_chars(value.data(), end, n);
    if (!value.empty() && r.ec == std::errc() && r.ptr == end) overrides_.setInt("", name, n);
}

int OverlaySettings::getInt(std::string_view section, std::string_view name, int fallback) const {
    if (section.empty() && overrides_.has(section, name))
        return overrides_.getInt(section, name, base_.getInt(section, name, fallback));
    return base_.getInt(section, name, fallback);
}

std::string OverlaySettings::getString(std::string_view section, std::string_view name,
                                       std::string_view fallback) const {
    if (section.empty() && overrides_.has(section, name))
        return overrides_.getString(section, name, fallback);
    return base_.getString(section, name, fallback);
}

void OverlaySettings::setInt(std::string_view section, std::string_view name, int value) {
    base_.setInt(section, name, value);
}

void OverlaySettings::setString(std::string_view section, std::string_view name,
                                std::string_view value) {
    base_.setString(section, name, value);
}

}  // namespace tw::platform
