// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/Contact.h"

const char* NumberKindText(NumberKind kind) {
    switch (kind) {
    case NumberKind::Mobile:
        return "Mobil";
    case NumberKind::Home:
        return "Privat";
    case NumberKind::Work:
        return "Gesch\u00e4ftlich";
    case NumberKind::Fax:
        return "Fax";
    case NumberKind::Pager:
        return "Pager";
    case NumberKind::Other:
        break;
    }
    return "";
}

std::string NumberLabel(const tContactNumber& number) {
    return number.sLabel.empty() ? std::string(NumberKindText(number.kind)) : number.sLabel;
}
