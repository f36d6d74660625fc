// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LineFactory.h"

#include "app/CapiLine.h"
#include "app/NoLine.h"
#include "app/RouterLine.h"
#include "core/Settings.h"

#include <QString>

namespace {

struct LineMaker {
    const char* art; // the value of [Leitung] Art, any case
    std::unique_ptr<TCallLine> (*make)(const char* capiLibrary);
};

// Every kind of line, the default last. A new kind is one entry here.
const LineMaker kLineMakers[] = {
    {"Anrufmonitor",
     [](const char*) -> std::unique_ptr<TCallLine> { return std::make_unique<TRouterLine>(); }},
    {"Keine",
     [](const char*) -> std::unique_ptr<TCallLine> { return std::make_unique<TNoLine>(); }},
    {"CAPI",
     [](const char* capiLibrary) -> std::unique_ptr<TCallLine> {
         return std::make_unique<TCapiLine>(capiLibrary);
     }},
};

const LineMaker& ConfiguredMaker() {
    const QString art = QString::fromStdString(sLeitungArt).trimmed();
    for (const LineMaker& maker : kLineMakers)
        if (art.compare(QLatin1String(maker.art), Qt::CaseInsensitive) == 0) return maker;
    return kLineMakers[std::size(kLineMakers) - 1];
}

} // namespace

std::string ConfiguredLineArt() {
    return ConfiguredMaker().art;
}

std::unique_ptr<TCallLine> MakeCallLine(const char* capiLibrary) {
    return ConfiguredMaker().make(capiLibrary);
}
