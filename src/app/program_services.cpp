#include "app/program_services.h"

#include "app/program_files.h"

namespace tw::app {

ProgramServices::ProgramServices(platform::SettingsProfile& store,
                                 platform::SettingsProfile& settings, platform::Prompter& prompter,
                                 platform::ProgressDialog& progress,
                                 const std::string& sourceDataDir)
    : downloads_(downloadRoot(store)),
      sources_(transfer_, progress, prompter, clock_, downloads_),
      gzip_(runFolder(store), downloads_, progress, prompter),
      spider_(transfer_, prompter, downloads_),
      exportServices_{prompter, transfer_, {}},
      automatic_(settings, clock_, exportServices_),
      document_({settings, prompter, progress, clock_, files_, sources_, gzip_, spider_, resolver_,
                 &automatic_, shippedSuffixFiles(sourceDataDir)}) {}

}  // namespace tw::app
