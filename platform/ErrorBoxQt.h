// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace cb {

// Routes ShowErrorBox to a QMessageBox without owner ("Fehler", critical icon).
void InstallQtErrorBox();

} // namespace cb
