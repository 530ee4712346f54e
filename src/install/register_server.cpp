// Self-registration of a placed control file through its own exports.
#include "install/class_registration.h"
#include "install/control_registry_entry.h"
#include "propfile/ansi_text.h"

namespace install {

bool ControlRegistryEntry::RegisterServer(bool registerIt, const std::string& path) {
    return RunSelfRegistration(propfile::WidenAnsi(path), registerIt, RegistrationScope::Machine);
}

}  // namespace install
