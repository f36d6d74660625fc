// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace cb {
class TFormPlacement;
}

// Binds a dialog's placement store to the settings file and activates it when the user wants
// window positions remembered; otherwise the dialog opens centred and stores nothing.
void ActivatePlacementIfWanted(cb::TFormPlacement& placement);
