// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace cb {

// Whether this workstation is set up for an ISDN line at all: a CAPI device node, or a
// configuration that names a remote line ($HOME/.capi20rc, else /etc/capi20.conf, as the
// library reads them). libcapi20 is installed on many machines without one; there a line
// that cannot be reached is no fault to report.
bool CapiLineConfigured();

} // namespace cb
