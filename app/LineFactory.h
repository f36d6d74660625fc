// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CallLine.h"

#include <memory>
#include <string>

// The kind of line [Leitung] Art names, as the factory knows it ("CAPI" for anything it does
// not know: an ISDN line is what the program watched before there were kinds).
std::string ConfiguredLineArt();

// Makes the line [Leitung] Art names; not yet started. capiLibrary: the CAPI library an ISDN
// line loads.
std::unique_ptr<TCallLine> MakeCallLine(const char* capiLibrary);
