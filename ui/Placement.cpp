// SPDX-License-Identifier: GPL-3.0-or-later
#include "Placement.h"

#include "core/Settings.h"
#include "platform/FormPlacement.h"

#include <QString>

void ActivatePlacementIfWanted(cb::TFormPlacement& placement) {
    if (!bPosSpeichern) return;
    placement.SetIniFileName(QString::fromStdString(SettingsFilePath()));
    placement.Activate();
}
