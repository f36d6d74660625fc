// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The passwords of the settings and the desktop's Secret Service. A password found in the
// settings file is always used, and moved to the Secret Service where there is one; without
// one the passwords stay in the file, which is then its owner's alone.

// After LoadSettings: passwords missing from the file are taken from the Secret Service,
// those in the file are moved there.
void TakeUpPasswords();
// Before SaveSettings: the passwords as they are now go to the Secret Service (a cleared
// one is removed from it); what it does not take stays in the file.
void KeepPasswords();
