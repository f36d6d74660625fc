// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace cb {

// What this workstation offers libcapi20, read without loading it: the kernel's CAPI device
// and the library's settings file ($HOME/.capi20rc, else /etc/capi20.conf: the first that can
// be read counts, as in the library).
struct TCapiConfig {
    bool bDevice = false; // the kernel's CAPI device exists (an ISDN card with a driver)
    std::string sFile;    // the settings file the library reads; empty when there is none
    bool bRemote = false; // that file names a remote line (REMOTE)
    int iTraceLevel = -1; // its TRACELEVEL; -1 when it names none
};

// Where the library looks; tests name files of their own.
struct TCapiPlaces {
    std::string sDevice = "/dev/capi20";
    std::string sUserFile; // empty: $HOME/.capi20rc
    std::string sSystemFile = "/etc/capi20.conf";
};

TCapiConfig ReadCapiConfig(const TCapiPlaces& places = {});

// Whether this workstation is set up for an ISDN line at all: a CAPI device node, or a
// configuration that names a remote line. libcapi20 is installed on many machines without
// one; there a line that cannot be reached is no fault to report, and the first start asks
// how the telephone is connected.
bool CapiLineConfigured();

} // namespace cb
