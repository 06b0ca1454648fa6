#include "settings/session.h"

namespace kestova {

TSession Session;

} // namespace kestova
