// The typed accessors of the shared state keep the stored texts. (The keys and defaults: StartUpTest.)
#include "app/AppState.h"

#include "TestSupport.h"

using namespace testsupport;

namespace {

const AppFolders kFolders{"/home/ann/Varnhold", "/usr/bin/", "/usr/lib/", "/usr/bin/gedit"};

class OptionAccessors : public ::testing::Test {
  protected:
    QString stored(Option option) const {
        return state.settings.GetSetting(kSettingsSection, OptionKeys::key(option), "<missing>");
    }
    AppState state{freshStore()};
};

} // namespace
