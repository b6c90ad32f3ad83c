#include "project/KELOpenWithApplicationLookupResult.h"

#include <algorithm>

void KELOpenWithApplicationLookupResult::cleanupApplications()
{
    std::stable_sort(m_applications.begin(), m_applications.end(),
                     [](const KELOpenWithApplication& a, const KELOpenWithApplication& b) { return a.compare(b) < 0; });
    QList<KELOpenWithApplication> kept;
    for (const KELOpenWithApplication& application : std::as_const(m_applications)) {
        if (!kept.isEmpty() && kept.constLast().compareNameAndVersion(application) == 0)
            continue;
        if (application.appLocation() == 3)
            continue;
        kept << application;
    }
    for (qsizetype i = 0; i + 1 < kept.size(); ++i) {
        if (kept[i].applicationName() == kept[i + 1].applicationName()) {
            kept[i].setIsVersionDisplayed(true);
            kept[i + 1].setIsVersionDisplayed(true);
        }
    }
    m_applications = kept;
}
