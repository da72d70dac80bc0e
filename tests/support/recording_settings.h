#pragma once
// Settings in memory that also log the (section, name) of every write, in order: for checks of
// the order in which values are stored.
#include <string>
#include <utility>
#include <vector>

#include "platform/settings.h"

namespace tw::test {

class RecordingSettings final : public platform::SettingsProfile {
  public:
    int getInt(std::string_view s, std::string_view n, int f) const override {
        return store.getInt(s, n, f);
    }
    std::string getString(std::string_view s, std::string_view n,
                          std::string_view f) const override {
        return store.getString(s, n, f);
    }
    void setInt(std::string_view s, std::string_view n, int v) override {
        writes.emplace_back(std::string(s), std::string(n));
        store.setInt(s, n, v);
    }
    void setString(std::string_view s, std::string_view n, std::string_view v) override {
        writes.emplace_back(std::string(s), std::string(n));
        store.setString(s, n, v);
    }
    platform::MemorySettings store;
    std::vector<std::pair<std::string, std::string>> writes;
};

}  // namespace tw::test
