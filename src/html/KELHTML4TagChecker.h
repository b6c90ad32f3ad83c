#pragma once
// The HTML 4 vocabulary: "HTML4Tags.txt".

#include "html/TagChecker.h"

class KELHTML4TagChecker : public TagChecker {
public:
    /// Built on first use and kept until the process ends.
    static KELHTML4TagChecker& sharedInstance();
    static QStringList tableFileNames();

private:
    KELHTML4TagChecker();
};
