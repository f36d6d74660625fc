// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/HelpViewer.h"

class QDialog;
class QKeyEvent;
class QString;
class QWidget;
namespace cb {
class TFormPlacement;
}

// What every dialog does with its frame, in one place.

// Binds a dialog's placement store to the settings file and activates it when the user wants
// window positions remembered; otherwise the dialog opens centred and stores nothing.
void ActivatePlacementIfWanted(cb::TFormPlacement& placement);
// The dialog's placement store under its section of the settings file (sized: width and height
// are kept too), activated as the user wants.
cb::TFormPlacement* PlaceDialog(QDialog* dialog, const QString& section, bool sized);
// Centred on the screen: a dialog's owner is the hidden tray window, so Qt's own centring over
// the owner has nothing to go by.
void CentreOnScreen(QWidget* dialog);
// F1 without modifiers opens the dialog's help topic beside it; true when the key was that.
bool HandleHelpKey(const QKeyEvent* event, cb::HelpTopic topic);
