#pragma once
// The program settings in QSettings: the organisation "Corvane Software", the application
// "Tallyweb", or a settings file of one's own (tests, a portable install).
//
// A section is a group path: "Report 0\Filter 1" (written with backslashes, as the stored
// layout names its subkeys) is the group "Report 0/Filter 1"; the empty section is the top
// level. Texts are kept byte for byte: valid UTF-8 is stored as text, anything else as bytes,
// so a filter text in some other encoding comes back unchanged.
//
// Threads: one thread at a time, like every settings profile.
#include <memory>
#include <string>

#include "platform/settings.h"

class QSettings;

namespace tw::app {

class QtSettingsProfile final : public platform::SettingsProfile {
  public:
    QtSettingsProfile();                                     // the user's own settings
    explicit QtSettingsProfile(const std::string& iniFile);  // a settings file of its own
    ~QtSettingsProfile() override;

    int getInt(std::string_view section, std::string_view name, int fallback) const override;
    std::string getString(std::string_view section, std::string_view name,
                          std::string_view fallback) const override;
    void setInt(std::string_view section, std::string_view name, int value) override;
    void setString(std::string_view section, std::string_view name,
                   std::string_view value) override;
    // The user's application data folder (on Linux ~/.local/share/Corvane Software/Tallyweb),
    // created when missing; empty when it cannot be.
    std::string dataFolder() const override;
    // The user's cache folder (on Linux ~/.cache/Corvane Software/Tallyweb), created when
    // missing; empty when it cannot be.
    std::string cacheFolder() const override;
    // Writes pending changes out; false when the store could not be written.
    bool flush();

  private:
    void beforeWrite();
    std::unique_ptr<QSettings> settings_;
    bool written_ = false;  // reading alone never creates the store
};

}  // namespace tw::app
