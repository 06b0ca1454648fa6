#include "settings/win/configure_form.h"

namespace kestova {

// Temporary until the settings dialog lands.
int RunConfigureForm(HINSTANCE) {
    return 0;
}

} // namespace kestova
