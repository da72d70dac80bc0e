#pragma once
// Program settings as (section, value name) pairs; the empty section is the application key.
//
// Contract: missing values yield the caller's default without complaint; writes are
// best-effort (a read-only store drops them). Implementations must be safe to call from one
// thread at a time; runs read their settings on the user-interface thread before work starts.
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

namespace tw::platform {

class SettingsProfile {
  public:
    virtual ~SettingsProfile() = default;
    virtual int getInt(std::string_view section, std::string_view name, int fallback) const = 0;
    virtual std::string getString(std::string_view section, std::string_view name,
                                  std::string_view fallback) const = 0;
    virtual void setInt(std::string_view section, std::string_view name, int value) = 0;
    virtual void setString(std::string_view section, std::string_view name,
                           std::string_view value) = 0;
    // The folder of the program's data files (the host-name cache, the suffix names), or empty
    // when this store has none: the files are then neither read nor written.
    virtual std::string dataFolder() const { return {}; }
    // The folder for files the program makes and may lose (decompressed copies of logs during
    // a run), or empty when this store has none: the system's temporary folder serves then.
    virtual std::string cacheFolder() const { return {}; }
};

// Settings held in memory only: the headless program's defaults, and tests.
class MemorySettings final : public SettingsProfile {
  public:
    int getInt(std::string_view section, std::string_view name, int fallback) const override;
    std::string getString(std::string_view section, std::string_view name,
                          std::string_view fallback) const override;
    void setInt(std::string_view section, std::string_view name, int value) override;
    void setString(std::string_view section, std::string_view name,
                   std::string_view value) override;
    bool has(std::string_view section, std::string_view name) const;
    std::string dataFolder() const override;
    void setDataFolder(std::string folder);

  private:
    using Key = std::pair<std::string, std::string>;
    mutable std::mutex mutex_;
    std::map<Key, int> ints_;
    std::map<Key, std::string> strings_;
    std::string dataFolder_;
};

// Another profile with some top-level values replaced for a while (one run's overrides from the
// command line). Reads of an overridden value give the override; everything else, and every
// write, goes to the underlying profile, which must outlive this one.
class OverlaySettings final : public SettingsProfile {
  public:
    explicit OverlaySettings(SettingsProfile& base) : base_(base) {}
    // Stored as text, and as a number too when the text is one, so both kinds of read see it.
    void override(std::string_view name, std::string_view value);

    int getInt(std::string_view section, std::string_view name, int fallback) const override;
    std::string getString(std::string_view section, std::string_view name,
                          std::string_view fallback) const override;
    void setInt(std::string_view section, std::string_view name, int value) override;
    void setString(std::string_view section, std::string_view name,
                   std::string_view value) override;
    std::string dataFolder() const override { return base_.dataFolder(); }
    std::string cacheFolder() const override { return base_.cacheFolder(); }

  private:
    SettingsProfile& base_;
    MemorySettings overrides_;
};

}  // namespace tw::platform
