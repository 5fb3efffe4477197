#include "session/workspace.h"

namespace zel {

Workspace::Workspace(UserInterface& ui, TickClock& clock) : programming(clock), printer(ui, clock), clock_(clock) {}

}  // namespace zel
